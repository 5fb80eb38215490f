#pragma once

#include "lookup/PostcodeLookup.h"

#include <QWidget>
#include <memory>

class QFrame;
class QPushButton;

namespace lookup::ui {

// The lookup form: a view on the lookup engine it owns. Frame3 fills the
// form and holds the browser pane and the two buttons (which do nothing).
// Meant as an MDI child; the engine's message sink must outlive the form.
class frmPostcode : public QWidget
{
    Q_OBJECT
public:
    // Initialise: Frame3 visible, ValidURL true.
    explicit frmPostcode(std::unique_ptr<lookup::PostcodeLookup> engine, QWidget* parent = nullptr);
    // Terminate: CloseDB.
    ~frmPostcode() override;

    // Load, after the main window: ValidURL, first pane layout, PaneMargin 50,
    // Frame3 visible, then the engine copies the values and opens the database
    // (a failure there is reported and skipped), then copies Url.
    void Form_Load(const lookup::MainWindowValues& main);

    // Docks the form's window in the main window's client area (see the pure
    // lookup::ui::Reposition); a number of twips or a text like "75%".
    void Reposition(const QVariant& RequestedHeight, const QString& Position, bool ParmSetFocus);

    // Puts a browser view in place of the pane; the form takes ownership.
    void setBrowserPane(QWidget* pane);

    lookup::PostcodeLookup& engine() { return *m_engine; }

    qint16 PaneMargin = 0;
    QFrame* Frame3;
    QWidget* brwWebBrowser;
    QPushButton* cmdBack;
    QPushButton* cmdRefresh;

protected:
    void resizeEvent(QResizeEvent* event) override;
    // Unload: CloseDB, ValidURL := false.
    void closeEvent(QCloseEvent* event) override;

private:
    void LayoutBrowserPane();
    QWidget* dockedWindow();
    int windowStateNumber();

    std::unique_ptr<lookup::PostcodeLookup> m_engine;
};

} // namespace lookup::ui
