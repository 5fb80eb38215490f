#pragma once

#include <QByteArray>
#include <QList>

namespace mail::internal {

// One whole reply of the server.
struct Reply
{
    QByteArray text;         // every line, line ends included, as received
    QList<QByteArray> lines; // each line without its line end
    // The first three characters, upper-cased ("250", "+OK", "-ER").
    QByteArray code() const { return text.left(3).toUpper(); }
    // The text of each line after its code and separator ("AUTH LOGIN").
    QList<QByteArray> arguments() const;
};

// Cuts what arrives on a connection into whole replies. An SMTP reply runs
// over lines of the form "250-..." to the first line without the "-" (RFC
// 5321 4.2.1); a POP3 reply is one line. Bytes are handed over only as
// whole replies, however the network cut them: a reply split over two reads
// is one reply, and two replies in one read are two.
class ReplyAssembler
{
public:
    enum class Mode
    {
        Smtp,
        Pop3
    };
    // A reply that grows beyond this without ending is handed over as it is,
    // so that a server cannot make the sender hold an endless reply.
    static constexpr qsizetype MaxReply = 64 * 1024;

    void setMode(Mode mode) { m_mode = mode; }
    // The replies the bytes completed, oldest first.
    QList<Reply> feed(const QByteArray& bytes);
    // Forgets what has not yet made a whole reply.
    void clear();

private:
    Mode m_mode = Mode::Smtp;
    QByteArray m_pending;      // the unfinished reply
    qsizetype m_lineStart = 0; // where its unfinished line begins
};

} // namespace mail::internal
