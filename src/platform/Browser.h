#pragma once

#include "platform/HtmlDocument.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QUrl>
#include <memory>

class QNetworkAccessManager;
class QNetworkReply;

namespace platform {

// The page loader behind the browser pane: one page at a time over the
// program's network access manager, which keeps cookies for the run.
// Redirects are followed and compressed responses unpacked. A load always
// completes, also when it fails; failure() then says why.
class Browser : public QObject
{
    Q_OBJECT
public:
    enum ReadyStates
    {
        Uninitialized = 0,
        Loading = 1,
        Interactive = 3,
        Complete = 4
    };

    // A page larger than this is refused (the load fails): no result page
    // comes near it, and parsing an endless answer would exhaust memory.
    static constexpr qint64 MaxPageBytes = 8 * 1024 * 1024;

    explicit Browser(QNetworkAccessManager& network, QObject* parent = nullptr);
    ~Browser() override;

    // Starts loading; a load still running is abandoned.
    void navigate(const QUrl& url);
    // Abandons a load in progress; the browser keeps the last completed page.
    void stop();
    // A raised `stop` ends the parse of a page that is being read (the load
    // then fails as too large to read); null: none.
    void setStop(const StopRequest* stop) { m_stop = stop; }

    int ReadyState() const { return m_state; }
    // The last completed page, parsed; null before the first one and while
    // a page is loading.
    std::shared_ptr<const HtmlDocument> Document() const { return m_document; }

    QUrl url() const { return m_url; }
    // HTTP status of the last completed load; 0 when no answer came.
    int status() const { return m_status; }
    // Why the last completed load failed: the connection was refused or
    // reset, the host is unknown, redirects looped, the status was 400 or
    // more, the page was larger than MaxPageBytes, the answer was no page
    // (204, 205 or a 3xx that was not followed, an empty body, a content type
    // that is neither text nor HTML), or the document layer refused it
    // (nested too deep). Empty when it did not.
    QString failure() const { return m_failure; }

signals:
    // A page finished loading: its decoded markup and final address. Only
    // decoded when something listens.
    void documentLoaded(const QString& html, const QUrl& url);

private:
    void received();
    void finish();
    void abandon();

    QNetworkAccessManager& m_network;
    QPointer<QNetworkReply> m_reply;
    int m_state = Uninitialized;
    QUrl m_url;
    QByteArray m_received;
    QByteArray m_contentType;
    int m_status = 0;
    QString m_failure;
    bool m_tooLarge = false;
    std::shared_ptr<const HtmlDocument> m_document;
    const StopRequest* m_stop = nullptr;
};

} // namespace platform
