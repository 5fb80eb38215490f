#include "platform/Browser.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace platform {

namespace {
// A page that has not arrived after this long is given up by the network
// layer too, so an abandoned connection never lingers.
constexpr int TransferTimeoutMs = 60000;
} // namespace

Browser::Browser(QNetworkAccessManager& network, QObject* parent)
    : QObject(parent), m_network(network)
{
}

Browser::~Browser()
{
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
        m_reply->deleteLater();
    }
}

void Browser::navigate(const QString& url)
{
    navigate(QUrl(url, QUrl::TolerantMode));
}

void Browser::navigate(const QUrl& url)
{
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
        m_reply->deleteLater();
    }
    m_url = url;
    m_received.clear();
    m_contentType.clear();
    m_status = 0;
    m_error.clear();
    m_partial.reset();
    m_partialSize = -1;
    m_state = Loading;

    QNetworkRequest req(url);
    req.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                     QNetworkRequest::NoLessSafeRedirectPolicy);
    req.setTransferTimeout(TransferTimeoutMs);
    m_reply = m_network.get(req);
    connect(m_reply, &QNetworkReply::readyRead, this, [this] {
        m_received += m_reply->readAll();
        if (m_state == Loading)
            m_state = Interactive;
    });
    connect(m_reply, &QNetworkReply::metaDataChanged, this, [this] {
        m_contentType = m_reply->header(QNetworkRequest::ContentTypeHeader).toString().toLatin1();
    });
    connect(m_reply, &QNetworkReply::finished, this, &Browser::finish);
}

void Browser::finish()
{
    QNetworkReply* reply = m_reply;
    if (!reply)
        return;
    m_received += reply->readAll();
    m_contentType = reply->header(QNetworkRequest::ContentTypeHeader).toString().toLatin1();
    m_status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (reply->error() != QNetworkReply::NoError)
        m_error = reply->errorString();
    if (reply->url().isValid())
        m_url = reply->url();
    m_reply = nullptr;
    reply->deleteLater();

    const QString html = decodeHtml(m_received, m_contentType);
    m_document = HtmlDocument::parse(html);
    m_partial.reset();
    m_state = Complete;
    emit documentLoaded(html, m_url);
}

std::shared_ptr<const HtmlDocument> Browser::Document() const
{
    if (m_state == Complete || m_state == Uninitialized)
        return m_document;
    // Still loading: the part of the page that has arrived.
    if (!m_partial || m_partialSize != m_received.size()) {
        m_partial = HtmlDocument::fromBytes(m_received, m_contentType);
        m_partialSize = m_received.size();
    }
    return m_partial;
}

} // namespace platform
