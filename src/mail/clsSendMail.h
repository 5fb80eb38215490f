#pragma once

#include "mail/Composition.h"
#include "platform/Env.h"

#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class QSslSocket;
class QTcpSocket;

namespace mail {

class modMXQuery;
namespace internal {
struct Reply;
class ReplyAssembler;
} // namespace internal

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

    bool AsHTML() const { return m.AsHTML; }
    void setAsHTML(bool NewValue) { m.AsHTML = NewValue; }
    // Paths; an element that is not an existing file records "The file you
    // tried to attach does not exist" and stops the examination there.
    QString Attachment() const { return joined(m.AttachmentPaths); }
    void setAttachment(const QString& NewValue);
    QString BccRecipient() const { return joined(m.BccRecipient); }
    void setBccRecipient(const QString& NewValue);
    QString CcDisplayName() const { return joined(m.CcDisplayName); }
    void setCcDisplayName(const QString& NewValue);
    QString CcRecipient() const { return joined(m.CcRecipient); }
    void setCcRecipient(const QString& NewValue);
    // Stored as given; applied only from 1 to 20.
    qint32 ConnectRetry() const { return m_ConnectRetry; }
    void setConnectRetry(qint32 NewValue);
    // Seconds. Stored as given; applied only from 1 to 120.
    qint32 ConnectTimeout() const { return m_ConnectTimeout; }
    void setConnectTimeout(qint32 NewValue);
    // Forward slashes, "http://" when no such prefix is in it, a final "/".
    QString ContentBase() const { return m.ContentBase; }
    void setContentBase(const QString& NewValue);
    // Keeps the first character only.
    QString Delimiter() const { return m_Delimiter; }
    void setDelimiter(const QString& NewValue);
    // 1: check every address; anything else: no checks. Stored.
    qint32 EmailAddressValidation() const { return m_EmailAddressValidation; }
    void setEmailAddressValidation(qint32 NewValue);
    // 0 MIME, 1 uuencode. Stored.
    qint32 EncodeType() const { return m.EncodeType; }
    void setEncodeType(qint32 NewValue);
    // Trimmed; stored untrimmed.
    QString from() const { return m.from; }
    void setFrom(const QString& NewValue);
    QString FromDisplayName() const { return m.FromDisplayName; }
    void setFromDisplayName(const QString& NewValue);
    QString Hallo() const { return m_Hallo; }
    void setHallo(const QString& NewValue) { m_Hallo = NewValue; }
    // Read back as prepared for sending (PrepareMessage).
    QString Message() const { return m.Message; }
    void setMessage(const QString& NewValue);
    // Seconds; the absolute value is applied, the given one stored.
    qint32 MessageTimeout() const { return m_MessageTimeout; }
    void setMessageTimeout(qint32 NewValue);
    // Never stored.
    QString Password() const { return m_Password; }
    void setPassword(const QString& NewValue) { m_Password = NewValue; }
    bool PersistentSettings() const { return m_PersistentSettings; }
    void setPersistentSettings(bool NewValue);
    // 1 "High", 3 "Normal", 5 "Low"; other values keep the PriorityText.
    qint32 Priority() const { return m.Priority; }
    void setPriority(qint32 NewValue);
    QString XMailer() const { return m.XMailer; }
    void setXMailer(const QString& NewValue) { m.XMailer = NewValue; }
    bool Receipt() const { return m.Receipt; }
    void setReceipt(bool NewValue) { m.Receipt = NewValue; }
    QString Recipient() const { return joined(m.Recipient); }
    void setRecipient(const QString& NewValue);
    QString RecipientDisplayName() const { return joined(m.RecipientDisplayName); }
    void setRecipientDisplayName(const QString& NewValue);
    QString ReplyToAddress() const { return m.ReplyToAddress; }
    void setReplyToAddress(const QString& NewValue);
    // The host setters drop NUL characters (also from the caller's variable)
    // and check the host at level SMTPHostValidation: 1 IsValidHostName, 2
    // Ping (the variable then holds the address that answered), 3
    // GetIPAddress (the variable then holds the trimmed name and a NUL; the
    // property keeps the name). A rejected host keeps the old value.
    QString POP3Host() const { return m_POP3Host; }
    void setPOP3Host(QString& NewValue);
    void setPOP3Host(const QString& NewValue);
    QString SMTPHost() const { return m_SMTPHost; }
    void setSMTPHost(QString& NewValue);
    void setSMTPHost(const QString& NewValue);
    // Stored; a set SMTPHost is checked again at the new level.
    qint32 SMTPHostValidation() const { return m_SMTPHostValidation; }
    void setSMTPHostValidation(qint32 NewValue);
    // 1 to 65535, stored; anything else records "Invalid Remote Port".
    qint32 SMTPPort() const { return m_SMTPPort; }
    void setSMTPPort(qint32 NewValue);
    QString Subject() const { return m.Subject; }
    void setSubject(const QString& NewValue) { m.Subject = NewValue; }
    bool UseAuthentication() const { return m_UseAuthentication; }
    void setUseAuthentication(bool NewValue);
    bool UsePopAuthentication() const { return m_UsePopAuthentication; }
    void setUsePopAuthentication(bool NewValue);
    QString Username() const { return m_Username; }
    void setUsername(const QString& NewValue);
    // After EHLO, upgrade the connection to TLS (the server's certificate
    // checked against the system's authorities and CaFile) and greet again;
    // a server that does not offer it fails the send before any log-in.
    bool StartTls() const { return m_StartTls; }
    void setStartTls(bool NewValue) { m_StartTls = NewValue; }
    // The POP3 server's port for UsePopAuthentication; not stored.
    qint32 POP3Port() const { return m_POP3Port; }
    void setPOP3Port(qint32 NewValue) { m_POP3Port = quint16(qBound(1, NewValue, 65535)); }
    // A PEM file of further certificate authorities for StartTls; "" none.
    QString CaFile() const { return m_CaFile; }
    void setCaFile(const QString& NewValue) { m_CaFile = NewValue; }

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
    // The lookup MXQuery uses; the process's one unless replaced.
    void setMXResolver(modMXQuery& resolver) { m_mx = &resolver; }

    // Empties the message (addresses, names, attachments, texts), Priority 3,
    // Delimiter ";"; server settings and the store stay. Always false.
    bool Clear();
    // Does nothing.
    void Shutdown() {}

    QString GetContentType(const QString& strFile, const QString& strDefault = {}) const;
    QString GetIPAddress(QString& sHostName);
    QString GetIPHost();
    bool IsValidEmailAddress(const QString& AddressString) const;
    bool Ping(QString& Address, QString& RoundTripTime, QString& DataSize, bool& DataMatch);
    QString DecodeBase64String(const QString& str2Decode) const;

    // The pending error texts, oldest first.
    QStringList ErrorList() const { return m_ErrorList; }
    // "OK" after a successful send, else the last failure's text.
    QString LastResult() const { return m_LastResult; }
    bool SentOk() const { return m_SentOk; }
    // The prepared Message holds a byte above 126; recomputed by setMessage.
    bool EightBitMessage() const { return m.EightBitMessage; }
    // Declares the body 8bit whatever it holds, until the next setMessage.
    void setEightBitMessage(bool NewValue) { m.EightBitMessage = NewValue; }
    QString PriorityText() const { return m.PriorityText; }
    QString TimeZoneOffset() const { return m_TimeZoneOffset; }
    qint32 AttachmentCount() const { return qint32(m.AttachmentPaths.size()); }
    const MailMessage& message() const { return m; }

    // Runs the checks a send makes before it connects, then writes the
    // message stream (headers to the final ".") to `out`, as a send does
    // after the server's 354 reply. Returns true when the whole stream was
    // written; otherwise SendFailed has been raised with the error texts.
    bool writeMessage(MessageWriter& out);

signals:
    void SendSuccesful();
    void SendFailed(const QString& Explanation);
    void status(const QString& status);
    void Progress(int PercentComplete);
    void DebugPrint(const QString& txt);

private:
    void AddError(const QString& text);
    void RemoveError(const QString& text);
    void RaiseFailure();
    QString ReadSetting(const QString& key, const QString& defaultValue) const;
    qint32 ReadNumber(const QString& key, qint32 defaultValue) const;
    void WriteSetting(const QString& key, const QString& value);
    void ValidateAddressList(const QString& value, const QString& errorText);
    QStringList split(const QString& text) const;
    QString joined(const QStringList& list) const { return list.join(m_Delimiter); }
    bool hostAccepted(QString& value);
    bool prepareSend(SendValues& values);
    // The refusals of texts that would reach a command or header line with
    // a control character (or, in an address, a blank, "<" or ">").
    QStringList unsafeMessageTexts() const;
    QStringList unsafeSessionTexts() const;

    // The session: SMTP in SmtpSession.cpp, the POP3 log-in in
    // Pop3Session.cpp. Each is a state machine: a command is sent and the
    // step recorded; the reply assembler hands each whole reply to the
    // handler of the current step, which sends the next command. The caller's
    // thread waits cooperatively (runSession) until the wanted step is
    // reached, a failure was recorded, or the step's time has run out.
    enum class SmtpStep
    {
        Closed,       // no SMTP session
        Greeting,     // connected, awaiting 220
        Hello,        // EHLO/HELO sent (again after TLS)
        StartTls,     // STARTTLS sent
        Handshake,    // TLS handshake under way
        AuthLogin,    // AUTH LOGIN sent
        AuthUser,     // user name sent
        AuthPassword, // password sent
        AuthPlain,    // AUTH PLAIN with its credentials sent
        AuthCancel,   // an unknown prompt cancelled with "*"
        Ready,        // open, no transaction
        Mail,         // MAIL FROM sent
        Recipient,    // a RCPT TO sent
        Data,         // DATA sent
        Body,         // the message stream is being written
        EndOfData,    // the final "." written
        Quit,         // QUIT sent
    };
    enum class Pop3Step
    {
        Closed,
        Greeting,
        Stls,
        Handshake,
        User,
        Pass,
        Quit,
        Done
    };

    class SessionWriter;
    bool OpenSession();
    bool openSession();
    void CloseSession();
    bool WaitForFlag(const bool& flag, qint32 seconds, bool timeoutIsError);
    template <typename Done> bool waitUntil(Done done, double seconds, bool timeoutIsError);
    bool runSession(const std::function<bool()>& done, bool closing = false);
    void setStep(SmtpStep step, qint32 seconds);
    void setPop3Step(Pop3Step step);
    bool stepExpired() const;
    void stepTimedOut();
    void TimeoutFailure();
    void recordFailure(const QString& text);
    void raisePendingFailure();
    qint64 EstimateTransferSize() const;
    bool connectAttempts(const QString& host, quint16 port);
    bool configureTls(const QString& peerName);
    void sendCommand(const QString& command, bool traced = true);
    void sendHello();
    void sendRecipient();
    void useSocket(bool tls);
    QSslSocket* tlsSocket() const;
    bool socketClosed() const;
    bool socketConnected() const;
    void closeSocket();
    void sendRun();
    bool pop3LogIn();
    void readReplies();
    void smtpReply(const internal::Reply& reply);
    void pop3Reply(const internal::Reply& reply);
    void helloAnswered(const internal::Reply& reply);
    void authReply(const internal::Reply& reply);
    void encryptionStarted();
    void socketError(int qtError, const QString& description);
    void bytesWritten(qint64 bytes);
    qint32 messageTimeout() const;
    qint32 connectTimeout() const;

    platform::Env m_env;
    MailMessage m;
    QStringList m_ErrorList;
    QString m_LastResult;
    bool m_SentOk = false;
    bool m_AbortFlag = false;
    QString m_Delimiter = QStringLiteral(";");
    QString m_Hallo;
    QString m_Password;
    QString m_Username;
    QString m_POP3Host;
    QString m_SMTPHost;
    qint32 m_SMTPPort = 25;
    qint32 m_SMTPHostValidation = 3;
    qint32 m_EmailAddressValidation = 1;
    qint32 m_ConnectTimeout = 30;
    qint32 m_MessageTimeout = 60;
    qint32 m_ConnectRetry = 4;
    bool m_UseAuthentication = false;
    bool m_UsePopAuthentication = false;
    bool m_PersistentSettings = false;
    bool m_StartTls = false;
    QString m_CaFile;
    quint16 m_POP3Port = 110;
    QString m_TimeZoneOffset;
    // The address and name texts as given, before the setters cleaned them,
    // by what they are ("a Recipient address").
    QMap<QString, QStringList> m_raw;

    // Session state.
    QTcpSocket* m_socket = nullptr; // a QSslSocket when StartTls
    modMXQuery* m_mx = nullptr;
    std::unique_ptr<internal::ReplyAssembler> m_replies;
    SmtpStep m_step = SmtpStep::Closed;
    Pop3Step m_pop3Step = Pop3Step::Closed;
    double m_stepStart = 0;   // day clock: the step began, or the data last moved
    qint32 m_stepSeconds = 0; // the step's time
    quint64 m_stepSerial = 0; // counts steps, so a wait can see one pass
    QStringList m_recipientsLeft;
    bool m_Connected = false;
    bool m_KeepOpen = false;
    bool m_AuthEqualsLogin = false;
    bool m_LoginOffered = false;
    bool m_PlainOffered = false;
    bool m_StartTlsOffered = false;
    bool m_Encrypted = false;
    bool m_socketFailed = false;
    bool m_probing = false;        // within the socket's own short wait for progress
    bool m_failurePending = false; // texts recorded by a handler, not yet raised
    bool m_loginRefused = false;   // the failure pending is a refused log-in
    qint64 m_BytesSent = 0;
    qint64 m_TotalEstimate = 0;
    int m_lastPercent = -1;
};

} // namespace mail
