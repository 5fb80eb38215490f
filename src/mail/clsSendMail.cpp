#include "mail/clsSendMail.h"

#include "mail/internal/ReplyAssembler.h"

#include "mail/Encoders.h"
#include "mail/HostLookup.h"
#include "mail/Validation.h"
#include "mail/modMXQuery.h"
#include "platform/Convert.h"
#include "platform/RunError.h"

#include <QFileInfo>
#include <QSslSocket>

#include <cmath>
#include <limits>

namespace mail {

namespace {

const QString AppName = QStringLiteral("Briefbode");
const QString Section = QStringLiteral("Settings");

const QString SmtpHostError = QStringLiteral("Invalid or Missing SMTP Host Name");
const QString Pop3HostError = QStringLiteral("Invalid or Missing POP3 Host Name");
const QString PortError = QStringLiteral("Invalid Remote Port");
const QString RecipientError = QStringLiteral("Missing or Invalid Recipient E-mail Address");
const QString CcError = QStringLiteral("Invalid Cc: Recipient E-mail Address");
const QString BccError = QStringLiteral("Invalid Bcc: Recipient E-mail Address");
const QString SenderError = QStringLiteral("Missing or Invalid Sender E-mail Address");
const QString NoRecipientError = QStringLiteral("No Recipient E-mail Address Specified");
const QString TooManyError = QStringLiteral("Too many recipients");
const QString HtmlError = QStringLiteral("Sending HTML requires MIME encoding");
const QString AttachmentError = QStringLiteral("The file you tried to attach does not exist");

const QString DefaultXMailer =
    QStringLiteral("Brevaro Emailer version 1.0 (https://straatwijs.nl/briefbode/)");

constexpr int MaxRecipients = 100;

QString flag(bool value)
{
    return value ? QStringLiteral("-1") : QStringLiteral("0");
}

QStringList CleanList(QStringList list)
{
    for (QString& element : list)
        element = element.remove(QStringLiteral("\r\n")).remove(QLatin1Char('\t')).trimmed();
    return list;
}

bool containsText(const QStringList& list, const QString& text)
{
    return list.contains(text, Qt::CaseInsensitive);
}

} // namespace

clsSendMail::clsSendMail(const platform::Env& env, QObject* parent) : QObject(parent), m_env(env)
{
    m_PersistentSettings = platform::booleanValue(
        ReadSetting(QStringLiteral("PersistentSettings"), QStringLiteral("0")));
    if (m_PersistentSettings) {
        // Loaded as stored: nothing is checked or clamped on the way in.
        m.from = ReadSetting(QStringLiteral("From"), {});
        m.FromDisplayName = ReadSetting(QStringLiteral("FromDisplayName"), {});
        m_POP3Host = ReadSetting(QStringLiteral("Pop3Host"), {});
        m_SMTPHost = ReadSetting(QStringLiteral("RemoteHost"), {});
        m_SMTPPort = ReadNumber(QStringLiteral("RemotePort"), 25);
        m_SMTPHostValidation = ReadNumber(QStringLiteral("SMTPHostValidation"), 3);
        m_EmailAddressValidation = ReadNumber(QStringLiteral("EmailValidation"), 1);
        m_ConnectTimeout = ReadNumber(QStringLiteral("ConnectTimeout"), 30);
        m_MessageTimeout = ReadNumber(QStringLiteral("MessageTimeout"), 60);
        m_ConnectRetry = ReadNumber(QStringLiteral("ConnectRetry"), 4);
        m.EncodeType = ReadNumber(QStringLiteral("EncodeType"), 0);
        m_Username = ReadSetting(QStringLiteral("Username"), {});
        m_UseAuthentication = platform::booleanValue(
            ReadSetting(QStringLiteral("UseAuthentication"), platform::booleanText(false)));
        m_UsePopAuthentication = platform::booleanValue(
            ReadSetting(QStringLiteral("UsePopAuthentication"), platform::booleanText(false)));
    }
    // The offset in force now, daylight saving included.
    m_TimeZoneOffset = timeZoneOffsetText(-m_env.day->Now().offsetFromUtc() / 60);
    m.XMailer = DefaultXMailer;

    m_mx = &modMXQuery::process();
    m_replies = std::make_unique<internal::ReplyAssembler>();
    useSocket(false);
}

void clsSendMail::useSocket(bool tls)
{
    if (m_socket && (qobject_cast<QSslSocket*>(m_socket) != nullptr) == tls)
        return;
    if (m_socket) {
        m_socket->disconnect(this);
        delete m_socket;
    }
    // A plain socket unless TLS is wanted: setting up TLS (the library, the
    // system's authorities) costs a noticeable part of a small send.
    m_socket = tls ? new QSslSocket(this) : new QTcpSocket(this);
    connect(m_socket, &QAbstractSocket::connected, this, [this] { m_Connected = true; });
    connect(m_socket, &QAbstractSocket::disconnected, this, [this] { m_Connected = false; });
    connect(m_socket, &QIODevice::readyRead, this, [this] { readReplies(); });
    connect(m_socket, &QIODevice::bytesWritten, this, [this](qint64 n) { bytesWritten(n); });
    if (auto* secure = qobject_cast<QSslSocket*>(m_socket))
        connect(secure, &QSslSocket::encrypted, this, [this] { encryptionStarted(); });
    connect(m_socket, &QAbstractSocket::errorOccurred, this,
            [this](QAbstractSocket::SocketError error) {
                // The server closing the connection is the close event, no
                // failure: it does so after QUIT.
                if (error == QAbstractSocket::RemoteHostClosedError)
                    return;
                // The short wait for the queue to move ends so when it did
                // not move: no failure, the step's own time-out decides.
                if (m_probing && error == QAbstractSocket::SocketTimeoutError)
                    return;
                // Handled from the event loop, outside the socket's own
                // signal: the failure closes the socket and waits.
                const QString description = m_socket->errorString();
                QMetaObject::invokeMethod(
                    this, [this, error, description] { socketError(int(error), description); },
                    Qt::QueuedConnection);
            });
}

clsSendMail::~clsSendMail()
{
    if (!socketClosed())
        CloseSession();
    m_socket->disconnect(this);
    delete m_socket;
}

// ---- error list

void clsSendMail::AddError(const QString& text)
{
    if (!containsText(m_ErrorList, text))
        m_ErrorList.append(text);
}

void clsSendMail::RemoveError(const QString& text)
{
    m_ErrorList.removeIf(
        [&text](const QString& e) { return e.compare(text, Qt::CaseInsensitive) == 0; });
}

void clsSendMail::RaiseFailure()
{
    m_LastResult = m_ErrorList.join(QString());
    // Emptied before the connection closes, so that a failure while it
    // closes reports only its own text.
    m_ErrorList.clear();
    emit SendFailed(m_LastResult);
    if (!socketClosed())
        CloseSession();
    m_AbortFlag = true;
}

// ---- settings store

QString clsSendMail::ReadSetting(const QString& key, const QString& defaultValue) const
{
    QString value = defaultValue;
    platform::skipOnError(
        [&] { value = m_env.settings->GetSetting(AppName, Section, key, defaultValue); });
    return value;
}

qint32 clsSendMail::ReadNumber(const QString& key, qint32 defaultValue) const
{
    bool ok = false;
    const double value = platform::toNumber(ReadSetting(key, QString::number(defaultValue)), &ok);
    // A text that is no 32-bit number gives the default rather than an error.
    if (!ok || value < std::numeric_limits<qint32>::min() ||
        value > std::numeric_limits<qint32>::max())
        return defaultValue;
    return qint32(std::nearbyint(value));
}

void clsSendMail::WriteSetting(const QString& key, const QString& value)
{
    if (m_PersistentSettings)
        platform::skipOnError([&] { m_env.settings->SaveSetting(AppName, Section, key, value); });
}

// ---- lists and checks

QStringList clsSendMail::split(const QString& text) const
{
    if (text.isEmpty())
        return {};
    if (m_Delimiter.isEmpty())
        return {text};
    return text.split(m_Delimiter);
}

void clsSendMail::ValidateAddressList(const QString& value, const QString& errorText)
{
    RemoveError(errorText);
    if (m_EmailAddressValidation != 1)
        return;
    if (!allAddressesValid(split(value)))
        AddError(errorText);
}

bool clsSendMail::hostAccepted(QString& value)
{
    value.remove(QChar(0));
    if (value.isEmpty())
        return true;
    switch (m_SMTPHostValidation) {
    case 1:
        return IsValidHostName(value);
    case 2: {
        QString roundTrip;
        QString size;
        bool match = false;
        return mail::Ping(value, roundTrip, size, match, *m_env.random);
    }
    case 3:
        return !mail::GetIPAddress(value).isEmpty();
    default:
        return true;
    }
}

// ---- setters

void clsSendMail::setAttachment(const QString& NewValue)
{
    m.AttachmentPaths = split(NewValue);
    m.AttachmentBytes = 0;
    m.AttachmentNameChars = 0;
    m.AttachmentNames.clear();
    m.AttachmentEmbedded.clear();
    RemoveError(AttachmentError);
    const qsizetype count = m.AttachmentPaths.size();
    if (count == 0)
        return;
    m.AttachmentNames.resize(count);
    m.AttachmentEmbedded.fill(false, count);
    for (qsizetype i = 0; i < count; ++i) {
        const QString& path = m.AttachmentPaths[i];
        const QFileInfo file(path);
        if (!file.exists() || file.isDir()) {
            AddError(AttachmentError);
            return;
        }
        // Either separator: paths written on either platform name their file.
        const qsizetype slash =
            std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
        m.AttachmentNames[i] = path.mid(slash + 1);
        m.AttachmentBytes += file.size();
        m.AttachmentNameChars += m.AttachmentNames[i].size();
    }
}

void clsSendMail::setBccRecipient(const QString& NewValue)
{
    m_raw[QStringLiteral("a Bcc address")] = split(NewValue);
    m.BccRecipient = CleanList(split(NewValue));
    ValidateAddressList(NewValue, BccError);
}

void clsSendMail::setCcDisplayName(const QString& NewValue)
{
    m_raw[QStringLiteral("a Cc display name")] = split(NewValue);
    m.CcDisplayName = CleanList(split(NewValue));
}

void clsSendMail::setCcRecipient(const QString& NewValue)
{
    m_raw[QStringLiteral("a Cc address")] = split(NewValue);
    m.CcRecipient = CleanList(split(NewValue));
    ValidateAddressList(NewValue, CcError);
}

void clsSendMail::setConnectRetry(qint32 NewValue)
{
    if (NewValue >= 1 && NewValue <= 20)
        m_ConnectRetry = NewValue;
    WriteSetting(QStringLiteral("ConnectRetry"), QString::number(NewValue));
}

void clsSendMail::setConnectTimeout(qint32 NewValue)
{
    if (NewValue >= 1 && NewValue <= 120)
        m_ConnectTimeout = NewValue;
    WriteSetting(QStringLiteral("ConnectTimeout"), QString::number(NewValue));
}

void clsSendMail::setContentBase(const QString& NewValue)
{
    if (NewValue.isEmpty()) {
        m.ContentBase.clear();
        return;
    }
    QString base = NewValue;
    base.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (!base.contains(QStringLiteral("http://"), Qt::CaseInsensitive))
        base.prepend(QStringLiteral("http://"));
    if (!base.endsWith(QLatin1Char('/')))
        base += QLatin1Char('/');
    m.ContentBase = base;
}

void clsSendMail::setDelimiter(const QString& NewValue)
{
    m_Delimiter = NewValue.left(1);
}

void clsSendMail::setEmailAddressValidation(qint32 NewValue)
{
    m_EmailAddressValidation = NewValue;
    WriteSetting(QStringLiteral("EmailValidation"), QString::number(NewValue));
}

void clsSendMail::setEncodeType(qint32 NewValue)
{
    m.EncodeType = NewValue;
    WriteSetting(QStringLiteral("EncodeType"), QString::number(NewValue));
}

void clsSendMail::setFrom(const QString& NewValue)
{
    m_raw[QStringLiteral("the sender address")] = QStringList{NewValue};
    m.from = NewValue.trimmed();
    ValidateAddressList(NewValue, SenderError);
    WriteSetting(QStringLiteral("From"), NewValue);
}

void clsSendMail::setFromDisplayName(const QString& NewValue)
{
    m_raw[QStringLiteral("the sender's display name")] = QStringList{NewValue};
    m.FromDisplayName = NewValue.trimmed();
    WriteSetting(QStringLiteral("FromDisplayName"), NewValue);
}

void clsSendMail::setMessage(const QString& NewValue)
{
    m.Message = PrepareMessage(NewValue);
    m.EightBitMessage =
        std::any_of(m.Message.begin(), m.Message.end(), [](QChar c) { return c.unicode() > 126; });
}

void clsSendMail::setMessageTimeout(qint32 NewValue)
{
    m_MessageTimeout = NewValue == std::numeric_limits<qint32>::min()
                           ? std::numeric_limits<qint32>::max()
                           : std::abs(NewValue);
    WriteSetting(QStringLiteral("MessageTimeout"), QString::number(NewValue));
}

void clsSendMail::setPersistentSettings(bool NewValue)
{
    m_PersistentSettings = NewValue;
    WriteSetting(QStringLiteral("PersistentSettings"), flag(NewValue));
}

void clsSendMail::setPriority(qint32 NewValue)
{
    m.Priority = NewValue;
    if (NewValue == 1)
        m.PriorityText = QStringLiteral("High");
    else if (NewValue == 3)
        m.PriorityText = QStringLiteral("Normal");
    else if (NewValue == 5)
        m.PriorityText = QStringLiteral("Low");
}

void clsSendMail::setRecipient(const QString& NewValue)
{
    m_raw[QStringLiteral("a Recipient address")] = split(NewValue);
    m.Recipient = CleanList(split(NewValue));
    ValidateAddressList(NewValue, RecipientError);
}

void clsSendMail::setRecipientDisplayName(const QString& NewValue)
{
    m_raw[QStringLiteral("a recipient's display name")] = split(NewValue);
    m.RecipientDisplayName = CleanList(split(NewValue));
}

void clsSendMail::setPOP3Host(QString& NewValue)
{
    if (!hostAccepted(NewValue)) {
        AddError(Pop3HostError);
        return;
    }
    m_POP3Host = QString(NewValue).remove(QChar(0));
    WriteSetting(QStringLiteral("Pop3Host"), m_POP3Host);
    RemoveError(Pop3HostError);
}

void clsSendMail::setPOP3Host(const QString& NewValue)
{
    QString value = NewValue;
    setPOP3Host(value);
}

void clsSendMail::setSMTPHost(QString& NewValue)
{
    if (!hostAccepted(NewValue)) {
        AddError(SmtpHostError);
        return;
    }
    m_SMTPHost = QString(NewValue).remove(QChar(0));
    WriteSetting(QStringLiteral("RemoteHost"), m_SMTPHost);
    RemoveError(SmtpHostError);
}

void clsSendMail::setSMTPHost(const QString& NewValue)
{
    QString value = NewValue;
    setSMTPHost(value);
}

void clsSendMail::setSMTPHostValidation(qint32 NewValue)
{
    m_SMTPHostValidation = NewValue;
    WriteSetting(QStringLiteral("SMTPHostValidation"), QString::number(NewValue));
    if (!m_SMTPHost.isEmpty()) {
        QString host = m_SMTPHost;
        setSMTPHost(host);
    }
}

void clsSendMail::setSMTPPort(qint32 NewValue)
{
    if (NewValue < 1 || NewValue > 65535) {
        AddError(PortError);
        return;
    }
    m_SMTPPort = NewValue;
    WriteSetting(QStringLiteral("RemotePort"), QString::number(NewValue));
    RemoveError(PortError);
}

void clsSendMail::setUseAuthentication(bool NewValue)
{
    m_UseAuthentication = NewValue;
    WriteSetting(QStringLiteral("UseAuthentication"), flag(NewValue));
}

void clsSendMail::setUsePopAuthentication(bool NewValue)
{
    m_UsePopAuthentication = NewValue;
    WriteSetting(QStringLiteral("UsePopAuthentication"), flag(NewValue));
}

void clsSendMail::setUsername(const QString& NewValue)
{
    m_Username = NewValue;
    WriteSetting(QStringLiteral("Username"), NewValue);
}

// ---- methods

bool clsSendMail::Clear()
{
    m.AttachmentPaths.clear();
    m.AttachmentNames.clear();
    m.BccRecipient.clear();
    m.CcRecipient.clear();
    m.CcDisplayName.clear();
    m.Recipient.clear();
    m.RecipientDisplayName.clear();
    m.from.clear();
    m.FromDisplayName.clear();
    m.Message.clear();
    m.ReplyToAddress.clear();
    m.Subject.clear();
    m_raw.clear();
    m.AttachmentNameChars = 0;
    m.AttachmentBytes = 0;
    m.Priority = 3;
    m_Delimiter = QStringLiteral(";");
    return false;
}

QString clsSendMail::GetContentType(const QString& strFile, const QString& strDefault) const
{
    return mail::GetContentType(strFile, strDefault);
}

QString clsSendMail::GetIPAddress(QString& sHostName)
{
    return mail::GetIPAddress(sHostName);
}

QString clsSendMail::GetIPHost()
{
    return mail::GetIPHost();
}

bool clsSendMail::IsValidEmailAddress(const QString& AddressString) const
{
    return mail::IsValidEmailAddress(AddressString);
}

bool clsSendMail::Ping(QString& Address, QString& RoundTripTime, QString& DataSize, bool& DataMatch)
{
    return mail::Ping(Address, RoundTripTime, DataSize, DataMatch, *m_env.random);
}

QString clsSendMail::DecodeBase64String(const QString& str2Decode) const
{
    return mail::DecodeBase64String(str2Decode);
}

// ---- composing

bool clsSendMail::prepareSend(SendValues& values)
{
    m_SentOk = false;
    m_LastResult.clear();
    values.UseMultipart = m.EncodeType == 0 && AttachmentCount() >= 1;
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
    if (AttachmentCount() != 0)
        values.HasEmbedded = EmbedReferencedFiles(m);
    m_AbortFlag = false;
    values.now = m_env.day->Now();
    if (m.EncodeType == 0)
        values.Boundary = makeBoundary(values.now);
    values.TimeZoneOffset = m_TimeZoneOffset;
    return true;
}

void clsSendMail::setReplyToAddress(const QString& NewValue)
{
    m_raw[QStringLiteral("the Reply-to address")] = QStringList{NewValue};
    m.ReplyToAddress = NewValue.trimmed();
}

QStringList clsSendMail::unsafeMessageTexts() const
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
    check(addressCharacterError(m.from, QStringLiteral("the sender address")));
    if (!m.ReplyToAddress.isEmpty())
        check(addressCharacterError(m.ReplyToAddress, QStringLiteral("the Reply-to address")));
    for (const auto& [list, what] : {std::pair{&m.Recipient, QStringLiteral("a Recipient address")},
                                     std::pair{&m.CcRecipient, QStringLiteral("a Cc address")},
                                     std::pair{&m.BccRecipient, QStringLiteral("a Bcc address")}})
        for (const QString& address : *list)
            check(addressCharacterError(address, what));
    // And as they stand (a stored sender's name never passed a setter).
    check(controlCharacterError(m.FromDisplayName, QStringLiteral("the sender's display name")));
    for (const QString& name : m.RecipientDisplayName)
        check(controlCharacterError(name, QStringLiteral("a recipient's display name")));
    for (const QString& name : m.CcDisplayName)
        check(controlCharacterError(name, QStringLiteral("a Cc display name")));
    for (const QString& name : m.AttachmentNames)
        check(controlCharacterError(name, QStringLiteral("an attachment's file name")));
    return errors;
}

QStringList clsSendMail::unsafeSessionTexts() const
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

bool clsSendMail::writeMessage(MessageWriter& out)
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

} // namespace mail
