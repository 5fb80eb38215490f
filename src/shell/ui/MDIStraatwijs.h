#pragma once

#include "shell/BatchProgress.h"
#include "shell/CommandBoundary.h"
#include "shell/Harvest.h"
#include "shell/Shell.h"
#include "shell/WindowPlacement.h"

#include <QMainWindow>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <optional>

class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QElapsedTimer;
class QProgressBar;

namespace messages::ui {
class Alg;
}
namespace platform {
class WidgetPrompts;
}

namespace shell::ui {

// The main window: an MDI frame holding the lookup form (upper three
// quarters, once the engine has loaded) and the message window (bottom
// quarter). A view on Shell: it wires the menus and the timer to the harvest
// commands, shows their progress, docks both children on every resize and
// remembers its placement. Failures of its commands go to the boundary.
class MDIStraatwijs : public QMainWindow
{
    Q_OBJECT
public:
    // Builds the window and runs its load: caption, placement, autostart
    // check mark, the docked message window and the "IP-address = " line.
    MDIStraatwijs(Shell& shell, CommandBoundary& boundary, QWidget* parent = nullptr);

    // How the lookup form docks itself: RequestedHeight, Position, ParmSetFocus.
    using LookupReposition = std::function<void(const QVariant&, const QString&, bool)>;
    // Hands over the loaded lookup form; from now on every resize docks it
    // through `reposition` while the child window exists.
    void setLookupForm(QMdiSubWindow* form, LookupReposition reposition);

    // The lookup form; null until the engine loads, and after it closed.
    QMdiSubWindow* lookupForm() const;

    QMdiArea* mdiArea() const { return m_mdiArea; }
    messages::ui::Alg* alg() const { return m_alg; }
    QMdiSubWindow* algWindow() const { return m_algWindow; }

    // What the upper part shows before the lookup form has a page.
    static QString startHint();
    // The message window's share of the client area, in percent: a quarter,
    // or more when a quarter shows fewer than five lines of the log.
    double logShare() const;

public slots:
    void mnuAutosmall32_Click();
    void mnuEinde_Click();
    void mnuDoBig_Click();
    void mnuDoSmall_Click();
    void mnuDoMinimal_Click();
    void mnuStoppen_Click();
    void Timer1_Timer();
    // The window's moves and resizes have calmed down: the placement is
    // stored if it is normal and new. A timer calls it after each change.
    void placementSettled();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void createMenus();
    void createStatusBar();
    // Runs a harvest command through the boundary; ends the program when
    // the command says so, or when the window was closed during it.
    void runCommand(const std::function<Harvest::Ending()>& command);
    void showLookupForm();
    void batchRunning(bool running);
    void pauseStarted(qint32 milliseconds, bool requestDone);
    void showProgress();
    void MDIForm_Load();
    void MDIForm_Resize();
    Placement placement() const;
    void applyPlacement(const Placement& p);
    // Brings the window with its frame onto the available area of its screen.
    void fitOntoScreen(const Placement& p);
    void geometryChanged();
    static QString percent(double share);

    Shell& m_shell;
    CommandBoundary& m_boundary;
    QMdiArea* m_mdiArea;
    messages::ui::Alg* m_alg;
    QMdiSubWindow* m_algWindow;
    QPointer<QMdiSubWindow> m_lookupForm;
    LookupReposition m_lookupReposition;
    std::optional<PlacementMemory> m_placement;
    QTimer m_placementSettles;
    bool m_fittedWithFrame = false;

    Harvest& m_harvest;
    bool m_closeRequested = false;
    QProgressBar* m_progress = nullptr;
    QLabel* m_step = nullptr;
    QTimer m_countdown;
    BatchProgress m_batch;

    // The menus and the autostart timer; each carries its name as its
    // object name, so a test finds it with findChild.
    QMenu* nmuBestand;
    QAction* mnuAfdrukken;
    QAction* mnuAfdrukvoorbeeld;
    QAction* mnuAutosmall32;
    QAction* mnuStreep1;
    QAction* mnuEinde;
    QMenu* mnuHandmatig;
    QAction* mnuDoBig;
    QAction* mnuDoSmall;
    QAction* mnuDoMinimal;
    QAction* mnuStoppen;
    QTimer Timer1;
};

// Runs the desktop program on an application object with a display: the
// main window with its child windows, until it closes. `configure` runs
// right after the main window's load (command-line values); `prompts`, when
// given, get the window as their parent. SIGINT and SIGTERM end the program
// (after giving back the request of a running batch) with 128 + the signal.
// Returns the exit status.
int runWindow(Shell& shell, CommandBoundary& boundary, platform::WidgetPrompts* prompts,
              const QElapsedTimer& started, const std::function<void(Shell&)>& configure = {});

} // namespace shell::ui
