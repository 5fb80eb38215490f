#include "lookup/ui/frmPostcode.h"

#include "lookup/PostcodeLookup.h"
#include "lookup/ui/BrowserPaneLayout.h"
#include "platform/ui/BrowserView.h"
#include "platform/ui/TwipsGeometry.h"

#include <QCloseEvent>
#include <QFrame>
#include <QMdiSubWindow>
#include <QPushButton>

namespace lookup::ui {

frmPostcode::frmPostcode(lookup::PostcodeLookup& engine, QWidget* parent)
    : QWidget(parent), m_engine(engine)
{
    Frame3 = new QFrame(this);
    Frame3->setObjectName(QStringLiteral("Frame3"));
    auto* view = new platform::BrowserView(Frame3);
    view->setObjectName(QStringLiteral("brwWebBrowser"));
    view->follow(m_engine.browser());
    view->setPlaceholderText(
        QStringLiteral("Nog geen pagina. Zodra een batch (menu Handmatig) een verzoek "
                       "behandelt, verschijnt hier de pagina van de postcodesite."));
    brwWebBrowser = view;
    cmdBack = new QPushButton(QStringLiteral("Terug"), Frame3);
    cmdBack->setObjectName(QStringLiteral("cmdBack"));
    cmdRefresh = new QPushButton(QStringLiteral("Refresh pagina"), Frame3);
    cmdRefresh->setObjectName(QStringLiteral("cmdRefresh"));
    Frame3->setVisible(true);
}

void frmPostcode::Form_Load()
{
    LayoutBrowserPane();
    PaneMargin = 50;
    Frame3->setVisible(true);
}

QWidget* frmPostcode::dockedWindow()
{
    if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget()))
        return sub;
    return this;
}

void frmPostcode::LayoutBrowserPane()
{
    const platform::TwipsRect inner = platform::innerTwips(*this);
    const PaneLayout l = lookup::ui::LayoutBrowserPane(PaneMargin, inner.width, inner.height,
                                                       platform::windowState(*dockedWindow()));
    PaneMargin = l.PaneMargin;
    if (!l.laidOut)
        return;
    Frame3->setGeometry(platform::toPixels(*this, l.Frame3));
    brwWebBrowser->setGeometry(platform::toPixels(*this, l.brwWebBrowser));
    cmdBack->setGeometry(platform::toPixels(*this, l.cmdBack));
    cmdRefresh->setGeometry(platform::toPixels(*this, l.cmdRefresh));
}

void frmPostcode::Reposition(const QVariant& RequestedHeight, const QString& Position,
                             bool ParmSetFocus)
{
    QWidget* w = dockedWindow();
    const QWidget* area = w->parentWidget();
    if (!area)
        return;
    const platform::TwipsRect client = platform::innerTwips(*area);
    const platform::TwipsRect r = platform::dockRect(
        RequestedHeight, Position == QLatin1String("Bottom"), client.height, client.width);
    w->showNormal();
    w->setGeometry(platform::toPixels(*area, r));
    if (ParmSetFocus)
        setFocus();
}

void frmPostcode::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    LayoutBrowserPane();
}

void frmPostcode::closeEvent(QCloseEvent* event)
{
    m_engine.unload();
    event->accept();
}

} // namespace lookup::ui
