#include "mail/clsSendMail.h"

#include "mail/Encoders.h"
#include "mail/HostLookup.h"
#include "mail/Validation.h"
#include "mail/internal/Session.h"
#include "mail/internal/Texts.h"
#include "platform/Convert.h"

#include <QFileInfo>

#include <cmath>
#include <limits>

namespace mail {

using internal::Pop3HostError;
using internal::SenderError;
using internal::Session;
using internal::SmtpHostError;

namespace {

const QString PortError = QStringLiteral("Invalid Remote Port");
const QString RecipientError = QStringLiteral("Missing or Invalid Recipient E-mail Address");
const QString CcError = QStringLiteral("Invalid Cc: Recipient E-mail Address");
const QString BccError = QStringLiteral("Invalid Bcc: Recipient E-mail Address");
const QString AttachmentError = QStringLiteral("The file you tried to attach does not exist");

const QString DefaultXMailer =
    QStringLiteral("Brevaro Emailer version 1.0 (https://straatwijs.nl/briefbode/)");

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

void ValidateAddressList(Session& s, const QString& value, const QString& errorText)
{
    s.RemoveError(errorText);
    if (s.m_EmailAddressValidation != 1)
        return;
    if (!allAddressesValid(s.split(value)))
        s.AddError(errorText);
}

// Drops NUL characters from the caller's variable and checks the host at
// the validation level; levels 2 and 3 rewrite the variable.
bool hostAccepted(Session& s, QString& value)
{
    value.remove(QChar(0));
    if (value.isEmpty())
        return true;
    switch (s.m_SMTPHostValidation) {
    case 1:
        return IsValidHostName(value);
    case 2: {
        QString roundTrip;
        QString size;
        bool match = false;
        return s.m_pinger.Ping(value, roundTrip, size, match);
    }
    case 3:
        return !mail::GetIPAddress(value).isEmpty();
    default:
        return true;
    }
}

} // namespace

clsSendMail::clsSendMail(const platform::Env& env, QObject* parent)
    : QObject(parent), d(std::make_unique<Session>(*this, env))
{
    d->m_PersistentSettings = platform::booleanValue(
        d->ReadSetting(QStringLiteral("PersistentSettings"), QStringLiteral("0")));
    if (d->m_PersistentSettings) {
        // Loaded as stored: nothing is checked or clamped on the way in.
        d->m.from = d->ReadSetting(QStringLiteral("From"), {});
        d->m.FromDisplayName = d->ReadSetting(QStringLiteral("FromDisplayName"), {});
        d->m_POP3Host = d->ReadSetting(QStringLiteral("Pop3Host"), {});
        d->m_SMTPHost = d->ReadSetting(QStringLiteral("RemoteHost"), {});
        d->m_SMTPPort = d->ReadNumber(QStringLiteral("RemotePort"), 25);
        d->m_SMTPHostValidation = d->ReadNumber(QStringLiteral("SMTPHostValidation"), 3);
        d->m_EmailAddressValidation = d->ReadNumber(QStringLiteral("EmailValidation"), 1);
        d->m_ConnectTimeout = d->ReadNumber(QStringLiteral("ConnectTimeout"), 30);
        d->m_MessageTimeout = d->ReadNumber(QStringLiteral("MessageTimeout"), 60);
        d->m_ConnectRetry = d->ReadNumber(QStringLiteral("ConnectRetry"), 4);
        d->m.EncodeType = d->ReadNumber(QStringLiteral("EncodeType"), 0);
        d->m_Username = d->ReadSetting(QStringLiteral("Username"), {});
        d->m_UseAuthentication = platform::booleanValue(
            d->ReadSetting(QStringLiteral("UseAuthentication"), platform::booleanText(false)));
        d->m_UsePopAuthentication = platform::booleanValue(
            d->ReadSetting(QStringLiteral("UsePopAuthentication"), platform::booleanText(false)));
    }
    // The offset in force now, daylight saving included.
    d->m_TimeZoneOffset = timeZoneOffsetText(-d->m_env.day->Now().offsetFromUtc() / 60);
    d->m.XMailer = DefaultXMailer;
}

// The session ends an open connection with QUIT.
clsSendMail::~clsSendMail() = default;

// ---- plain properties

bool clsSendMail::AsHTML() const
{
    return d->m.AsHTML;
}

void clsSendMail::setAsHTML(bool NewValue)
{
    d->m.AsHTML = NewValue;
}

QString clsSendMail::Attachment() const
{
    return d->joined(d->m.AttachmentPaths);
}

QString clsSendMail::BccRecipient() const
{
    return d->joined(d->m.BccRecipient);
}

QString clsSendMail::CcDisplayName() const
{
    return d->joined(d->m.CcDisplayName);
}

QString clsSendMail::CcRecipient() const
{
    return d->joined(d->m.CcRecipient);
}

qint32 clsSendMail::ConnectRetry() const
{
    return d->m_ConnectRetry;
}

qint32 clsSendMail::ConnectTimeout() const
{
    return d->m_ConnectTimeout;
}

QString clsSendMail::ContentBase() const
{
    return d->m.ContentBase;
}

QString clsSendMail::Delimiter() const
{
    return d->m_Delimiter;
}

qint32 clsSendMail::EmailAddressValidation() const
{
    return d->m_EmailAddressValidation;
}

qint32 clsSendMail::EncodeType() const
{
    return d->m.EncodeType;
}

QString clsSendMail::from() const
{
    return d->m.from;
}

QString clsSendMail::FromDisplayName() const
{
    return d->m.FromDisplayName;
}

QString clsSendMail::Hallo() const
{
    return d->m_Hallo;
}

void clsSendMail::setHallo(const QString& NewValue)
{
    d->m_Hallo = NewValue;
}

QString clsSendMail::Message() const
{
    return d->m.Message;
}

qint32 clsSendMail::MessageTimeout() const
{
    return d->m_MessageTimeout;
}

QString clsSendMail::Password() const
{
    return d->m_Password;
}

void clsSendMail::setPassword(const QString& NewValue)
{
    d->m_Password = NewValue;
}

bool clsSendMail::PersistentSettings() const
{
    return d->m_PersistentSettings;
}

qint32 clsSendMail::Priority() const
{
    return d->m.Priority;
}

QString clsSendMail::XMailer() const
{
    return d->m.XMailer;
}

void clsSendMail::setXMailer(const QString& NewValue)
{
    d->m.XMailer = NewValue;
}

bool clsSendMail::Receipt() const
{
    return d->m.Receipt;
}

void clsSendMail::setReceipt(bool NewValue)
{
    d->m.Receipt = NewValue;
}

QString clsSendMail::Recipient() const
{
    return d->joined(d->m.Recipient);
}

QString clsSendMail::RecipientDisplayName() const
{
    return d->joined(d->m.RecipientDisplayName);
}

QString clsSendMail::ReplyToAddress() const
{
    return d->m.ReplyToAddress;
}

QString clsSendMail::POP3Host() const
{
    return d->m_POP3Host;
}

QString clsSendMail::SMTPHost() const
{
    return d->m_SMTPHost;
}

qint32 clsSendMail::SMTPHostValidation() const
{
    return d->m_SMTPHostValidation;
}

qint32 clsSendMail::SMTPPort() const
{
    return d->m_SMTPPort;
}

QString clsSendMail::Subject() const
{
    return d->m.Subject;
}

void clsSendMail::setSubject(const QString& NewValue)
{
    d->m.Subject = NewValue;
}

bool clsSendMail::UseAuthentication() const
{
    return d->m_UseAuthentication;
}

bool clsSendMail::UsePopAuthentication() const
{
    return d->m_UsePopAuthentication;
}

QString clsSendMail::Username() const
{
    return d->m_Username;
}

bool clsSendMail::StartTls() const
{
    return d->m_StartTls;
}

void clsSendMail::setStartTls(bool NewValue)
{
    d->m_StartTls = NewValue;
}

qint32 clsSendMail::POP3Port() const
{
    return d->m_POP3Port;
}

void clsSendMail::setPOP3Port(qint32 NewValue)
{
    d->m_POP3Port = quint16(qBound(1, NewValue, 65535));
}

QString clsSendMail::CaFile() const
{
    return d->m_CaFile;
}

void clsSendMail::setCaFile(const QString& NewValue)
{
    d->m_CaFile = NewValue;
}

void clsSendMail::setMXResolver(modMXQuery& resolver)
{
    d->m_mx = &resolver;
}

const modMXQuery& clsSendMail::mxResolver() const
{
    return *d->m_mx;
}

QStringList clsSendMail::ErrorList() const
{
    return d->m_ErrorList;
}

QString clsSendMail::LastResult() const
{
    return d->m_LastResult;
}

bool clsSendMail::SentOk() const
{
    return d->m_SentOk;
}

bool clsSendMail::EightBitMessage() const
{
    return d->m.EightBitMessage;
}

void clsSendMail::setEightBitMessage(bool NewValue)
{
    d->m.EightBitMessage = NewValue;
}

QString clsSendMail::PriorityText() const
{
    return d->m.PriorityText;
}

QString clsSendMail::TimeZoneOffset() const
{
    return d->m_TimeZoneOffset;
}

qint32 clsSendMail::AttachmentCount() const
{
    return qint32(d->m.AttachmentPaths.size());
}

const MailMessage& clsSendMail::message() const
{
    return d->m;
}

// ---- setters

void clsSendMail::setAttachment(const QString& NewValue)
{
    d->m.AttachmentPaths = d->split(NewValue);
    d->m.AttachmentBytes = 0;
    d->m.AttachmentNameChars = 0;
    d->m.AttachmentNames.clear();
    d->m.AttachmentEmbedded.clear();
    d->RemoveError(AttachmentError);
    const qsizetype count = d->m.AttachmentPaths.size();
    if (count == 0)
        return;
    d->m.AttachmentNames.resize(count);
    d->m.AttachmentEmbedded.fill(false, count);
    for (qsizetype i = 0; i < count; ++i) {
        const QString& path = d->m.AttachmentPaths[i];
        const QFileInfo file(path);
        if (!file.exists() || file.isDir()) {
            d->AddError(AttachmentError);
            return;
        }
        // Either separator: paths written on either platform name their file.
        const qsizetype slash =
            std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
        d->m.AttachmentNames[i] = path.mid(slash + 1);
        d->m.AttachmentBytes += file.size();
        d->m.AttachmentNameChars += d->m.AttachmentNames[i].size();
    }
}

void clsSendMail::setBccRecipient(const QString& NewValue)
{
    d->m_raw[internal::what::BccAddress] = d->split(NewValue);
    d->m.BccRecipient = CleanList(d->split(NewValue));
    ValidateAddressList(*d, NewValue, BccError);
}

void clsSendMail::setCcDisplayName(const QString& NewValue)
{
    d->m_raw[internal::what::CcName] = d->split(NewValue);
    d->m.CcDisplayName = CleanList(d->split(NewValue));
}

void clsSendMail::setCcRecipient(const QString& NewValue)
{
    d->m_raw[internal::what::CcAddress] = d->split(NewValue);
    d->m.CcRecipient = CleanList(d->split(NewValue));
    ValidateAddressList(*d, NewValue, CcError);
}

void clsSendMail::setConnectRetry(qint32 NewValue)
{
    if (NewValue >= 1 && NewValue <= 20)
        d->m_ConnectRetry = NewValue;
    d->WriteSetting(QStringLiteral("ConnectRetry"), QString::number(NewValue));
}

void clsSendMail::setConnectTimeout(qint32 NewValue)
{
    if (NewValue >= 1 && NewValue <= 120)
        d->m_ConnectTimeout = NewValue;
    d->WriteSetting(QStringLiteral("ConnectTimeout"), QString::number(NewValue));
}

void clsSendMail::setContentBase(const QString& NewValue)
{
    if (NewValue.isEmpty()) {
        d->m.ContentBase.clear();
        return;
    }
    QString base = NewValue;
    base.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (!base.contains(QStringLiteral("http://"), Qt::CaseInsensitive))
        base.prepend(QStringLiteral("http://"));
    if (!base.endsWith(QLatin1Char('/')))
        base += QLatin1Char('/');
    d->m.ContentBase = base;
}

void clsSendMail::setDelimiter(const QString& NewValue)
{
    d->m_Delimiter = NewValue.left(1);
}

void clsSendMail::setEmailAddressValidation(qint32 NewValue)
{
    d->m_EmailAddressValidation = NewValue;
    d->WriteSetting(QStringLiteral("EmailValidation"), QString::number(NewValue));
}

void clsSendMail::setEncodeType(qint32 NewValue)
{
    d->m.EncodeType = NewValue;
    d->WriteSetting(QStringLiteral("EncodeType"), QString::number(NewValue));
}

void clsSendMail::setFrom(const QString& NewValue)
{
    d->m_raw[internal::what::SenderAddress] = QStringList{NewValue};
    d->m.from = NewValue.trimmed();
    ValidateAddressList(*d, NewValue, SenderError);
    d->WriteSetting(QStringLiteral("From"), NewValue);
}

void clsSendMail::setFromDisplayName(const QString& NewValue)
{
    d->m_raw[internal::what::SenderName] = QStringList{NewValue};
    d->m.FromDisplayName = NewValue.trimmed();
    d->WriteSetting(QStringLiteral("FromDisplayName"), NewValue);
}

void clsSendMail::setMessage(const QString& NewValue)
{
    d->m.Message = PrepareMessage(NewValue);
    d->m.EightBitMessage = std::any_of(d->m.Message.begin(), d->m.Message.end(),
                                       [](QChar c) { return c.unicode() > 126; });
}

void clsSendMail::setMessageTimeout(qint32 NewValue)
{
    d->m_MessageTimeout = NewValue == std::numeric_limits<qint32>::min()
                              ? std::numeric_limits<qint32>::max()
                              : std::abs(NewValue);
    d->WriteSetting(QStringLiteral("MessageTimeout"), QString::number(NewValue));
}

void clsSendMail::setPersistentSettings(bool NewValue)
{
    d->m_PersistentSettings = NewValue;
    d->WriteSetting(QStringLiteral("PersistentSettings"), flag(NewValue));
}

void clsSendMail::setPriority(qint32 NewValue)
{
    d->m.Priority = NewValue;
    if (NewValue == 1)
        d->m.PriorityText = QStringLiteral("High");
    else if (NewValue == 3)
        d->m.PriorityText = QStringLiteral("Normal");
    else if (NewValue == 5)
        d->m.PriorityText = QStringLiteral("Low");
}

void clsSendMail::setRecipient(const QString& NewValue)
{
    d->m_raw[internal::what::RecipientAddress] = d->split(NewValue);
    d->m.Recipient = CleanList(d->split(NewValue));
    ValidateAddressList(*d, NewValue, RecipientError);
}

void clsSendMail::setRecipientDisplayName(const QString& NewValue)
{
    d->m_raw[internal::what::RecipientName] = d->split(NewValue);
    d->m.RecipientDisplayName = CleanList(d->split(NewValue));
}

void clsSendMail::setPOP3Host(QString& NewValue)
{
    if (!hostAccepted(*d, NewValue)) {
        d->AddError(Pop3HostError);
        return;
    }
    d->m_POP3Host = QString(NewValue).remove(QChar(0));
    d->WriteSetting(QStringLiteral("Pop3Host"), d->m_POP3Host);
    d->RemoveError(Pop3HostError);
}

void clsSendMail::setPOP3Host(const QString& NewValue)
{
    QString value = NewValue;
    setPOP3Host(value);
}

void clsSendMail::setSMTPHost(QString& NewValue)
{
    if (!hostAccepted(*d, NewValue)) {
        d->AddError(SmtpHostError);
        return;
    }
    d->m_SMTPHost = QString(NewValue).remove(QChar(0));
    d->WriteSetting(QStringLiteral("RemoteHost"), d->m_SMTPHost);
    d->RemoveError(SmtpHostError);
}

void clsSendMail::setSMTPHost(const QString& NewValue)
{
    QString value = NewValue;
    setSMTPHost(value);
}

void clsSendMail::setSMTPHostValidation(qint32 NewValue)
{
    d->m_SMTPHostValidation = NewValue;
    d->WriteSetting(QStringLiteral("SMTPHostValidation"), QString::number(NewValue));
    if (!d->m_SMTPHost.isEmpty()) {
        QString host = d->m_SMTPHost;
        setSMTPHost(host);
    }
}

void clsSendMail::setSMTPPort(qint32 NewValue)
{
    if (NewValue < 1 || NewValue > 65535) {
        d->AddError(PortError);
        return;
    }
    d->m_SMTPPort = NewValue;
    d->WriteSetting(QStringLiteral("RemotePort"), QString::number(NewValue));
    d->RemoveError(PortError);
}

void clsSendMail::setUseAuthentication(bool NewValue)
{
    d->m_UseAuthentication = NewValue;
    d->WriteSetting(QStringLiteral("UseAuthentication"), flag(NewValue));
}

void clsSendMail::setUsePopAuthentication(bool NewValue)
{
    d->m_UsePopAuthentication = NewValue;
    d->WriteSetting(QStringLiteral("UsePopAuthentication"), flag(NewValue));
}

void clsSendMail::setUsername(const QString& NewValue)
{
    d->m_Username = NewValue;
    d->WriteSetting(QStringLiteral("Username"), NewValue);
}

// ---- methods

bool clsSendMail::Clear()
{
    d->m.AttachmentPaths.clear();
    d->m.AttachmentNames.clear();
    d->m.BccRecipient.clear();
    d->m.CcRecipient.clear();
    d->m.CcDisplayName.clear();
    d->m.Recipient.clear();
    d->m.RecipientDisplayName.clear();
    d->m.from.clear();
    d->m.FromDisplayName.clear();
    d->m.Message.clear();
    d->m.ReplyToAddress.clear();
    d->m.Subject.clear();
    d->m_raw.clear();
    d->m.AttachmentNameChars = 0;
    d->m.AttachmentBytes = 0;
    d->m.Priority = 3;
    d->m_Delimiter = QStringLiteral(";");
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
    return d->m_pinger.Ping(Address, RoundTripTime, DataSize, DataMatch);
}

QString clsSendMail::DecodeBase64String(const QString& str2Decode) const
{
    return mail::DecodeBase64String(str2Decode);
}

void clsSendMail::setReplyToAddress(const QString& NewValue)
{
    d->m_raw[internal::what::ReplyToAddress] = QStringList{NewValue};
    d->m.ReplyToAddress = NewValue.trimmed();
}

// ---- the session

void clsSendMail::Send()
{
    d->send();
}

bool clsSendMail::Connect()
{
    return d->connect();
}

void clsSendMail::Disconnect()
{
    d->disconnect();
}

QString clsSendMail::MXQuery(const QString& IPDomain)
{
    return d->mxQuery(IPDomain);
}

bool clsSendMail::writeMessage(MessageWriter& out)
{
    return d->writeMessage(out);
}

} // namespace mail
