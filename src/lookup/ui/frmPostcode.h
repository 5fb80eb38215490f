#pragma once

#include <QVariant>
#include <QWidget>

class QFrame;
class QPushButton;

namespace lookup {
class PostcodeLookup;
}

namespace lookup::ui {

// The lookup form: a view on the lookup engine, which the shell owns. Frame3
// fills the form and holds the browser pane (following the engine's
// browser) and two buttons. Meant as an MDI child.
class frmPostcode : public QWidget
{
    Q_OBJECT
public:
    // Initialise: Frame3 visible. The engine must outlive the form.
    explicit frmPostcode(lookup::PostcodeLookup& engine, QWidget* parent = nullptr);

    // Load, once the engine has loaded: first pane layout, PaneMargin 50,
    // Frame3 visible.
    void Form_Load();

    // Docks the form's window in the main window's client area: a number of
    // twips or a text like "75%", at the bottom for "Bottom", else the top.
    void Reposition(const QVariant& RequestedHeight, const QString& Position, bool ParmSetFocus);

    // The pane layout's margin in twips: 0 before the first layout, 50 after
    // the load.
    qint16 paneMargin() const { return PaneMargin; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    // Unload: the engine closes its database and ValidURL turns false; the
    // next harvest command loads it (and shows the form) again.
    void closeEvent(QCloseEvent* event) override;

private:
    void LayoutBrowserPane();
    QWidget* dockedWindow();

    lookup::PostcodeLookup& m_engine;
    qint16 PaneMargin = 0;
    // The controls carry their names as object names.
    QFrame* Frame3;
    QWidget* brwWebBrowser;
    // "Terug" and "Refresh pagina": laid out below the pane and, as the form
    // always had them, without an action.
    QPushButton* cmdBack;
    QPushButton* cmdRefresh;
};

} // namespace lookup::ui
