#pragma once

#include "platform/Env.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

namespace mail {

class MessageWriter;
class modMXQuery;
struct MailMessage;
namespace internal {
class Session;
}

// The mail sender component. A caller sets its properties, sends, and hears
// the outcome through its signals. It never throws: a rejected setting or a
// failure becomes a text in ErrorList, and the texts reach the caller through
// SendFailed. Needs a QCoreApplication.
//
// List properties (the recipients, display names and attachments) are read
// and written as one text whose elements are separated by Delimiter.
// Settings marked "stored" are written to the settings store (application
// "Briefbode", section "Settings") while PersistentSettings is on, and loaded
// from it by the next instance.
class clsSendMail : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool AsHTML READ AsHTML WRITE setAsHTML)
    Q_PROPERTY(QString Attachment READ Attachment WRITE setAttachment)
    Q_PROPERTY(QString BccRecipient READ BccRecipient WRITE setBccRecipient)
    Q_PROPERTY(QString CcDisplayName READ CcDisplayName WRITE setCcDisplayName)
    Q_PROPERTY(QString CcRecipient READ CcRecipient WRITE setCcRecipient)
    Q_PROPERTY(qint32 ConnectRetry READ ConnectRetry WRITE setConnectRetry)
    Q_PROPERTY(qint32 ConnectTimeout READ ConnectTimeout WRITE setConnectTimeout)
    Q_PROPERTY(QString ContentBase READ ContentBase WRITE setContentBase)
    Q_PROPERTY(QString Delimiter READ Delimiter WRITE setDelimiter)
    Q_PROPERTY(
        qint32 EmailAddressValidation READ EmailAddressValidation WRITE setEmailAddressValidation)
    Q_PROPERTY(qint32 EncodeType READ EncodeType WRITE setEncodeType)
    Q_PROPERTY(QString from READ from WRITE setFrom)
    Q_PROPERTY(QString FromDisplayName READ FromDisplayName WRITE setFromDisplayName)
    Q_PROPERTY(QString Hallo READ Hallo WRITE setHallo)
    Q_PROPERTY(QString Message READ Message WRITE setMessage)
    Q_PROPERTY(qint32 MessageTimeout READ MessageTimeout WRITE setMessageTimeout)
    Q_PROPERTY(QString Password READ Password WRITE setPassword)
    Q_PROPERTY(bool PersistentSettings READ PersistentSettings WRITE setPersistentSettings)
    Q_PROPERTY(qint32 Priority READ Priority WRITE setPriority)
    Q_PROPERTY(QString XMailer READ XMailer WRITE setXMailer)
    Q_PROPERTY(bool Receipt READ Receipt WRITE setReceipt)
    Q_PROPERTY(QString Recipient READ Recipient WRITE setRecipient)
    Q_PROPERTY(QString RecipientDisplayName READ RecipientDisplayName WRITE setRecipientDisplayName)
    Q_PROPERTY(QString ReplyToAddress READ ReplyToAddress WRITE setReplyToAddress)
    Q_PROPERTY(QString POP3Host READ POP3Host WRITE setPOP3Host)
    Q_PROPERTY(QString SMTPHost READ SMTPHost WRITE setSMTPHost)
    Q_PROPERTY(qint32 SMTPHostValidation READ SMTPHostValidation WRITE setSMTPHostValidation)
    Q_PROPERTY(qint32 SMTPPort READ SMTPPort WRITE setSMTPPort)
    Q_PROPERTY(QString Subject READ Subject WRITE setSubject)
    Q_PROPERTY(bool UseAuthentication READ UseAuthentication WRITE setUseAuthentication)
    Q_PROPERTY(bool UsePopAuthentication READ UsePopAuthentication WRITE setUsePopAuthentication)
    Q_PROPERTY(QString Username READ Username WRITE setUsername)
    Q_PROPERTY(bool StartTls READ StartTls WRITE setStartTls)
    Q_PROPERTY(QString CaFile READ CaFile WRITE setCaFile)

public:
    // Loads the stored settings when persistence is on; takes the time zone
    // offset of the Date line from env.day. `env` must outlive the instance.
    // Each instance has a connection of its own.
    explicit clsSendMail(const platform::Env& env, QObject* parent = nullptr);
    // Ends an open connection with QUIT.
    ~clsSendMail() override;

    bool AsHTML() const;
    void setAsHTML(bool NewValue);
    // Paths; an element that is not an existing file records "The file you
    // tried to attach does not exist" and stops the examination there.
    QString Attachment() const;
    void setAttachment(const QString& NewValue);
    QString BccRecipient() const;
    void setBccRecipient(const QString& NewValue);
    QString CcDisplayName() const;
    void setCcDisplayName(const QString& NewValue);
    QString CcRecipient() const;
    void setCcRecipient(const QString& NewValue);
    // Stored as given; applied only from 1 to 20.
    qint32 ConnectRetry() const;
    void setConnectRetry(qint32 NewValue);
    // Seconds. Stored as given; applied only from 1 to 120.
    qint32 ConnectTimeout() const;
    void setConnectTimeout(qint32 NewValue);
    // Forward slashes, "http://" when no such prefix is in it, a final "/".
    QString ContentBase() const;
    void setContentBase(const QString& NewValue);
    // Keeps the first character only.
    QString Delimiter() const;
    void setDelimiter(const QString& NewValue);
    // 1: check every address; anything else: no checks. Stored.
    qint32 EmailAddressValidation() const;
    void setEmailAddressValidation(qint32 NewValue);
    // 0 MIME, 1 uuencode. Stored.
    qint32 EncodeType() const;
    void setEncodeType(qint32 NewValue);
    // Trimmed; stored untrimmed.
    QString from() const;
    void setFrom(const QString& NewValue);
    QString FromDisplayName() const;
    void setFromDisplayName(const QString& NewValue);
    QString Hallo() const;
    void setHallo(const QString& NewValue);
    // Read back as prepared for sending (PrepareMessage).
    QString Message() const;
    void setMessage(const QString& NewValue);
    // Seconds; the absolute value is applied, the given one stored.
    qint32 MessageTimeout() const;
    void setMessageTimeout(qint32 NewValue);
    // Never stored.
    QString Password() const;
    void setPassword(const QString& NewValue);
    bool PersistentSettings() const;
    void setPersistentSettings(bool NewValue);
    // 1 "High", 3 "Normal", 5 "Low"; other values keep the PriorityText.
    qint32 Priority() const;
    void setPriority(qint32 NewValue);
    QString XMailer() const;
    void setXMailer(const QString& NewValue);
    bool Receipt() const;
    void setReceipt(bool NewValue);
    QString Recipient() const;
    void setRecipient(const QString& NewValue);
    QString RecipientDisplayName() const;
    void setRecipientDisplayName(const QString& NewValue);
    QString ReplyToAddress() const;
    void setReplyToAddress(const QString& NewValue);
    // The host setters drop NUL characters (also from the caller's variable)
    // and check the host at level SMTPHostValidation: 1 IsValidHostName, 2
    // Ping (the variable then holds the address that answered), 3
    // GetIPAddress (the variable then holds the trimmed name and a NUL; the
    // property keeps the name). A rejected host keeps the old value.
    QString POP3Host() const;
    void setPOP3Host(QString& NewValue);
    void setPOP3Host(const QString& NewValue);
    QString SMTPHost() const;
    void setSMTPHost(QString& NewValue);
    void setSMTPHost(const QString& NewValue);
    // Stored; a set SMTPHost is checked again at the new level.
    qint32 SMTPHostValidation() const;
    void setSMTPHostValidation(qint32 NewValue);
    // 1 to 65535, stored; anything else records "Invalid Remote Port".
    qint32 SMTPPort() const;
    void setSMTPPort(qint32 NewValue);
    QString Subject() const;
    void setSubject(const QString& NewValue);
    bool UseAuthentication() const;
    void setUseAuthentication(bool NewValue);
    bool UsePopAuthentication() const;
    void setUsePopAuthentication(bool NewValue);
    QString Username() const;
    void setUsername(const QString& NewValue);
    // After EHLO, upgrade the connection to TLS (the server's certificate
    // checked against the system's authorities and CaFile) and greet again;
    // a server that does not offer it fails the send before any log-in.
    bool StartTls() const;
    void setStartTls(bool NewValue);
    // The POP3 server's port for UsePopAuthentication; not stored.
    qint32 POP3Port() const;
    void setPOP3Port(qint32 NewValue);
    // A PEM file of further certificate authorities for StartTls; "" none.
    QString CaFile() const;
    void setCaFile(const QString& NewValue);

    // Sends the message the properties describe: opens the session (unless
    // Connect left one open), sends, and closes it again. The outcome comes
    // only as SendSuccesful or SendFailed; status, Progress and DebugPrint
    // report on the way. Returns when the send has ended.
    void Send();
    // Opens the session and keeps it open for the following sends. True when
    // it is open; otherwise SendFailed has been raised (or, for a failure of
    // the program itself, nothing).
    bool Connect();
    // Ends the session Connect opened (QUIT).
    void Disconnect();
    // The best mail exchanger of the domain (trimmed; empty: the host's own
    // domain), or "" with the reason as a status text.
    QString MXQuery(const QString& IPDomain = {});
    // Makes MXQuery use `resolver` (which must outlive the instance) instead
    // of the instance's own lookup.
    void setMXResolver(modMXQuery& resolver);
    // The lookup MXQuery uses, with the error its last lookup recorded.
    const modMXQuery& mxResolver() const;

    QString GetContentType(const QString& strFile, const QString& strDefault = {}) const;
    QString GetIPAddress(QString& sHostName);
    QString GetIPHost();
    bool IsValidEmailAddress(const QString& AddressString) const;
    bool Ping(QString& Address, QString& RoundTripTime, QString& DataSize, bool& DataMatch);
    QString DecodeBase64String(const QString& str2Decode) const;

    // The pending error texts, oldest first.
    QStringList ErrorList() const;
    // "OK" after a successful send, else the last failure's text.
    QString LastResult() const;
    bool SentOk() const;
    // The prepared Message holds a byte above 126; recomputed by setMessage.
    bool EightBitMessage() const;
    // Declares the body 8bit whatever it holds, until the next setMessage.
    void setEightBitMessage(bool NewValue);
    QString PriorityText() const;
    QString TimeZoneOffset() const;
    qint32 AttachmentCount() const;
    // The message the properties compose (described in mail/Composition.h).
    const MailMessage& message() const;

    // Runs the checks a send makes before it connects, then writes the
    // message stream (headers to the final ".") to `out`, as a send does
    // after the server's 354 reply. Returns true when the whole stream was
    // written; otherwise SendFailed has been raised with the error texts.
    bool writeMessage(MessageWriter& out);

    // ---- kept interface: callers of the component use these names, whose
    // results carry nothing.
    // Empties the message (addresses, names, attachments, texts), Priority 3,
    // Delimiter ";"; server settings and the store stay. Always false.
    bool Clear();
    // Does nothing.
    void Shutdown() {}

signals:
    void SendSuccesful();
    void SendFailed(const QString& Explanation);
    void status(const QString& status);
    void Progress(int PercentComplete);
    void DebugPrint(const QString& txt);

private:
    std::unique_ptr<internal::Session> d;
};

} // namespace mail
