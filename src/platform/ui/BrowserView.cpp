#include "platform/ui/BrowserView.h"

#include "platform/Browser.h"

namespace platform {

BrowserView::BrowserView(QWidget* parent) : QTextBrowser(parent)
{
    setOpenLinks(false);
    setOpenExternalLinks(false);
}

void BrowserView::follow(Browser& browser)
{
    connect(&browser, &Browser::documentLoaded, this,
            [this](const QString& html, const QUrl&) { setHtml(html); });
}

QVariant BrowserView::loadResource(int, const QUrl&)
{
    return {};
}

} // namespace platform
