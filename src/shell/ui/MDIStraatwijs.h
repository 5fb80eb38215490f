#pragma once

#include "shell/Harvest.h"
#include "shell/Shell.h"

#include <QMainWindow>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <optional>

class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QProgressBar;

namespace messages::ui {
class Alg;
}

namespace shell::ui {

// The main window: an MDI frame holding the lookup form (upper three
// quarters, once loaded) and the message window (bottom quarter). A view on
// Shell; it docks both children on every resize and remembers its placement.
class MDIStraatwijs : public QMainWindow
{
    Q_OBJECT
public:
    // Builds the window and runs its load: caption, placement, autostart
    // check mark, the docked message window and the "IP-address = " line.
    explicit MDIStraatwijs(Shell& shell, QWidget* parent = nullptr);

    // How the lookup form docks itself: RequestedHeight, Position, ParmSetFocus.
    using LookupReposition = std::function<void(const QVariant&, const QString&, bool)>;
    // Hands over the loaded lookup form; from now on every resize docks it
    // through `reposition` while the child window exists.
    void setLookupForm(QMdiSubWindow* form, LookupReposition reposition);

    // The lookup form, loaded (and docked) on first use.
    LookupForm& frmPostcode();
    Harvest& harvest() { return m_harvest; }
    // Shows the countdown of a pause in the status bar.
    void pauseStarted(qint32 milliseconds);

    QMdiArea* mdiArea() const { return m_mdiArea; }
    messages::ui::Alg* alg() const { return m_alg; }
    QMdiSubWindow* algWindow() const { return m_algWindow; }

    QMenu* nmuBestand;
    QAction* mnuAutosmall32;
    QAction* mnuStreep1;
    QAction* mnuEinde;
    QMenu* mnuHandmatig;
    QAction* mnuDoBig;
    QAction* mnuDoSmall;
    QAction* mnuDoMinimal;
    QTimer Timer1;

public slots:
    void mnuAutosmall32_Click();
    void mnuEinde_Click();
    void mnuDoBig_Click();
    void mnuDoSmall_Click();
    void mnuDoMinimal_Click();
    void Timer1_Timer();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void createMenus();
    void createStatusBar();
    // Runs a harvest command; a failure that reaches it is shown with its
    // number and description and ends the program with status 1.
    void runCommand(const std::function<void()>& command);
    void batchRunning(bool running);
    void showProgress();
    // Ends the process now, also from inside a batch's waits.
    [[noreturn]] void endNow(int status);
    void MDIForm_Load();
    void MDIForm_Resize();
    Placement placement() const;
    void applyPlacement(const Placement& p);

    Shell& m_shell;
    QMdiArea* m_mdiArea;
    messages::ui::Alg* m_alg;
    QMdiSubWindow* m_algWindow;
    QPointer<QMdiSubWindow> m_lookupForm;
    LookupReposition m_lookupReposition;
    std::optional<Placement> m_savedPlacement;

    Harvest m_harvest;
    std::unique_ptr<EngineForm> m_engineForm;
    QProgressBar* m_progress = nullptr;
    QLabel* m_step = nullptr;
    QTimer m_countdown;
    struct Step
    {
        int request = 0, requests = 0;
        QString query;
        qint64 page = 0, pages = 0;
        quint32 pauseEnds = 0; // tick count
        bool pausing = false;
    } m_stepState;
};

// Starts the desktop program: the main window with its child windows.
// `configure` runs right after the main window's load (command-line values).
// Returns the exit status.
//
// `beforeLoad` runs before the window exists and anything is reported (the
// log file of --log-file opens there); when it returns a status, the
// program ends with it.
using BeforeLoad =
    std::function<std::optional<int>(messages::MessageLog& log, const platform::Env& env)>;
int runWindow(int argc, char** argv, const std::function<void(Shell&)>& configure = {},
              const BeforeLoad& beforeLoad = {});

} // namespace shell::ui
