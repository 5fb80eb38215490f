#pragma once

#include "mail/Composition.h"
#include "mail/HostLookup.h"
#include "mail/modMXQuery.h"
#include "platform/Env.h"

#include <QMap>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class QSslSocket;
class QTcpSocket;

namespace mail {

class clsSendMail;

namespace internal {

struct Reply;
class ReplyAssembler;

// What lies behind clsSendMail: the values of its properties, the message
// they compose, the error list, and the SMTP/POP3 session. The component
// keeps one and forwards to it; the session speaks to the caller through
// the component's signals.
//
// The session: SMTP in SmtpSession.cpp, the POP3 log-in in Pop3Session.cpp.
// Each is a state machine: a command is sent and the step recorded; the reply
// assembler hands each whole reply to the handler of the current step, which
// sends the next command. The caller's thread waits cooperatively
// (runSession) until the wanted step is reached, a failure was recorded, or
// the step's time has run out.
class Session
{
public:
    Session(clsSendMail& front, const platform::Env& env);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // ---- the error list and the failure that reports it
    void AddError(const QString& text);
    void RemoveError(const QString& text);
    void RaiseFailure();

    // ---- the settings store
    QString ReadSetting(const QString& key, const QString& defaultValue) const;
    qint32 ReadNumber(const QString& key, qint32 defaultValue) const;
    void WriteSetting(const QString& key, const QString& value);

    // ---- composing
    QStringList split(const QString& text) const;
    QString joined(const QStringList& list) const { return list.join(m_Delimiter); }
    bool prepareSend(SendValues& values);
    // The refusals of texts that would reach a command or header line with
    // a control character (or, in an address, a blank, "<" or ">").
    QStringList unsafeMessageTexts() const;
    QStringList unsafeSessionTexts() const;
    bool writeMessage(MessageWriter& out);

    // ---- the session's entry points
    void send();
    bool connect();
    void disconnect();
    QString mxQuery(const QString& IPDomain);

    // ---- state
    clsSendMail& q;
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
    modMXQuery m_ownResolver;
    modMXQuery* m_mx = &m_ownResolver; // the MX lookup in use
    Pinger m_pinger{m_env};

private:
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
    bool waitForConnection(qint32 seconds);
    bool runSession(const std::function<bool()>& done, bool closing = false);
    void setStep(SmtpStep step, qint32 seconds);
    void setPop3Step(Pop3Step step);
    bool stepExpired() const;
    void stepTimedOut();
    void TimeoutFailure();
    void loginFailure();
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
    void smtpReply(const Reply& reply);
    void pop3Reply(const Reply& reply);
    void helloAnswered(const Reply& reply);
    void authReply(const Reply& reply);
    void encryptionStarted();
    void socketError(int qtError, const QString& description);
    void bytesWritten(qint64 bytes);
    qint32 messageTimeout() const;
    qint32 connectTimeout() const;

    QTcpSocket* m_socket = nullptr; // a QSslSocket when StartTls
    std::unique_ptr<ReplyAssembler> m_replies;
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

} // namespace internal
} // namespace mail
