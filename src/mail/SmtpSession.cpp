// The SMTP and POP3 session of clsSendMail: a command is sent, then the
// caller's thread waits cooperatively until the reply handler has set a flag
// or the time is up.
#include "mail/clsSendMail.h"

#include "mail/Encoders.h"
#include "mail/modMXQuery.h"
#include "platform/RunError.h"

#include <QScopeGuard>
#include <QSslConfiguration>
#include <QSslSocket>

#include <cmath>

namespace mail {

namespace {

const QString CrLf = QStringLiteral("\r\n");
const QString SocketNotOpen = QStringLiteral("Socket not Open");
const QString TimeoutText =
    QStringLiteral("Timeout occurred: The SMTP Host did not respond to the request");

constexpr qint64 DrainedQueue = 4096;
// A base64 chunk goes out once the socket's queue holds at most this much:
// progress is reported for every partial write, so waiting for a report alone
// lets a slow server's backlog grow toward the whole attachment.
constexpr qint64 ChunkQueueLimit = 64 * 1024;
constexpr qint32 SliceMs = 25;
constexpr int AuthSeconds = 5;
constexpr int ChunkSeconds = 2;
constexpr int QuitSeconds = 2;
constexpr quint16 Pop3DefaultPort = 110;

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

// "250-AUTH PLAIN LOGIN" offers LOGIN as well as "250-AUTH LOGIN" does.
bool offersAuthLogin(const QString& reply)
{
    if (reply.contains(QStringLiteral("auth login"), Qt::CaseInsensitive))
        return true;
    for (const QString& line : reply.split(QLatin1Char('\n'))) {
        const QStringList words = line.mid(4).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (words.size() > 1 &&
            words[0].trimmed().compare(QLatin1String("AUTH"), Qt::CaseInsensitive) == 0 &&
            std::any_of(words.begin() + 1, words.end(), [](const QString& w) {
                return w.trimmed().compare(QLatin1String("LOGIN"), Qt::CaseInsensitive) == 0;
            }))
            return true;
    }
    return false;
}

// Whether the piece holds the last line of a reply ("250 " rather than "250-").
bool replyEnds(const QString& reply)
{
    const QStringList lines = reply.split(CrLf, Qt::SkipEmptyParts);
    return lines.isEmpty() || lines.last().size() < 4 || lines.last()[3] != QLatin1Char('-');
}

} // namespace

// The message stream goes straight to the socket, paced by its progress.
class clsSendMail::SessionWriter : public MessageWriter
{
public:
    explicit SessionWriter(clsSendMail& session) : s(session) {}
    bool send(const QByteArray& piece) override
    {
        // After a failure has been reported the stream only ends.
        if (!s.socketConnected() || s.m_AbortFlag)
            return false;
        s.m_SendProgressSeen = false;
        s.m_socket->write(piece);
        return true;
    }
    void trace(const QString& text) override { emit s.DebugPrint(text); }
    void beginAttachment(const QString& name, bool embedded) override
    {
        emit s.status((embedded ? QStringLiteral("Sending Embedded File, ")
                                : QStringLiteral("Sending Attachment, ")) +
                      name + QStringLiteral("..."));
    }
    void chunkSent() override { s.waitForChunk(); }
    void letEventsRun() override
    {
        s.m_env.wait->MsgWaitObj(0);
        s.readReplies();
        if (s.m_socket->bytesToWrite() > ChunkQueueLimit)
            s.waitForChunk();
    }
    bool attachmentSent() override { return s.drainQueue(); }

private:
    clsSendMail& s;
};

// ---- socket

bool clsSendMail::socketClosed() const
{
    return m_socket->state() == QAbstractSocket::UnconnectedState;
}

bool clsSendMail::socketConnected() const
{
    return m_socket->state() == QAbstractSocket::ConnectedState;
}

void clsSendMail::closeSocket()
{
    m_socket->abort();
    m_received.clear();
    m_socketFailed = false;
}

bool clsSendMail::sendCommand(const QString& command, bool traced)
{
    if (!socketConnected())
        throw platform::RunError(platform::RunError::ObjectVariableNotSet, SocketNotOpen);
    if (traced)
        emit DebugPrint(command.endsWith(CrLf) ? command.chopped(2) : command);
    m_replyEnded = false;
    m_socket->write(command.toLatin1());
    return true;
}

void clsSendMail::socketError(int qtError, const QString& description)
{
    const int number = socketErrorNumber(QAbstractSocket::SocketError(qtError));
    QString text = QString::number(number) + QStringLiteral(" - ") + description;
    if (number == 11001 || number == 10065)
        text += QStringLiteral(" (") + m_socket->peerName() + QLatin1Char(')');
    m_socketFailed = true;
    AddError(text);
    RaiseFailure();
}

void clsSendMail::bytesWritten(qint64 bytes)
{
    m_BytesSent += bytes;
    m_SendProgressSeen = true;
    int percent = 0;
    if (m_TotalEstimate > 0)
        percent = int(
            std::min(100.0f, std::nearbyint(float(m_BytesSent) / float(m_TotalEstimate) * 100.0f)));
    // Only upward: the commands after the message (QUIT) must not take the
    // bar back below the 100 the end of the data reported.
    if (percent > m_lastPercent) {
        m_lastPercent = percent;
        if (socketConnected())
            emit Progress(percent);
    }
    m_BytesRemaining = m_socket->bytesToWrite();
}

// ---- replies

void clsSendMail::readReplies()
{
    if (!socketConnected())
        return;
    m_received += m_socket->readAll();
    // A reply is handled once its line end has come: a reply cut in two by
    // the network is still one reply.
    const qsizetype end = m_received.lastIndexOf('\n');
    if (end < 0)
        return;
    const QByteArray piece = m_received.left(end + 1);
    m_received.remove(0, end + 1);
    replyArrived(piece);
}

void clsSendMail::replyArrived(const QByteArray& piece)
{
    const QString text = QString::fromLatin1(piece);
    emit DebugPrint(text.trimmed().isEmpty() ? QStringLiteral("**Empty**") : text);
    m_replyEnded = replyEnds(text);
    // Whatever the answer to QUIT, the session is over. Taken for a failure,
    // a refusal would fail a message already accepted, and closing again
    // would send QUIT again: a server refusing every line nested without end.
    if (m_Closing) {
        m_ReplyOk = true;
        return;
    }
    const QString code = text.left(3).toUpper();
    if (code == QLatin1String("220") || code == QLatin1String("221") ||
        code == QLatin1String("251")) {
        m_ReplyOk = true;
    } else if (code == QLatin1String("250")) {
        m_ReplyOk = true;
        if (offersAuthLogin(text))
            m_AuthLoginOffered = true;
        if (text.contains(QStringLiteral("auth=login"), Qt::CaseInsensitive))
            m_AuthEqualsLogin = true;
        if (text.contains(QStringLiteral("starttls"), Qt::CaseInsensitive))
            m_StartTlsOffered = true;
    } else if (code == QLatin1String("235")) {
        m_AuthAccepted = true;
    } else if (code == QLatin1String("334")) {
        // The name and password answer only the prompts of a log-in this
        // session began: a server that merely asks learns nothing.
        if (!m_AuthPending)
            return;
        const QString prompt = DecodeBase64String(text.mid(3).trimmed().remove(CrLf));
        if (prompt.contains(QStringLiteral("username"), Qt::CaseInsensitive)) {
            m_socket->write(EncodeBase64Text(m_Username).toLatin1());
            emit DebugPrint(m_Username);
        } else if (prompt.contains(QStringLiteral("password"), Qt::CaseInsensitive)) {
            m_socket->write(EncodeBase64Text(m_Password).toLatin1());
            emit DebugPrint(m_Username);
        } else {
            m_socket->write("\r\n*\r\n");
            emit DebugPrint(CrLf + QLatin1Char('*'));
        }
    } else if (code == QLatin1String("354")) {
        m_DataReady = true;
    } else if (code == QLatin1String("211") || code == QLatin1String("214")) {
        // help and status texts need nothing
    } else if (code == QLatin1String("+OK")) {
        QString line;
        switch (m_Pop3Step) {
        case 0:
            line = QStringLiteral("USER ") + m_Username;
            break;
        case 1:
            line = QStringLiteral("PASS ") + m_Password;
            break;
        case 2:
            line = QStringLiteral("QUIT");
            break;
        default:
            m_Pop3Done = true;
            break;
        }
        if (!line.isEmpty()) {
            emit DebugPrint(line);
            m_socket->write((line + CrLf).toLatin1());
        }
        m_Pop3Step = (m_Pop3Step + 1) % 4;
    } else {
        if (code == QLatin1String("-ER")) {
            m_Pop3Done = false;
            m_Pop3Step = 0;
            m_AbortFlag = true;
        }
        AddError(text);
        RaiseFailure();
    }
}

// ---- waits

qint32 clsSendMail::messageTimeout() const
{
    // A stored value loads unchecked; below one second every wait would give
    // up at once without a word, and the send would stop silently.
    return std::max(1, m_MessageTimeout == std::numeric_limits<qint32>::min()
                           ? std::numeric_limits<qint32>::max()
                           : std::abs(m_MessageTimeout));
}

qint32 clsSendMail::connectTimeout() const
{
    return std::max(1, m_ConnectTimeout == std::numeric_limits<qint32>::min()
                           ? std::numeric_limits<qint32>::max()
                           : std::abs(m_ConnectTimeout));
}

template <typename Done> bool clsSendMail::waitUntil(Done done, double seconds, bool timeoutIsError)
{
    if (seconds < 1)
        return false;
    const double start = m_env.day->Timer();
    // A loopback reply comes within a millisecond or two: the slices start
    // short and double up to the full slice, so a command costs its round
    // trip rather than a whole slice, and long waits stay cheap.
    qint32 slice = 1;
    while (!done()) {
        if (platform::secondsBetween(start, m_env.day->Timer()) >= seconds) {
            if (timeoutIsError)
                TimeoutFailure();
            return false;
        }
        if (m_AbortFlag)
            return false;
        // Pending events first: a reply that has already come ends the wait
        // without a slice.
        m_env.wait->MsgWaitObj(0);
        readReplies();
        if (done())
            break;
        m_env.wait->MsgWaitObj(slice);
        readReplies();
        slice = std::min(SliceMs, slice * 2);
    }
    return true;
}

bool clsSendMail::WaitForFlag(const bool& flag, qint32 seconds, bool timeoutIsError)
{
    return waitUntil([&flag] { return flag; }, seconds, timeoutIsError);
}

void clsSendMail::TimeoutFailure()
{
    AddError(TimeoutText);
    RaiseFailure();
}

bool clsSendMail::waitForChunk()
{
    return waitUntil(
        [this] {
            return !socketConnected() ||
                   (m_SendProgressSeen && m_socket->bytesToWrite() <= ChunkQueueLimit);
        },
        ChunkSeconds, false);
}

bool clsSendMail::drainQueue()
{
    if (m_AbortFlag)
        return false;
    while (m_BytesRemaining > DrainedQueue) {
        const qint64 noted = m_BytesRemaining;
        const bool changed = waitUntil(
            [&] {
                return !socketConnected() || m_BytesRemaining != noted ||
                       m_BytesRemaining < DrainedQueue;
            },
            messageTimeout(), true);
        if (!changed)
            return false;
        if (!socketConnected()) {
            AddError(SocketNotOpen);
            RaiseFailure();
            return false;
        }
    }
    return true;
}

// ---- session

bool clsSendMail::connectAttempts(const QString& host, quint16 port)
{
    for (qint32 attempt = 0; attempt < m_ConnectRetry; ++attempt) {
        if (socketConnected()) {
            m_Connected = true;
            break;
        }
        if (socketClosed()) {
            m_socketFailed = false;
            m_socket->connectToHost(host, port);
        }
        if (WaitForFlag(m_Connected, connectTimeout(), false))
            break;
        if (m_AbortFlag)
            return false;
        if (m_socketFailed)
            closeSocket();
    }
    return true;
}

bool clsSendMail::OpenSession()
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

bool clsSendMail::openSession()
{
    if (socketConnected())
        return true;
    if (!socketClosed())
        closeSocket();
    if (m_SMTPHost.isEmpty())
        m_SMTPHost = MXQuery({});
    if (m_SMTPHost.isEmpty()) {
        AddError(QStringLiteral("Invalid or Missing SMTP Host Name"));
        RaiseFailure();
        return false;
    }

    if (m_UsePopAuthentication) {
        emit status(QStringLiteral("Connecting to POP3 Server (") + m_POP3Host +
                    QStringLiteral(")..."));
        m_AbortFlag = false;
        m_Connected = false;
        m_Pop3Done = false;
        m_Pop3Step = 0;
        if (m_POP3Host.isEmpty()) {
            AddError(QStringLiteral("Invalid or Missing POP3 Host Name"));
            RaiseFailure();
            return false;
        }
        if (!connectAttempts(m_POP3Host, m_POP3Port))
            return false;
        const bool done = WaitForFlag(m_Pop3Done, connectTimeout(), false);
        closeSocket();
        m_env.wait->MsgWaitObj(0);
        if (m_AbortFlag)
            return false;
        // A dialogue that never finished is no log-in.
        if (!done) {
            TimeoutFailure();
            return false;
        }
        emit status(QStringLiteral("POP3 Authentication Successful..."));
    }

    m_ReplyOk = m_DataReady = m_AuthLoginOffered = m_AuthEqualsLogin = m_AuthAccepted = false;
    m_StartTlsOffered = false;
    m_AbortFlag = false;
    m_Connected = false;
    if (!socketClosed())
        closeSocket();
    emit status(QStringLiteral("Connecting to SMTP Server (") + m_SMTPHost +
                QStringLiteral(")..."));
    if (!connectAttempts(m_SMTPHost, quint16(m_SMTPPort)))
        return false;
    const bool greeted = WaitForFlag(m_ReplyOk, connectTimeout(), false);
    if (!greeted || !m_Connected) {
        TimeoutFailure();
        return false;
    }

    emit status(QStringLiteral("Initializing Communications..."));
    m_ReplyOk = false;
    // STARTTLS is an extension: only EHLO learns whether it is offered.
    const QString word =
        m_UseAuthentication || m_StartTls ? QStringLiteral("EHLO ") : QStringLiteral("HELO ");
    const QString argument =
        m_Hallo.trimmed().isEmpty() ? m.from.mid(m.from.indexOf(QLatin1Char('@')) + 1) : m_Hallo;
    sendCommand(word + argument + CrLf);
    if (!WaitForFlag(m_ReplyOk, connectTimeout(), true))
        return false;
    if (m_StartTls && !startTls(word + argument + CrLf))
        return false;

    if (m_UseAuthentication) {
        if (WaitForFlag(m_AuthLoginOffered, AuthSeconds, false)) {
            emit status(QStringLiteral("Sending Login Authentication..."));
            m_AuthPending = true;
            const auto over = qScopeGuard([this] { m_AuthPending = false; });
            sendCommand(QStringLiteral("AUTH Login") + CrLf);
            if (!WaitForFlag(m_AuthAccepted, AuthSeconds, false)) {
                emit status(QStringLiteral("Host Login Failed!"));
                AddError(QStringLiteral("Login: Login failed"));
                RaiseFailure();
                return false;
            }
            emit status(QStringLiteral("Host Login OK!"));
            if (m_AbortFlag)
                return false;
        } else {
            emit status(QStringLiteral("Login Not Supported by Host, Continuing..."));
        }
    }
    return true;
}

bool clsSendMail::startTls(const QString& greeting)
{
    // The offer may stand on a later line of the reply than the first.
    if (!waitUntil([this] { return m_StartTlsOffered || m_replyEnded; }, connectTimeout(), true))
        return false;
    if (!m_StartTlsOffered) {
        AddError(QStringLiteral("The SMTP Host does not offer STARTTLS; nothing was sent "
                                "unencrypted, the log-in and message included"));
        RaiseFailure();
        return false;
    }
    // From the defaults each time: an earlier send's authorities stay out.
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    if (!m_CaFile.isEmpty()) {
        const QList<QSslCertificate> authorities = QSslCertificate::fromPath(m_CaFile);
        if (authorities.isEmpty()) {
            AddError(QStringLiteral("No certificate found in ") + m_CaFile);
            RaiseFailure();
            return false;
        }
        tls.addCaCertificates(authorities);
    }
    tls.setPeerVerifyMode(QSslSocket::VerifyPeer);
    m_socket->setSslConfiguration(tls);
    m_socket->setPeerVerifyName(m_SMTPHost);

    emit status(QStringLiteral("Starting TLS..."));
    m_ReplyOk = false;
    sendCommand(QStringLiteral("STARTTLS") + CrLf);
    if (!WaitForFlag(m_ReplyOk, connectTimeout(), true))
        return false;
    // Whatever came with the go-ahead came unprotected, and is not believed.
    m_received.clear();
    m_socket->readAll();
    m_Encrypted = false;
    m_socket->startClientEncryption();
    if (!WaitForFlag(m_Encrypted, connectTimeout(), true))
        return false;
    // Only what the server says over the protected connection counts.
    m_ReplyOk = m_AuthLoginOffered = m_AuthEqualsLogin = m_StartTlsOffered = false;
    sendCommand(greeting);
    return WaitForFlag(m_ReplyOk, connectTimeout(), true);
}

void clsSendMail::CloseSession()
{
    if (!socketClosed())
        emit status(QStringLiteral("Closing Connection..."));
    if (socketConnected() && !m_Closing) {
        m_ReplyOk = false;
        m_Closing = true;
        const auto closed = qScopeGuard([this] { m_Closing = false; });
        emit DebugPrint(QStringLiteral("QUIT"));
        m_socket->write("QUIT\r\n");
        WaitForFlag(m_ReplyOk, QuitSeconds, false);
    }
    closeSocket();
}

bool clsSendMail::Connect()
{
    m_KeepOpen = true;
    return OpenSession();
}

void clsSendMail::Disconnect()
{
    m_KeepOpen = false;
    CloseSession();
}

QString clsSendMail::MXQuery(const QString& IPDomain)
{
    const QString domain = IPDomain.trimmed();
    emit status(domain.isEmpty() ? QStringLiteral("Performing MX Query")
                                 : QStringLiteral("Performing MX Query, Domain: ") + domain);
    try {
        return m_mx->MXLookup(domain, m_env);
    } catch (const platform::RunError& e) {
        emit status(e.description());
    } catch (const std::exception& e) {
        emit status(QString::fromLocal8Bit(e.what()));
    }
    return {};
}

// ---- send

void clsSendMail::Send()
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

void clsSendMail::sendRun()
{
    SendValues values;
    if (!prepareSend(values))
        return;
    m_TotalEstimate = EstimateTransferSize();
    if (!socketConnected() && !OpenSession())
        return;

    m_BytesSent = 0;
    m_lastPercent = -1;
    const qint32 timeout = messageTimeout();
    emit status(QStringLiteral("Sending Sender Information..."));
    m_ReplyOk = false;
    sendCommand(QStringLiteral("MAIL FROM: <") + m.from + QLatin1Char('>') +
                (m_AuthEqualsLogin ? QStringLiteral(" AUTH=") + m.from : QString()) + CrLf);
    if (!WaitForFlag(m_ReplyOk, timeout, true) || m_AbortFlag)
        return;

    emit status(QStringLiteral("Sending Recipient Information..."));
    for (const QStringList* list : {&m.Recipient, &m.CcRecipient, &m.BccRecipient}) {
        for (const QString& address : *list) {
            m_ReplyOk = false;
            sendCommand(QStringLiteral("RCPT TO: <") + address + QLatin1Char('>') + CrLf);
            if (!WaitForFlag(m_ReplyOk, timeout, true) || m_AbortFlag)
                return;
        }
    }

    emit status(QStringLiteral("Sending Message..."));
    m_DataReady = false;
    sendCommand(QStringLiteral("DATA") + CrLf);
    if (!WaitForFlag(m_DataReady, timeout, true) || m_AbortFlag)
        return;
    m_ReplyOk = false;

    // The Date line tells when the message went, not when the send began.
    values.now = m_env.day->Now();
    if (m.EncodeType == 0)
        values.Boundary = makeBoundary(values.now);
    SessionWriter writer(*this);
    const StreamResult result = writeMessageStream(m, values, writer);
    if (!result.complete) {
        if (!m_AbortFlag) {
            AddError(result.error.isEmpty() ? SocketNotOpen : result.error);
            RaiseFailure();
        }
        return;
    }
    // A refusal of the message ends in QUIT, whose 221 sets ReplyOk too.
    if (!WaitForFlag(m_ReplyOk, timeout, true) || m_AbortFlag)
        return;
    m_lastPercent = 100;
    emit Progress(100);
    emit status(QStringLiteral("Transmission Complete..."));
    if (!m_KeepOpen)
        CloseSession();
    m_SentOk = true;
    m_LastResult = QStringLiteral("OK");
    emit SendSuccesful();
}

qint64 clsSendMail::EstimateTransferSize() const
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

} // namespace mail
