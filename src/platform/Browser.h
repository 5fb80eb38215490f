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
// Redirects are followed and compressed responses unpacked. A failed
// connection or an HTTP error status still completes the load, with
// whatever body came back (possibly none).
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

    explicit Browser(QNetworkAccessManager& network, QObject* parent = nullptr);
    ~Browser() override;

    // Starts loading; a load still running is abandoned.
    void navigate(const QUrl& url);
    void navigate(const QString& url);

    int ReadyState() const { return m_state; }
    // The loaded page; while loading, what has arrived so far; null before
    // the first navigation.
    std::shared_ptr<const HtmlDocument> Document() const;

    QUrl url() const { return m_url; }
    // HTTP status of the last completed load; 0 when no answer came.
    int status() const { return m_status; }
    // Network error text of the last completed load; empty when none.
    QString errorText() const { return m_error; }

signals:
    // A page finished loading: its decoded markup and final address.
    void documentLoaded(const QString& html, const QUrl& url);

private:
    void finish();

    QNetworkAccessManager& m_network;
    QPointer<QNetworkReply> m_reply;
    int m_state = Uninitialized;
    QUrl m_url;
    QByteArray m_received;
    QByteArray m_contentType;
    int m_status = 0;
    QString m_error;
    std::shared_ptr<const HtmlDocument> m_document;
    mutable std::shared_ptr<const HtmlDocument> m_partial;
    mutable qsizetype m_partialSize = -1;
};

} // namespace platform
