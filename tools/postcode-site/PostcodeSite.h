#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QMap>
#include <QObject>
#include <QString>
#include <QTcpServer>
#include <functional>

namespace postcodesite {

// How the site behaves. Address prefixes switch behaviour per request, so a
// harvester can be pointed at them through its base address:
//   /hang/...       the page starts but never completes
//   /slow/MS/...    the answer comes after MS milliseconds
//   /held/...       the answer comes once releaseHeld() is called
//   /redirect/...   a 302 to the same address without the prefix
//   /status/N/...   an error page with HTTP status N
// A prefix registered in fixedPages serves that markup for every address
// under it (for pages of a layout the generated data does not make).
struct SiteOptions
{
    quint16 port = 8080;                       // 0: any free port
    int blockAfterSearches = 0;                // searches allowed per window; 0 = no limit
    int blockAfterRequests = 0;                // page requests of any kind per window; 0 = no limit
    int blockWindowSeconds = 600;              // the window of both limits
    int slowMs = 0;                            // delay of every answer
    int failAfterRequests = 0;                 // later page requests fail; 0 = never
    int failStatus = 500;                      // how they fail: a status, or 0 = connection reset
    bool hang = false;                         // every page never completes
    QString charset = QStringLiteral("utf-8"); // or "iso-8859-1"
    bool charsetInHeader = true;               // else only the page's meta tag names it
    bool compress = false;                     // deflate when the client accepts it
    QMap<QString, QByteArray> fixedPages = {};
};

struct SeenRequest
{
    QByteArray target; // path and query, as sent
    QByteArray cookie; // the Cookie header, empty when none
};

// A small HTTP/1.1 server on 127.0.0.1 (one request per connection) serving
// the search page and further result pages of the generated data set.
class PostcodeSite : public QObject
{
    Q_OBJECT
public:
    explicit PostcodeSite(SiteOptions options = {}, QObject* parent = nullptr);

    // Starts listening; false (with errorString()) when the port is taken.
    bool listen();
    quint16 port() const { return m_server.serverPort(); }
    // "http://127.0.0.1:PORT", the base address for the harvester.
    QString baseUrl() const;
    QString errorString() const { return m_server.errorString(); }

    // Answers every request held so far under /held, and from now on
    // answers such requests at once.
    void releaseHeld();

    SiteOptions& options() { return m_options; }
    const QList<SeenRequest>& requests() const { return m_requests; }

private:
    void accept();
    void handle(class QTcpSocket* socket, const QByteArray& head);
    QByteArray answer(const QByteArray& target, const QByteArray& acceptEncoding,
                      const QByteArray& cookie, bool& hang);
    bool overLimit(QList<qint64>& times, int limit);

    SiteOptions m_options;
    QTcpServer m_server;
    QList<SeenRequest> m_requests;
    QList<qint64> m_searchTimes;
    QList<qint64> m_requestTimes;
    QElapsedTimer m_clock;
    int m_sessions = 0;
    QList<std::function<void()>> m_held;
    bool m_heldReleased = false;
};

} // namespace postcodesite
