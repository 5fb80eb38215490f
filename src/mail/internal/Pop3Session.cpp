// The POP3 log-in before SMTP, as a state machine of its own: greeting,
// STLS and the TLS handshake when the connection must be encrypted, USER,
// PASS, QUIT. Each line the server sends is one reply.
#include "mail/internal/Session.h"

#include "mail/clsSendMail.h"
#include "mail/internal/ReplyAssembler.h"
#include "mail/internal/Texts.h"

#include <QScopeGuard>
#include <QSslSocket>

namespace mail::internal {

void Session::setPop3Step(Pop3Step step)
{
    m_pop3Step = step;
    // The whole dialogue shares one connection's time, step by step.
    m_stepSeconds = connectTimeout();
    m_stepStart = m_env.day->Timer();
    ++m_stepSerial;
}

bool Session::pop3LogIn()
{
    emit q.status(QStringLiteral("Connecting to POP3 Server (") + m_POP3Host +
                  QStringLiteral(")..."));
    m_AbortFlag = false;
    m_failurePending = m_loginRefused = false;
    m_Connected = false;
    m_Encrypted = false;
    if (m_POP3Host.isEmpty()) {
        AddError(Pop3HostError);
        RaiseFailure();
        return false;
    }
    useSocket(m_StartTls);
    m_replies->setMode(internal::ReplyAssembler::Mode::Pop3);
    m_replies->clear();
    setPop3Step(Pop3Step::Greeting);
    const auto over = qScopeGuard([this] {
        m_pop3Step = Pop3Step::Closed;
        closeSocket();
    });
    if (!connectAttempts(m_POP3Host, m_POP3Port))
        return false;
    setPop3Step(m_pop3Step);
    // A dialogue that never finished is no log-in.
    if (!runSession([this] { return m_pop3Step == Pop3Step::Done; }))
        return false;
    m_pop3Step = Pop3Step::Closed;
    closeSocket();
    m_env.wait->MsgWaitObj(0);
    if (m_AbortFlag)
        return false;
    emit q.status(QStringLiteral("POP3 Authentication Successful..."));
    return true;
}

void Session::pop3Reply(const Reply& reply)
{
    auto send = [this](Pop3Step step, const QString& traced, const QByteArray& line) {
        setPop3Step(step);
        emit q.DebugPrint(traced);
        m_socket->write(line + "\r\n");
    };
    if (m_pop3Step == Pop3Step::Done || m_pop3Step == Pop3Step::Handshake)
        return;
    if (reply.code() != "+OK") {
        if (m_pop3Step == Pop3Step::Stls)
            // Neither the name nor the password has gone out.
            return recordFailure(
                QStringLiteral("The POP3 Host does not offer STLS; the POP3 log-in was not sent"));
        return recordFailure(QString::fromLatin1(reply.text));
    }
    switch (m_pop3Step) {
    case Pop3Step::Greeting:
        // Under StartTls the log-in is encrypted like the message (RFC 2595).
        if (m_StartTls)
            return send(Pop3Step::Stls, QStringLiteral("STLS"), "STLS");
        return send(Pop3Step::User, QStringLiteral("USER ") + m_Username,
                    "USER " + m_Username.toUtf8());
    case Pop3Step::Stls:
        if (!configureTls(m_POP3Host))
            return;
        m_replies->clear();
        m_socket->readAll();
        setPop3Step(Pop3Step::Handshake);
        tlsSocket()->startClientEncryption();
        return;
    case Pop3Step::User:
        return send(Pop3Step::Pass, QStringLiteral("PASS ") + m_Password,
                    "PASS " + m_Password.toUtf8());
    case Pop3Step::Pass:
        return send(Pop3Step::Quit, QStringLiteral("QUIT"), "QUIT");
    case Pop3Step::Quit:
        return setPop3Step(Pop3Step::Done);
    default:
        return;
    }
}

} // namespace mail::internal
