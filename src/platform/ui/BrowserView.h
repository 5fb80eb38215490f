#pragma once

#include <QTextBrowser>

namespace platform {

class Browser;

// The browser pane: shows each page the Browser loads as rich text. It never
// fetches anything itself (no images, no link following).
class BrowserView : public QTextBrowser
{
    Q_OBJECT
public:
    explicit BrowserView(QWidget* parent = nullptr);
    // Shows every page `browser` completes from now on.
    void follow(Browser& browser);

protected:
    QVariant loadResource(int type, const QUrl& name) override;
};

} // namespace platform
