#pragma once

#include <QFile>
#include <QHostAddress>
#include <QList>
#include <QNetworkDatagram>
#include <QSslCertificate>
#include <QSslKey>
#include <QSslSocket>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTimer>
#include <QUdpSocket>
#include <QtEndian>
#include <functional>

namespace testing_support {

// A mail server on 127.0.0.1 that plays a script: each connection takes the
// next entry as its greeting, each line a client sends takes the next entry as
// its reply, and the lines are recorded. After a reply beginning "354" the data
// through the line "." is one entry, recorded as "<data>" (the bytes in
// `data`). Entries: "" answers nothing; "<close>" closes the connection (in
// the data, at its first bytes); "<stall>" after a 354 reply stops reading
// for good (with a small receive buffer, so the sender's writes back up); a
// reply ending in "<tls>" starts TLS once sent; a "|" splits a reply into two
// writes `splitMs` apart.
class ScriptedPeer : public QTcpServer
{
public:
    explicit ScriptedPeer(QList<QByteArray> script) : m_script(std::move(script))
    {
        listen(QHostAddress::LocalHost);
    }
    quint16 port() const { return serverPort(); }

    QList<QByteArray> received;
    QByteArray data;
    int connections = 0;
    QString tlsFolder; // server.pem and server.key for "<tls>"
    int splitMs = 20;  // between the two writes of a reply with "|"

protected:
    void incomingConnection(qintptr descriptor) override
    {
        auto* socket = new QSslSocket(this);
        socket->setSocketDescriptor(descriptor);
        if (m_script.contains("<stall>"))
            socket->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 8192);
        ++connections;
        QObject::connect(socket, &QIODevice::readyRead, socket, [this, socket] { read(socket); });
        reply(socket, next());
    }

private:
    QByteArray next() { return m_script.isEmpty() ? QByteArray() : m_script.takeFirst(); }

    void reply(QSslSocket* socket, QByteArray text)
    {
        if (text == "<close>")
            return socket->disconnectFromHost();
        const bool tls = text.endsWith("<tls>");
        text.chop(tls ? 5 : 0);
        m_inData = text.startsWith("354");
        if (m_inData && m_script.value(0) == "<stall>") {
            m_script.removeFirst();
            received << "<stalled>";
            socket->setReadBufferSize(8192);
            m_stalled = true;
        }
        const QList<QByteArray> pieces = text.split('|');
        socket->write(pieces[0]);
        if (pieces.size() > 1) {
            socket->flush();
            QTimer::singleShot(splitMs, socket,
                               [socket, rest = pieces[1]] { socket->write(rest); });
        }
        if (tls) {
            socket->setLocalCertificate(
                QSslCertificate::fromPath(tlsFolder + "/server.pem").value(0));
            QFile key(tlsFolder + "/server.key");
            key.open(QIODevice::ReadOnly);
            socket->setPrivateKey(QSslKey(&key, QSsl::Rsa));
            socket->startServerEncryption();
        }
    }

    // Each command line, or the data through the line ".", gets its reply.
    void read(QSslSocket* socket)
    {
        if (m_stalled)
            return;
        m_buffer += socket->readAll();
        for (;;) {
            if (m_inData && !m_buffer.isEmpty() && m_script.value(0) == "<close>") {
                m_script.removeFirst();
                received << "<data cut>";
                return socket->abort();
            }
            const qsizetype end = m_buffer.indexOf(m_inData ? "\r\n.\r\n" : "\n");
            if (end < 0)
                return;
            QByteArray line = m_buffer.left(end);
            m_buffer.remove(0, end + (m_inData ? 5 : 1));
            if (m_inData)
                data = line + "\r\n.\r\n";
            else if (line.endsWith('\r'))
                line.chop(1);
            received << (m_inData ? QByteArray("<data>") : line);
            m_inData = false;
            reply(socket, next());
        }
    }

    QList<QByteArray> m_script;
    QByteArray m_buffer;
    bool m_inData = false;
    bool m_stalled = false;
};

// A DNS server on 127.0.0.1 that answers each question with what `answer`
// makes of it (nothing when that is empty) and records the questions.
class DnsPeer
{
public:
    DnsPeer()
    {
        socket.bind(QHostAddress::LocalHost, 0);
        QObject::connect(&socket, &QUdpSocket::readyRead, [this] {
            while (socket.hasPendingDatagrams()) {
                const QNetworkDatagram question = socket.receiveDatagram();
                questions << question.data();
                if (heard)
                    heard(question);
                const QList<QByteArray> replies =
                    answer ? answer(question.data())
                           : QList<QByteArray>{reply(question.data(), 0, {})};
                for (const QByteArray& r : replies)
                    socket.writeDatagram(r, question.senderAddress(), question.senderPort());
            }
        });
    }
    ~DnsPeer()
    {
        qunsetenv("STRAATWIJS_RESOLV_CONF");
        qunsetenv("STRAATWIJS_DNS_PORT");
    }
    quint16 port() const { return socket.localPort(); }
    // Points the lookup at this peer through a resolver file in `dir`.
    void configure(const QTemporaryDir& dir, const QByteArray& conf)
    {
        QFile file(dir.filePath("resolv.conf"));
        file.open(QIODevice::WriteOnly);
        file.write(conf);
        qputenv("STRAATWIJS_RESOLV_CONF", file.fileName().toLocal8Bit());
        qputenv("STRAATWIJS_DNS_PORT", QByteArray::number(port()));
    }

    // The answer records for a question: the question echoed with its
    // identifier, flags 0x8180 and the answer count, then the records.
    static QByteArray reply(const QByteArray& question, quint16 count, const QByteArray& records)
    {
        QByteArray r = question;
        r[2] = char(0x81);
        r[3] = char(0x80);
        qToBigEndian(count, r.data() + 6);
        return r + records;
    }
    // An MX record owned by the question's name (a pointer to offset 12).
    static QByteArray mx(quint16 preference, const QByteArray& labels)
    {
        QByteArray r("\xC0\x0C\x00\x0F\x00\x01\x00\x00\x0E\x10", 10);
        QByteArray rdata(2, '\0');
        qToBigEndian(preference, rdata.data());
        rdata += labels;
        QByteArray length(2, '\0');
        qToBigEndian(quint16(rdata.size()), length.data());
        return r + length + rdata;
    }

    QUdpSocket socket;
    QList<QByteArray> questions;
    std::function<void(const QNetworkDatagram& question)> heard;
    // Without one, every question gets an empty answer.
    std::function<QList<QByteArray>(const QByteArray& question)> answer;
    // Every question gets `count` answer records, `records`.
    void answerWith(quint16 count, const QByteArray& records)
    {
        answer = [count, records](const QByteArray& q) {
            return QList<QByteArray>{reply(q, count, records)};
        };
    }
};

// The name in label form, with its final 0.
inline QByteArray labels(const QByteArray& name)
{
    QByteArray out;
    for (const QByteArray& piece : name.split('.'))
        out += char(piece.size()) + piece;
    return out + '\0';
}

} // namespace testing_support
