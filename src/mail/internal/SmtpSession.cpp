// The SMTP session of clsSendMail as a state machine: each command records
// the step it begins, and the reply assembler hands every whole reply to the
// handler of the current step, which sends the next command. The caller's
// thread waits cooperatively until the step it wants is reached.
#include "mail/internal/Session.h"

#include "mail/clsSendMail.h"
#include "mail/internal/ReplyAssembler.h"
#include "mail/internal/Texts.h"

#include "mail/Encoders.h"
#include "mail/modMXQuery.h"
#include "platform/RunError.h"

#include <QSslConfiguration>
#include <QSslSocket>

#include <cmath>

namespace mail::internal {

namespace {

const QString CrLf = QStringLiteral("\r\n");

// The stream is written ahead into the socket's queue up to this much, so
// the socket never waits for the encoder; beyond it the writer waits for the
// queue to drain, which bounds the memory a slow server can make us hold.
constexpr qint64 QueueLimit = 2 * 1024 * 1024;
constexpr qint32 SliceMs = 25;
constexpr int AuthSeconds = 5;
constexpr int QuitSeconds = 2;

// The numbers a caller of this component knows socket errors by.
int socketErrorNumber(QAbstractSocket::SocketError error)
{
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
        return 10061;
    case QAbstractSocket::HostNotFoundError:
        return 11001;
    case QAbstractSocket::SocketTimeoutError:
        return 10060;
    case QAbstractSocket::NetworkError:
        return 10065;
    case QAbstractSocket::SocketAccessError:
        return 10013;
    case QAbstractSocket::SocketResourceError:
        return 10055;
    case QAbstractSocket::AddressInUseError:
        return 10048;
    default:
        return int(error);
    }
}

bool isOk(const QByteArray& code)
{
    return code == "220" || code == "221" || code == "250" || code == "251";
}

// Replies that go on without answering the step: help and status texts, and
// positive replies a step does not wait for. Anything else the step does not
// accept is a refusal.
bool isHarmless(const QByteArray& code)
{
    return isOk(code) || code == "211" || code == "214" || code == "235" || code == "334" ||
           code == "354";
}

} // namespace

// The message stream goes into the socket's queue in batches: one write
// call per batch rather than per chunk, so the socket sends large blocks
// and the event loop turns once per batch. The queue is kept full up to
// QueueLimit; only a full queue waits, and only as long as the data moves.
class Session::SessionWriter : public MessageWriter
{
public:
    explicit SessionWriter(Session& session) : s(session) { m_batch.reserve(BatchSize); }
    bool send(const QByteArray& piece) override
    {
        if (!usable())
            return false;
        m_batch += piece;
        return m_batch.size() < BatchSize || push();
    }
    // Writes what is batched; nothing runs after the last write, so the
    // reply to the final "." cannot come before its step is set.
    bool push()
    {
        // Replies that came meanwhile (a refusal of the message) first.
        s.m_env.wait->MsgWaitObj(0);
        s.readReplies();
        if (usable() && s.m_socket->bytesToWrite() > QueueLimit)
            s.runSession([this] { return s.m_socket->bytesToWrite() <= QueueLimit; });
        if (!usable())
            return false;
        s.m_socket->write(m_batch);
        m_batch.resize(0);
        return true;
    }
    void trace(const QString& text) override { emit s.q.DebugPrint(text); }
    void beginAttachment(const QString& name, bool embedded) override
    {
        emit s.q.status((embedded ? QStringLiteral("Sending Embedded File, ")
                                  : QStringLiteral("Sending Attachment, ")) +
                        name + QStringLiteral("..."));
    }
    bool attachmentSent() override { return usable(); }

private:
    static constexpr qsizetype BatchSize = 512 * 1024;
    // After a failure has been reported the stream only ends.
    bool usable() const
    {
        return s.socketConnected() && !s.m_AbortFlag && !s.m_failurePending &&
               s.m_step == SmtpStep::Body;
    }
    Session& s;
    QByteArray m_batch;
};

// ---- socket

QSslSocket* Session::tlsSocket() const
{
    // StartTls chose the kind of socket before the connection was made.
    return qobject_cast<QSslSocket*>(m_socket);
}

bool Session::socketClosed() const
{
    return m_socket->state() == QAbstractSocket::UnconnectedState;
}

bool Session::socketConnected() const
{
    return m_socket->state() == QAbstractSocket::ConnectedState;
}

void Session::closeSocket()
{
    m_socket->abort();
    m_replies->clear();
    m_socketFailed = false;
    m_step = SmtpStep::Closed;
}

void Session::sendCommand(const QString& command, bool traced)
{
    if (!socketConnected())
        throw platform::RunError(platform::RunError::ObjectVariableNotSet, SocketNotOpen);
    if (traced)
        emit q.DebugPrint(command);
    m_socket->write((command + CrLf).toLatin1());
}

void Session::socketError(int qtError, const QString& description)
{
    const int number = socketErrorNumber(QAbstractSocket::SocketError(qtError));
    QString text = QString::number(number) + QStringLiteral(" - ") + description;
    if (number == 11001 || number == 10065)
        text += QStringLiteral(" (") + m_socket->peerName() + QLatin1Char(')');
    m_socketFailed = true;
    AddError(text);
    m_failurePending = false;
    m_loginRefused = false;
    RaiseFailure();
}

void Session::bytesWritten(qint64 bytes)
{
    m_BytesSent += bytes;
    // The data moving is progress: a large message under way does not time
    // out, one the server stopped taking does.
    if (m_step == SmtpStep::Body || m_step == SmtpStep::EndOfData)
        m_stepStart = m_env.day->Timer();
    int percent = 0;
    if (m_TotalEstimate > 0)
        percent = int(
            std::min(100.0f, std::nearbyint(float(m_BytesSent) / float(m_TotalEstimate) * 100.0f)));
    // Only upward: the commands after the message (QUIT) must not take the
    // bar back below the 100 the end of the data reported.
    if (percent > m_lastPercent) {
        m_lastPercent = percent;
        if (socketConnected())
            emit q.Progress(percent);
    }
}

// ---- failures

// A handler records a failure; the waiting caller (or, when none waits, the
// event loop) raises it, so that closing the connection never runs inside
// the socket's own signal.
void Session::recordFailure(const QString& text)
{
    AddError(text);
    if (m_failurePending)
        return;
    m_failurePending = true;
    QMetaObject::invokeMethod(
        &q, [this] { raisePendingFailure(); }, Qt::QueuedConnection);
}

void Session::raisePendingFailure()
{
    if (!m_failurePending)
        return;
    m_failurePending = false;
    const bool login = std::exchange(m_loginRefused, false);
    RaiseFailure();
    if (login)
        loginFailure();
}

void Session::loginFailure()
{
    emit q.status(QStringLiteral("Host Login Failed!"));
    AddError(QStringLiteral("Login: Login failed"));
    RaiseFailure();
}

void Session::TimeoutFailure()
{
    AddError(TimeoutText);
    RaiseFailure();
}

// ---- replies

void Session::readReplies()
{
    // What a server said before it closed the connection still counts.
    if (!m_socket->isOpen())
        return;
    const QByteArray bytes = m_socket->readAll();
    if (bytes.isEmpty())
        return;
    for (const Reply& reply : m_replies->feed(bytes)) {
        const QString text = QString::fromLatin1(reply.text);
        emit q.DebugPrint(text.trimmed().isEmpty() ? QStringLiteral("**Empty**") : text);
        if (m_pop3Step != Pop3Step::Closed)
            pop3Reply(reply);
        else
            smtpReply(reply);
        // What came with the go-ahead for TLS came unprotected, and is not
        // believed; nor is anything after a failure.
        if (m_step == SmtpStep::Handshake || m_pop3Step == Pop3Step::Handshake ||
            m_failurePending) {
            m_replies->clear();
            break;
        }
    }
}

void Session::smtpReply(const Reply& reply)
{
    const QByteArray code = reply.code();
    const QString text = QString::fromLatin1(reply.text);
    if (code == "211" || code == "214")
        return;
    switch (m_step) {
    case SmtpStep::Closed:
    case SmtpStep::Handshake:
        return;
    case SmtpStep::Quit:
        // Whatever the answer to QUIT, the session is over. Taken for a
        // failure, a refusal would fail a message already accepted.
        m_step = SmtpStep::Closed;
        return;
    case SmtpStep::Greeting:
        if (isOk(code)) {
            emit q.status(QStringLiteral("Initializing Communications..."));
            sendHello();
            return;
        }
        break;
    case SmtpStep::Hello:
        if (isOk(code))
            return helloAnswered(reply);
        break;
    case SmtpStep::StartTls:
        if (code == "220") {
            m_replies->clear();
            m_socket->readAll();
            m_Encrypted = false;
            setStep(SmtpStep::Handshake, connectTimeout());
            tlsSocket()->startClientEncryption();
            return;
        }
        break;
    case SmtpStep::AuthLogin:
    case SmtpStep::AuthUser:
    case SmtpStep::AuthPassword:
    case SmtpStep::AuthPlain:
    case SmtpStep::AuthCancel:
        return authReply(reply);
    case SmtpStep::Mail:
        if (isOk(code)) {
            emit q.status(QStringLiteral("Sending Recipient Information..."));
            return sendRecipient();
        }
        break;
    case SmtpStep::Recipient:
        if (isOk(code))
            return sendRecipient();
        break;
    case SmtpStep::Data:
        if (code == "354")
            return setStep(SmtpStep::Body, messageTimeout());
        break;
    case SmtpStep::EndOfData:
        if (isOk(code))
            return setStep(SmtpStep::Ready, 0);
        break;
    case SmtpStep::Ready:
    case SmtpStep::Body:
        break;
    }
    if (!isHarmless(code))
        recordFailure(text);
}

void Session::sendHello()
{
    // STARTTLS and AUTH are extensions: only EHLO learns whether they are
    // offered.
    const QString word =
        m_UseAuthentication || m_StartTls ? QStringLiteral("EHLO ") : QStringLiteral("HELO ");
    const QString argument =
        m_Hallo.trimmed().isEmpty() ? m.from.mid(m.from.indexOf(QLatin1Char('@')) + 1) : m_Hallo;
    m_LoginOffered = m_PlainOffered = m_StartTlsOffered = m_AuthEqualsLogin = false;
    setStep(SmtpStep::Hello, connectTimeout());
    sendCommand(word + argument);
}

void Session::helloAnswered(const Reply& reply)
{
    // The keywords of the whole reply, whichever line they stand on.
    for (const QByteArray& line : reply.arguments()) {
        const QList<QByteArray> words = line.toUpper().split(' ');
        const QByteArray keyword = words.value(0);
        if (keyword == "STARTTLS")
            m_StartTlsOffered = true;
        if (keyword != "AUTH" && !keyword.startsWith("AUTH="))
            continue;
        QList<QByteArray> mechanisms = words.mid(1);
        if (keyword.startsWith("AUTH=")) {
            mechanisms << keyword.mid(5);
            if (mechanisms.contains("LOGIN"))
                m_AuthEqualsLogin = true;
        }
        m_LoginOffered = m_LoginOffered || mechanisms.contains("LOGIN");
        m_PlainOffered = m_PlainOffered || mechanisms.contains("PLAIN");
    }
    if (m_StartTls && !m_Encrypted) {
        if (!m_StartTlsOffered)
            return recordFailure(QStringLiteral(
                "The SMTP Host does not offer STARTTLS; nothing was sent unencrypted, the log-in "
                "and message included"));
        if (!configureTls(m_SMTPHost))
            return;
        emit q.status(QStringLiteral("Starting TLS..."));
        setStep(SmtpStep::StartTls, connectTimeout());
        return sendCommand(QStringLiteral("STARTTLS"));
    }
    if (!m_UseAuthentication)
        return setStep(SmtpStep::Ready, 0);
    // Mechanism names go in capitals: servers compare them as written.
    if (m_LoginOffered) {
        emit q.status(QStringLiteral("Sending Login Authentication..."));
        setStep(SmtpStep::AuthLogin, AuthSeconds);
        return sendCommand(QStringLiteral("AUTH LOGIN"));
    }
    if (m_PlainOffered) {
        emit q.status(QStringLiteral("Sending Login Authentication..."));
        setStep(SmtpStep::AuthPlain, AuthSeconds);
        emit q.DebugPrint(QStringLiteral("AUTH PLAIN ********"));
        const QByteArray credentials = '\0' + m_Username.toUtf8() + '\0' + m_Password.toUtf8();
        m_socket->write("AUTH PLAIN " + credentials.toBase64() + "\r\n");
        return;
    }
    emit q.status(QStringLiteral("Login Not Supported by Host, Continuing..."));
    setStep(SmtpStep::Ready, 0);
}

void Session::authReply(const Reply& reply)
{
    const QByteArray code = reply.code();
    if (code == "235" && m_step != SmtpStep::AuthCancel) {
        emit q.status(QStringLiteral("Host Login OK!"));
        return setStep(SmtpStep::Ready, 0);
    }
    if (code == "334" && m_step != SmtpStep::AuthPlain && m_step != SmtpStep::AuthCancel) {
        // The prompt says what it wants ("Username:", "User Name", "Password:"
        // and the like); the name and password go as UTF-8.
        const QString prompt = DecodeBase64String(QString::fromLatin1(reply.arguments().value(0)));
        if (prompt.contains(QStringLiteral("user"), Qt::CaseInsensitive)) {
            setStep(SmtpStep::AuthUser, AuthSeconds);
            m_socket->write(EncodeBase64Bytes(m_Username.toUtf8()));
            emit q.DebugPrint(m_Username);
        } else if (prompt.contains(QStringLiteral("pass"), Qt::CaseInsensitive)) {
            setStep(SmtpStep::AuthPassword, AuthSeconds);
            m_socket->write(EncodeBase64Bytes(m_Password.toUtf8()));
            emit q.DebugPrint(m_Username);
        } else {
            setStep(SmtpStep::AuthCancel, AuthSeconds);
            m_socket->write("\r\n*\r\n");
            emit q.DebugPrint(CrLf + QLatin1Char('*'));
        }
        return;
    }
    if (code == "211" || code == "214")
        return;
    // A refusal, an unknown prompt answered or anything else: the log-in
    // failed, and the server's words are reported first.
    m_loginRefused = true;
    recordFailure(QString::fromLatin1(reply.text));
}

void Session::encryptionStarted()
{
    m_Encrypted = true;
    if (m_step == SmtpStep::Handshake) {
        // Only what the server says over the protected connection counts.
        m_replies->clear();
        sendHello();
    } else if (m_pop3Step == Pop3Step::Handshake) {
        m_replies->clear();
        setPop3Step(Pop3Step::User);
        emit q.DebugPrint(QStringLiteral("USER ") + m_Username);
        m_socket->write("USER " + m_Username.toUtf8() + "\r\n");
    }
}

bool Session::configureTls(const QString& peerName)
{
    // From the defaults each time: an earlier send's authorities stay out.
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    if (!m_CaFile.isEmpty()) {
        const QList<QSslCertificate> authorities = QSslCertificate::fromPath(m_CaFile);
        if (authorities.isEmpty()) {
            recordFailure(QStringLiteral("No certificate found in ") + m_CaFile);
            return false;
        }
        tls.addCaCertificates(authorities);
    }
    tls.setPeerVerifyMode(QSslSocket::VerifyPeer);
    tlsSocket()->setSslConfiguration(tls);
    tlsSocket()->setPeerVerifyName(peerName);
    return true;
}

void Session::sendRecipient()
{
    if (m_recipientsLeft.isEmpty()) {
        emit q.status(QStringLiteral("Sending Message..."));
        setStep(SmtpStep::Data, messageTimeout());
        return sendCommand(QStringLiteral("DATA"));
    }
    setStep(SmtpStep::Recipient, messageTimeout());
    sendCommand(QStringLiteral("RCPT TO: <") + m_recipientsLeft.takeFirst() + QLatin1Char('>'));
}

// ---- waits

qint32 Session::messageTimeout() const
{
    // A stored value loads unchecked; below one second every wait would give
    // up at once without a word, and the send would stop silently.
    return std::max(1, m_MessageTimeout == std::numeric_limits<qint32>::min()
                           ? std::numeric_limits<qint32>::max()
                           : std::abs(m_MessageTimeout));
}

qint32 Session::connectTimeout() const
{
    return std::max(1, m_ConnectTimeout == std::numeric_limits<qint32>::min()
                           ? std::numeric_limits<qint32>::max()
                           : std::abs(m_ConnectTimeout));
}

void Session::setStep(SmtpStep step, qint32 seconds)
{
    m_step = step;
    m_stepSeconds = seconds;
    m_stepStart = m_env.day->Timer();
    ++m_stepSerial;
}

bool Session::stepExpired() const
{
    return m_stepSeconds > 0 &&
           platform::secondsBetween(m_stepStart, m_env.day->Timer()) >= m_stepSeconds;
}

void Session::stepTimedOut()
{
    if (m_pop3Step != Pop3Step::Closed)
        return TimeoutFailure();
    switch (m_step) {
    case SmtpStep::Quit:
        m_step = SmtpStep::Closed;
        return;
    case SmtpStep::AuthLogin:
    case SmtpStep::AuthUser:
    case SmtpStep::AuthPassword:
    case SmtpStep::AuthPlain:
    case SmtpStep::AuthCancel:
        return loginFailure();
    default:
        return TimeoutFailure();
    }
}

bool Session::runSession(const std::function<bool()>& done, bool closing)
{
    // A loopback reply comes within a millisecond or two: the slices start
    // short and double up to the full slice, and start short again with each
    // step, so a command costs its round trip rather than a whole slice.
    qint32 slice = 1;
    quint64 serial = m_stepSerial;
    for (;;) {
        if (m_failurePending && !closing) {
            raisePendingFailure();
            return false;
        }
        if (done())
            return true;
        if (m_AbortFlag && !closing)
            return false;
        if (stepExpired()) {
            stepTimedOut();
            return done();
        }
        if (!socketConnected() && !closing) {
            readReplies();
            if (done() || m_failurePending)
                continue;
            AddError(SocketNotOpen);
            RaiseFailure();
            return false;
        }
        if (closing && !socketConnected())
            return false;
        m_env.wait->MsgWaitObj(0);
        readReplies();
        if (done() || m_failurePending)
            continue;
        if (serial != m_stepSerial) {
            serial = m_stepSerial;
            slice = 1;
        }
        // While data waits in the queue, the socket's own progress ends the
        // wait, not a slice: a fast server is fed the moment it has room.
        // So does a reply in the first short slices of a step, when a
        // nearby server's answer is due: a command costs its round trip.
        if (m_socket->bytesToWrite() > 0 || slice < SliceMs) {
            m_probing = true;
            const bool moved = m_socket->bytesToWrite() > 0 ? m_socket->waitForBytesWritten(1)
                                                            : m_socket->waitForReadyRead(1);
            m_probing = false;
            if (moved) {
                slice = 1;
                continue;
            }
        }
        m_env.wait->MsgWaitObj(slice);
        readReplies();
        slice = std::min(SliceMs, slice * 2);
    }
}

bool Session::waitForConnection(qint32 seconds)
{
    const double start = m_env.day->Timer();
    qint32 slice = 1;
    while (!m_Connected) {
        if (platform::secondsBetween(start, m_env.day->Timer()) >= seconds || m_AbortFlag)
            return false;
        m_env.wait->MsgWaitObj(0);
        readReplies();
        if (m_Connected)
            break;
        m_env.wait->MsgWaitObj(slice);
        readReplies();
        slice = std::min(SliceMs, slice * 2);
    }
    return true;
}

// ---- session

bool Session::connectAttempts(const QString& host, quint16 port)
{
    // The step that awaits the greeting, kept across the attempts.
    const SmtpStep first = m_step;
    for (qint32 attempt = 0; attempt < m_ConnectRetry; ++attempt) {
        if (socketConnected()) {
            m_Connected = true;
            break;
        }
        if (socketClosed()) {
            m_socketFailed = false;
            m_socket->connectToHost(host, port);
        }
        if (waitForConnection(connectTimeout()))
            break;
        if (m_AbortFlag)
            return false;
        if (m_socketFailed) {
            closeSocket();
            m_step = first;
        }
    }
    return true;
}

bool Session::OpenSession()
{
    // A failure of the program itself is reported like any other, so that a
    // send never ends without a word.
    try {
        return openSession();
    } catch (const platform::RunError& e) {
        AddError(e.description());
    } catch (const std::exception& e) {
        AddError(QString::fromLocal8Bit(e.what()));
    }
    RaiseFailure();
    return false;
}

bool Session::openSession()
{
    if (socketConnected())
        return true;
    if (!socketClosed())
        closeSocket();
    // Nothing goes out that could carry a line of its own.
    const QStringList unsafe = unsafeSessionTexts();
    if (!unsafe.isEmpty()) {
        for (const QString& error : unsafe)
            AddError(error);
        RaiseFailure();
        return false;
    }
    if (m_SMTPHost.isEmpty())
        m_SMTPHost = mxQuery({});
    if (m_SMTPHost.isEmpty()) {
        AddError(SmtpHostError);
        RaiseFailure();
        return false;
    }
    if (m_UsePopAuthentication && !pop3LogIn())
        return false;

    m_AbortFlag = false;
    m_failurePending = m_loginRefused = false;
    m_Connected = false;
    m_Encrypted = false;
    if (!socketClosed())
        closeSocket();
    emit q.status(QStringLiteral("Connecting to SMTP Server (") + m_SMTPHost +
                  QStringLiteral(")..."));
    useSocket(m_StartTls);
    m_replies->setMode(internal::ReplyAssembler::Mode::Smtp);
    m_replies->clear();
    // The greeting may come while the connection is still being reported.
    setStep(SmtpStep::Greeting, 0);
    if (!connectAttempts(m_SMTPHost, quint16(m_SMTPPort)))
        return false;
    if (!m_Connected) {
        TimeoutFailure();
        return false;
    }
    m_stepSeconds = connectTimeout();
    m_stepStart = m_env.day->Timer();
    return runSession([this] { return m_step == SmtpStep::Ready; });
}

void Session::CloseSession()
{
    if (!socketClosed())
        emit q.status(QStringLiteral("Closing Connection..."));
    if (socketConnected() && m_step != SmtpStep::Quit && m_pop3Step == Pop3Step::Closed) {
        setStep(SmtpStep::Quit, QuitSeconds);
        emit q.DebugPrint(QStringLiteral("QUIT"));
        m_socket->write("QUIT\r\n");
        runSession([this] { return m_step != SmtpStep::Quit; }, true);
    }
    closeSocket();
}

bool Session::connect()
{
    m_KeepOpen = true;
    return OpenSession();
}

void Session::disconnect()
{
    m_KeepOpen = false;
    CloseSession();
}

QString Session::mxQuery(const QString& IPDomain)
{
    const QString domain = IPDomain.trimmed();
    emit q.status(domain.isEmpty() ? QStringLiteral("Performing MX Query")
                                   : QStringLiteral("Performing MX Query, Domain: ") + domain);
    try {
        return m_mx->MXLookup(domain, m_env);
    } catch (const platform::RunError& e) {
        emit q.status(e.description());
    } catch (const std::exception& e) {
        emit q.status(QString::fromLocal8Bit(e.what()));
    }
    return {};
}

// ---- send

void Session::send()
{
    QString description;
    try {
        sendRun();
        return;
    } catch (const platform::RunError& e) {
        description = e.description();
    } catch (const std::exception& e) {
        description = QString::fromLocal8Bit(e.what());
    }
    AddError(description);
    m_SentOk = false;
    m_LastResult = description;
    RaiseFailure();
}

void Session::sendRun()
{
    SendValues values;
    if (!prepareSend(values))
        return;
    m_TotalEstimate = EstimateTransferSize();
    if (!socketConnected() && !OpenSession())
        return;
    if (m_step != SmtpStep::Ready) {
        AddError(SocketNotOpen);
        RaiseFailure();
        return;
    }

    m_BytesSent = 0;
    m_lastPercent = -1;
    m_recipientsLeft = m.Recipient + m.CcRecipient + m.BccRecipient;
    emit q.status(QStringLiteral("Sending Sender Information..."));
    setStep(SmtpStep::Mail, messageTimeout());
    sendCommand(QStringLiteral("MAIL FROM: <") + m.from + QLatin1Char('>') +
                (m_AuthEqualsLogin ? QStringLiteral(" AUTH=") + m.from : QString()));
    if (!runSession([this] { return m_step == SmtpStep::Body; }))
        return;

    // The Date line tells when the message went, not when the send began.
    values.now = m_env.day->Now();
    if (m.EncodeType == 0)
        values.Boundary = makeBoundary(values.now);
    SessionWriter writer(*this);
    StreamResult result = writeMessageStream(m, values, writer);
    if (result.complete && !writer.push())
        result = {false, {}};
    if (!result.complete) {
        if (m_failurePending)
            raisePendingFailure();
        else if (!m_AbortFlag) {
            AddError(result.error.isEmpty() ? SocketNotOpen : result.error);
            RaiseFailure();
        }
        return;
    }
    // No event has run since the final ".": its reply cannot have come yet.
    setStep(SmtpStep::EndOfData, messageTimeout());
    if (!runSession([this] { return m_step == SmtpStep::Ready; }))
        return;
    m_lastPercent = 100;
    emit q.Progress(100);
    emit q.status(QStringLiteral("Transmission Complete..."));
    if (!m_KeepOpen)
        CloseSession();
    m_SentOk = true;
    m_LastResult = QStringLiteral("OK");
    emit q.SendSuccesful();
}

qint64 Session::EstimateTransferSize() const
{
    auto L = [](const QString& s) { return qint64(s.size()); };
    qint64 total = 93 + L(m.from);
    if (m_UseAuthentication) {
        total += 25 + L(m.from);
        if (L(m_Username) > 0)
            total += 4 * L(m_Username) / 3;
        if (L(m_Password) > 0)
            total += 4 * L(m_Password) / 3;
    }
    auto addresses = [&](const QStringList& list, int perChar) {
        for (qsizetype i = 0; i < list.size(); ++i)
            total += 15 + perChar * L(list[i]) + (i > 0 ? 6 : 0);
    };
    auto names = [&](const QStringList& list) {
        for (const QString& name : list)
            total += L(name) + 11;
    };
    addresses(m.Recipient, 2);
    names(m.RecipientDisplayName);
    addresses(m.CcRecipient, 2);
    names(m.CcDisplayName);
    addresses(m.BccRecipient, 1);
    if (!m.FromDisplayName.isEmpty())
        total += L(m.FromDisplayName) + 3;
    total += L(m.from);
    if (!m.ReplyToAddress.isEmpty())
        total += L(m.ReplyToAddress) + 14;
    total += L(m.Subject) + L(m.Message);
    if (m.EncodeType == 0) {
        total += 64;
        if (m.AsHTML && !m.ContentBase.isEmpty())
            total += 18 + L(m.ContentBase);
        if (m.Receipt)
            total += 36 + L(m.FromDisplayName) + L(m.from);
    }
    const qint64 B = m.AttachmentBytes;
    const qint64 N = m.AttachmentNameChars;
    const qint64 C = m.AttachmentPaths.size();
    if (C >= 1 && m.EncodeType != 0)
        total += 4 * B / 3 + 3 * (B / 45) + N + 20 * C;
    if (C >= 1 && m.EncodeType == 0)
        total += 4 * B / 3 + 42 + 2 * (B / 57) + 2 * N + 182 * C + 290;
    return total;
}

} // namespace mail::internal
