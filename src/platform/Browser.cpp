#include "platform/Browser.h"

#include <QMetaMethod>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace platform {

namespace {
// A page that has not arrived after this long is given up by the network
// layer too, so an abandoned connection never lingers.
constexpr int TransferTimeoutMs = 60000;
// Why an answer that arrived whole is still no page to read, or "": a
// "no results" page has its count sentence and table; an answer without
// a body or of another kind would read like one.
QString notAPage(int status, const QByteArray& body, const QByteArray& contentType)
{
    if (status == 204 || status == 205 || (status >= 300 && status < 400))
        return QStringLiteral("HTTP %1 without a page").arg(status);
    if (body.isEmpty())
        return QStringLiteral("the answer is empty");
    const QByteArray type = contentType.split(';').value(0).trimmed().toLower();
    if (!type.isEmpty() && !type.startsWith("text/") && type != "application/xhtml+xml")
        return QStringLiteral("the answer is no page (%1)").arg(QString::fromLatin1(type));
    return {};
}

} // namespace

Browser::Browser(QNetworkAccessManager& network, QObject* parent)
    : QObject(parent), m_network(network)
{
}

Browser::~Browser()
{
    abandon();
}

void Browser::abandon()
{
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
        m_reply->deleteLater();
        m_reply = nullptr;
    }
}

void Browser::stop()
{
    abandon();
    if (m_state != Uninitialized)
        m_state = Complete;
}

void Browser::navigate(const QUrl& url)
{
    abandon();
    m_url = url;
    m_received.clear();
    m_contentType.clear();
    m_status = 0;
    m_failure.clear();
    m_tooLarge = false;
    m_document.reset();
    m_state = Loading;

    QNetworkRequest req(url);
    req.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                     QNetworkRequest::NoLessSafeRedirectPolicy);
    req.setTransferTimeout(TransferTimeoutMs);
    m_reply = m_network.get(req);
    connect(m_reply, &QNetworkReply::readyRead, this, &Browser::received);
    connect(m_reply, &QNetworkReply::finished, this, &Browser::finish);
}

void Browser::received()
{
    m_received += m_reply->readAll();
    if (m_state == Loading)
        m_state = Interactive;
    if (m_received.size() > MaxPageBytes) {
        m_tooLarge = true;
        m_reply->abort(); // finishes the load
    }
}

void Browser::finish()
{
    QNetworkReply* reply = m_reply;
    if (!reply)
        return;
    if (!m_tooLarge)
        m_received += reply->readAll();
    m_contentType = reply->header(QNetworkRequest::ContentTypeHeader).toString().toLatin1();
    m_status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (m_tooLarge) {
        m_failure = QStringLiteral("the page is larger than %1 MiB").arg(MaxPageBytes >> 20);
        m_received.clear();
    } else if (m_status >= 400) {
        m_failure =
            QStringLiteral("HTTP %1 %2")
                .arg(m_status)
                .arg(reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString());
    } else if (reply->error() != QNetworkReply::NoError) {
        m_failure = reply->errorString();
    } else {
        m_failure = notAPage(m_status, m_received, m_contentType);
    }
    if (reply->url().isValid())
        m_url = reply->url();
    m_reply = nullptr;
    reply->deleteLater();

    m_document = HtmlDocument::fromBytes(m_received, m_contentType, m_stop);
    if (m_failure.isEmpty() && m_document->refused())
        m_failure = QStringLiteral("the page nests too deep or grows too large to read");
    m_state = Complete;
    if (isSignalConnected(QMetaMethod::fromSignal(&Browser::documentLoaded)))
        emit documentLoaded(decodeHtml(m_received, m_contentType), m_url);
}

} // namespace platform
