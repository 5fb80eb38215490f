// The state behind clsSendMail: the error list, the settings store, the
// socket the session speaks over, and the checks a send makes before it
// connects.
#include "mail/internal/Session.h"

#include "mail/Validation.h"
#include "mail/clsSendMail.h"
#include "mail/internal/ReplyAssembler.h"
#include "mail/internal/Texts.h"
#include "platform/Convert.h"
#include "platform/RunError.h"

#include <QSslSocket>

#include <cmath>
#include <limits>

namespace mail::internal {

namespace {

const QString AppName = QStringLiteral("Briefbode");
const QString Section = QStringLiteral("Settings");

const QString NoRecipientError = QStringLiteral("No Recipient E-mail Address Specified");
const QString TooManyError = QStringLiteral("Too many recipients");
const QString HtmlError = QStringLiteral("Sending HTML requires MIME encoding");

constexpr int MaxRecipients = 100;

bool containsText(const QStringList& list, const QString& text)
{
    return list.contains(text, Qt::CaseInsensitive);
}

} // namespace

Session::Session(clsSendMail& front, const platform::Env& env) : q(front), m_env(env)
{
    m_replies = std::make_unique<ReplyAssembler>();
    useSocket(false);
}

Session::~Session()
{
    if (!socketClosed())
        CloseSession();
    m_socket->disconnect(&q);
    delete m_socket;
}

void Session::useSocket(bool tls)
{
    if (m_socket && (qobject_cast<QSslSocket*>(m_socket) != nullptr) == tls)
        return;
    if (m_socket) {
        m_socket->disconnect(&q);
        delete m_socket;
    }
    // A plain socket unless TLS is wanted: setting up TLS (the library, the
    // system's authorities) costs a noticeable part of a small send.
    m_socket = tls ? new QSslSocket(&q) : new QTcpSocket(&q);
    QObject::connect(m_socket, &QAbstractSocket::connected, &q, [this] { m_Connected = true; });
    QObject::connect(m_socket, &QAbstractSocket::disconnected, &q, [this] { m_Connected = false; });
    QObject::connect(m_socket, &QIODevice::readyRead, &q, [this] { readReplies(); });
    QObject::connect(m_socket, &QIODevice::bytesWritten, &q, [this](qint64 n) { bytesWritten(n); });
    if (auto* secure = qobject_cast<QSslSocket*>(m_socket))
        QObject::connect(secure, &QSslSocket::encrypted, &q, [this] { encryptionStarted(); });
    QObject::connect(
        m_socket, &QAbstractSocket::errorOccurred, &q, [this](QAbstractSocket::SocketError error) {
            // The server closing the connection is the close
            // event, no failure: it does so after QUIT.
            if (error == QAbstractSocket::RemoteHostClosedError)
                return;
            // The short wait for the queue to move ends so when
            // it did not move: no failure, the step's own
            // time-out decides.
            if (m_probing && error == QAbstractSocket::SocketTimeoutError)
                return;
            // Handled from the event loop, outside the socket's
            // own signal: the failure closes the socket and waits.
            const QString description = m_socket->errorString();
            QMetaObject::invokeMethod(
                &q, [this, error, description] { socketError(int(error), description); },
                Qt::QueuedConnection);
        });
}

// ---- error list

void Session::AddError(const QString& text)
{
    if (!containsText(m_ErrorList, text))
        m_ErrorList.append(text);
}

void Session::RemoveError(const QString& text)
{
    m_ErrorList.removeIf(
        [&text](const QString& e) { return e.compare(text, Qt::CaseInsensitive) == 0; });
}

void Session::RaiseFailure()
{
    m_LastResult = m_ErrorList.join(QString());
    // Emptied before the connection closes, so that a failure while it
    // closes reports only its own text.
    m_ErrorList.clear();
    emit q.SendFailed(m_LastResult);
    if (!socketClosed())
        CloseSession();
    m_AbortFlag = true;
}

// ---- settings store

QString Session::ReadSetting(const QString& key, const QString& defaultValue) const
{
    QString value = defaultValue;
    platform::skipOnError(
        [&] { value = m_env.settings->GetSetting(AppName, Section, key, defaultValue); });
    return value;
}

qint32 Session::ReadNumber(const QString& key, qint32 defaultValue) const
{
    bool ok = false;
    const double value = platform::toNumber(ReadSetting(key, QString::number(defaultValue)), &ok);
    // A text that is no 32-bit number gives the default rather than an error.
    if (!ok || value < std::numeric_limits<qint32>::min() ||
        value > std::numeric_limits<qint32>::max())
        return defaultValue;
    return qint32(std::nearbyint(value));
}

void Session::WriteSetting(const QString& key, const QString& value)
{
    if (m_PersistentSettings)
        platform::skipOnError([&] { m_env.settings->SaveSetting(AppName, Section, key, value); });
}

// ---- composing

QStringList Session::split(const QString& text) const
{
    if (text.isEmpty())
        return {};
    if (m_Delimiter.isEmpty())
        return {text};
    return text.split(m_Delimiter);
}

bool Session::prepareSend(SendValues& values)
{
    m_SentOk = false;
    m_LastResult.clear();
    const qsizetype attachments = m.AttachmentPaths.size();
    values.UseMultipart = m.EncodeType == 0 && attachments >= 1;
    if (m.from.isEmpty())
        AddError(SenderError);
    if (m.AsHTML && m.EncodeType == 1)
        AddError(HtmlError);
    const qsizetype recipients = m.Recipient.size() + m.CcRecipient.size() + m.BccRecipient.size();
    if (recipients == 0)
        AddError(NoRecipientError);
    if (recipients > MaxRecipients)
        AddError(TooManyError);
    fitDisplayNames(m);
    for (const QString& error : unsafeMessageTexts() + unsafeSessionTexts())
        AddError(error);
    if (!m_ErrorList.isEmpty()) {
        RaiseFailure();
        return false;
    }
    if (attachments != 0)
        values.HasEmbedded = EmbedReferencedFiles(m);
    m_AbortFlag = false;
    values.now = m_env.day->Now();
    if (m.EncodeType == 0)
        values.Boundary = makeBoundary(values.now);
    values.TimeZoneOffset = m_TimeZoneOffset;
    return true;
}

QStringList Session::unsafeMessageTexts() const
{
    QStringList errors;
    auto check = [&errors](const QString& error) {
        if (!error.isEmpty() && !errors.contains(error))
            errors << error;
    };
    // Control characters as given: the setters' cleaning (line ends, tabs,
    // blanks at the ends) is no licence to join lines silently.
    for (auto it = m_raw.cbegin(); it != m_raw.cend(); ++it)
        for (const QString& text : it.value())
            check(controlCharacterError(text, it.key()));
    check(addressCharacterError(m.from, what::SenderAddress));
    if (!m.ReplyToAddress.isEmpty())
        check(addressCharacterError(m.ReplyToAddress, what::ReplyToAddress));
    for (const auto& [list, label] :
         {std::pair{&m.Recipient, what::RecipientAddress},
          std::pair{&m.CcRecipient, what::CcAddress}, std::pair{&m.BccRecipient, what::BccAddress}})
        for (const QString& address : *list)
            check(addressCharacterError(address, label));
    // And as they stand (a stored sender's name never passed a setter).
    check(controlCharacterError(m.FromDisplayName, what::SenderName));
    for (const QString& name : m.RecipientDisplayName)
        check(controlCharacterError(name, what::RecipientName));
    for (const QString& name : m.CcDisplayName)
        check(controlCharacterError(name, what::CcName));
    for (const QString& name : m.AttachmentNames)
        check(controlCharacterError(name, QStringLiteral("an attachment's file name")));
    return errors;
}

QStringList Session::unsafeSessionTexts() const
{
    QStringList errors;
    for (const auto& [text, what] : {std::pair{&m_Hallo, QStringLiteral("the HELO name")},
                                     std::pair{&m_Username, QStringLiteral("the user name")},
                                     std::pair{&m_Password, QStringLiteral("the password")}}) {
        const QString error = controlCharacterError(*text, what);
        if (!error.isEmpty())
            errors << error;
    }
    return errors;
}

bool Session::writeMessage(MessageWriter& out)
{
    SendValues values;
    if (!prepareSend(values))
        return false;
    const StreamResult result = writeMessageStream(m, values, out);
    if (!result.complete && !result.error.isEmpty()) {
        AddError(result.error);
        RaiseFailure();
    }
    return result.complete;
}

} // namespace mail::internal
