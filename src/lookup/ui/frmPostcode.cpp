#include "lookup/ui/frmPostcode.h"

#include "lookup/ui/BrowserPaneLayout.h"
#include "platform/Twips.h"
#include "platform/ui/BrowserView.h"

#include <QCloseEvent>
#include <QFrame>
#include <QMdiSubWindow>
#include <QPushButton>

namespace lookup::ui {

using platform::pixelsToTwips;
using platform::twipsToPixels;

frmPostcode::frmPostcode(std::unique_ptr<lookup::PostcodeLookup> engine, QWidget* parent)
    : QWidget(parent), m_engine(std::move(engine))
{
    Frame3 = new QFrame(this);
    auto* view = new platform::BrowserView(Frame3);
    view->follow(m_engine->browser());
    brwWebBrowser = view;
    cmdBack = new QPushButton(QStringLiteral("Terug"), Frame3);
    cmdRefresh = new QPushButton(QStringLiteral("Refresh pagina"), Frame3);
    Frame3->setVisible(true);
    m_engine->ValidURL = true;
}

frmPostcode::~frmPostcode()
{
    m_engine->terminate();
}

void frmPostcode::Form_Load(const lookup::MainWindowValues& main)
{
    m_engine->ValidURL = true;
    LayoutBrowserPane();
    PaneMargin = 50;
    Frame3->setVisible(true);
    m_engine->load(main);
}

QWidget* frmPostcode::dockedWindow()
{
    if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget()))
        return sub;
    return this;
}

int frmPostcode::windowStateNumber()
{
    const QWidget* w = dockedWindow();
    if (w->isMinimized())
        return Minimized;
    return w->isMaximized() ? Maximized : Normal;
}

void frmPostcode::LayoutBrowserPane()
{
    const double dpiX = logicalDpiX();
    const double dpiY = logicalDpiY();
    const PaneLayout l =
        lookup::ui::LayoutBrowserPane(PaneMargin, pixelsToTwips(width(), dpiX),
                                      pixelsToTwips(height(), dpiY), windowStateNumber());
    PaneMargin = l.PaneMargin;
    if (!l.laidOut)
        return;
    auto place = [dpiX, dpiY](QWidget* w, const TwipsRect& r) {
        w->setGeometry(twipsToPixels(r.left, dpiX), twipsToPixels(r.top, dpiY),
                       twipsToPixels(r.width, dpiX), twipsToPixels(r.height, dpiY));
    };
    place(Frame3, l.Frame3);
    place(brwWebBrowser, l.brwWebBrowser);
    place(cmdBack, l.cmdBack);
    place(cmdRefresh, l.cmdRefresh);
}

void frmPostcode::Reposition(const QVariant& RequestedHeight, const QString& Position,
                             bool ParmSetFocus)
{
    QWidget* w = dockedWindow();
    const QWidget* area = w->parentWidget();
    if (!area)
        return;
    const double dpiX = logicalDpiX();
    const double dpiY = logicalDpiY();
    const TwipsRect r =
        lookup::ui::Reposition(RequestedHeight, Position, pixelsToTwips(area->height(), dpiY),
                               pixelsToTwips(area->width(), dpiX));
    w->showNormal();
    w->setGeometry(twipsToPixels(r.left, dpiX), twipsToPixels(r.top, dpiY),
                   twipsToPixels(r.width, dpiX), twipsToPixels(r.height, dpiY));
    if (ParmSetFocus)
        setFocus();
}

void frmPostcode::setBrowserPane(QWidget* pane)
{
    pane->setParent(Frame3);
    pane->setGeometry(brwWebBrowser->geometry());
    delete brwWebBrowser;
    brwWebBrowser = pane;
    pane->show();
}

void frmPostcode::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    LayoutBrowserPane();
}

void frmPostcode::closeEvent(QCloseEvent* event)
{
    m_engine->unload();
    event->accept();
}

} // namespace lookup::ui
