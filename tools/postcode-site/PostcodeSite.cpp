#include "PostcodeSite.h"

#include "SiteData.h"

#include <QPointer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>
#include <QUrlQuery>
#include <memory>
#include <utility>

namespace postcodesite {

namespace {

constexpr qsizetype MaxHeadSize = 64 * 1024;

QByteArray header(const QByteArray& head, const QByteArray& name)
{
    for (const QByteArray& line : head.split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed().toLower() == name)
            return line.mid(colon + 1).trimmed();
    }
    return {};
}

// Query parameters as a form sends them: "+" is a blank, %XX a byte of UTF-8.
QString parameter(const QByteArray& query, const QByteArray& name)
{
    for (const QByteArray& pair : query.split('&')) {
        const qsizetype eq = pair.indexOf('=');
        const QByteArray key = eq < 0 ? pair : pair.left(eq);
        if (key != name)
            continue;
        QByteArray value = eq < 0 ? QByteArray() : pair.mid(eq + 1);
        value.replace('+', ' ');
        return QUrl::fromPercentEncoding(value);
    }
    return {};
}

// Takes a leading "/word" (and with `number`, a following "/digits") off a path.
bool takePrefix(QByteArray& path, const QByteArray& word, int* number = nullptr)
{
    if (!(path == word || path.startsWith(word + '/')))
        return false;
    QByteArray rest = path.mid(word.size());
    if (number) {
        const qsizetype end = rest.indexOf('/', 1);
        bool ok = false;
        *number = rest.mid(1, end < 0 ? -1 : end - 1).toInt(&ok);
        if (!ok)
            return false;
        rest = end < 0 ? QByteArray() : rest.mid(end);
    }
    path = rest.isEmpty() ? QByteArray("/") : rest;
    return true;
}

QByteArray response(int status, const QByteArray& reason, const QList<QByteArray>& headers,
                    const QByteArray& body, qsizetype announcedLength = -1)
{
    QByteArray out = "HTTP/1.1 " + QByteArray::number(status) + ' ' + reason + "\r\n";
    for (const QByteArray& h : headers)
        out += h + "\r\n";
    out += "Content-Length: " +
           QByteArray::number(announcedLength < 0 ? body.size() : announcedLength) + "\r\n";
    out += "Connection: close\r\n\r\n";
    return out + body;
}

} // namespace

PostcodeSite::PostcodeSite(SiteOptions options, QObject* parent)
    : QObject(parent), m_options(std::move(options))
{
    m_clock.start();
    connect(&m_server, &QTcpServer::newConnection, this, &PostcodeSite::accept);
}

bool PostcodeSite::listen()
{
    return m_server.listen(QHostAddress::LocalHost, m_options.port);
}

QString PostcodeSite::baseUrl() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(port());
}

void PostcodeSite::accept()
{
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        auto buffer = std::make_shared<QByteArray>();
        connect(socket, &QTcpSocket::readyRead, this, [this, socket, buffer] {
            const QByteArray data = socket->readAll();
            if (socket->property("answered").toBool())
                return;
            *buffer += data;
            const qsizetype end = buffer->indexOf("\r\n\r\n");
            if (end < 0) {
                if (buffer->size() > MaxHeadSize)
                    socket->abort();
                return;
            }
            socket->setProperty("answered", true);
            handle(socket, buffer->left(end));
        });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }
}

void PostcodeSite::handle(QTcpSocket* socket, const QByteArray& head)
{
    const QList<QByteArray> requestLine = head.left(head.indexOf("\r\n")).split(' ');
    if (requestLine.size() < 3 || requestLine.at(0) != "GET") {
        socket->write(response(405, "Method Not Allowed", {}, {}));
        socket->disconnectFromHost();
        return;
    }
    const QByteArray target = requestLine.at(1);
    const QByteArray cookie = header(head, "cookie");
    const QByteArray acceptEncoding = header(head, "accept-encoding");
    m_requests.append({target, cookie});

    int delay = m_options.slowMs;
    QByteArray path = target.left(target.indexOf('?'));
    takePrefix(path, "/slow", &delay);
    const bool held = takePrefix(path, "/held") && !m_heldReleased;
    if (m_options.failAfterRequests > 0 && m_requests.size() > m_options.failAfterRequests &&
        m_options.failStatus == 0) {
        socket->abort();
        return;
    }

    auto respond = [this, socket, target, cookie, acceptEncoding] {
        bool hang = false;
        socket->write(answer(target, acceptEncoding, cookie, hang));
        if (!hang)
            socket->disconnectFromHost();
    };
    if (held)
        m_held.append([socket = QPointer<QTcpSocket>(socket), respond] {
            if (socket)
                respond();
        });
    else if (delay > 0)
        QTimer::singleShot(delay, socket, respond);
    else
        respond();
}

void PostcodeSite::releaseHeld()
{
    m_heldReleased = true;
    const QList<std::function<void()>> held = std::exchange(m_held, {});
    for (const auto& answer : held)
        answer();
}

bool PostcodeSite::overLimit(QList<qint64>& times, int limit)
{
    if (limit <= 0)
        return false;
    const qint64 now = m_clock.elapsed();
    const qint64 oldest = now - qint64(m_options.blockWindowSeconds) * 1000;
    times.removeIf([oldest](qint64 t) { return t <= oldest; });
    if (times.size() >= limit)
        return true;
    times.append(now);
    return false;
}

QByteArray PostcodeSite::answer(const QByteArray& target, const QByteArray& acceptEncoding,
                                const QByteArray& cookie, bool& hang)
{
    const qsizetype q = target.indexOf('?');
    QByteArray path = q < 0 ? target : target.left(q);
    const QByteArray query = q < 0 ? QByteArray() : target.mid(q + 1);
    int ignored = 0;
    takePrefix(path, "/slow", &ignored);
    takePrefix(path, "/held");
    hang = takePrefix(path, "/hang") || m_options.hang;
    QList<QByteArray> headers;
    if (cookie.isEmpty())
        headers << "Set-Cookie: sessie=" + QByteArray::number(++m_sessions) + "; Path=/";
    if (takePrefix(path, "/redirect")) {
        headers << "Location: " + path + (q < 0 ? "" : "?" + query);
        return response(302, "Found", headers, {});
    }

    const bool latin1 = m_options.charset.toLower() != QLatin1String("utf-8");
    headers << (m_options.charsetInHeader
                    ? "Content-Type: text/html; charset=" + m_options.charset.toLatin1()
                    : QByteArray("Content-Type: text/html"));

    int errorStatus = 0;
    if (!takePrefix(path, "/status", &errorStatus) && m_options.failAfterRequests > 0 &&
        m_requests.size() > m_options.failAfterRequests)
        errorStatus = m_options.failStatus;
    int status = 200;
    QByteArray reason = "OK";
    QString page;
    QByteArray fixed;
    bool isFixed = false;
    for (auto it = m_options.fixedPages.cbegin(); it != m_options.fixedPages.cend(); ++it) {
        QByteArray p = path;
        if (takePrefix(p, it.key().toUtf8())) {
            fixed = it.value();
            isFixed = true;
            break;
        }
    }
    const QString action = parameter(query, "action");
    const bool search = path == "/index" && action == QLatin1String("search");
    const bool further = path == "/index.php" && action == QLatin1String("page");
    if (errorStatus >= 400) {
        status = errorStatus;
        reason = errorStatus == 404 ? "Not Found" : "Site Error";
    }
    if (isFixed) {
        // served as is below, with the error status when one is asked for
    } else if (errorStatus >= 400) {
        page = QStringLiteral("<html><body><p>Fout %1</p></body></html>").arg(errorStatus);
    } else if (overLimit(m_requestTimes, m_options.blockAfterRequests) ||
               (search && overLimit(m_searchTimes, m_options.blockAfterSearches))) {
        page = blockPage(m_options.charset);
    } else if (search || further) {
        const QString text = parameter(query, "address");
        const qint64 pagenum = further ? parameter(query, "pagenum").toLongLong() : 0;
        page = resultPage(text, searchRows(text), pagenum, m_options.charset);
    } else if (path == "/") {
        page = resultPage(QString(), {}, 0, m_options.charset);
    } else {
        status = 404;
        reason = "Not Found";
        page = QStringLiteral("<html><body><p>Niet gevonden</p></body></html>");
    }
    QByteArray body = isFixed ? fixed : latin1 ? page.toLatin1() : page.toUtf8();
    if (m_options.compress && acceptEncoding.contains("deflate")) {
        body = qCompress(body).mid(4); // zlib stream without Qt's length prefix
        headers << "Content-Encoding: deflate";
    }
    if (hang) {
        // Part of the page, then silence: the length promises much more.
        return response(status, reason, headers, body.left(body.size() / 3), body.size() * 10);
    }
    return response(status, reason, headers, body);
}

} // namespace postcodesite
