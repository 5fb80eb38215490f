#include "mail/internal/ReplyAssembler.h"

namespace mail::internal {

namespace {

QByteArray withoutLineEnd(QByteArray line)
{
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    return line;
}

Reply makeReply(const QByteArray& text)
{
    Reply reply;
    reply.text = text;
    for (const QByteArray& line : text.split('\n'))
        if (!line.isEmpty())
            reply.lines << withoutLineEnd(line);
    return reply;
}

} // namespace

QList<QByteArray> Reply::arguments() const
{
    QList<QByteArray> out;
    for (const QByteArray& line : lines)
        out << line.mid(4).trimmed();
    return out;
}

QList<Reply> ReplyAssembler::feed(const QByteArray& bytes)
{
    QList<Reply> replies;
    m_pending += bytes;
    for (;;) {
        const qsizetype end = m_pending.indexOf('\n', m_lineStart);
        if (end < 0)
            break;
        const QByteArray line = m_pending.mid(m_lineStart, end - m_lineStart);
        m_lineStart = end + 1;
        const bool continues = m_mode == Mode::Smtp && line.size() >= 4 && line[3] == '-';
        if (!continues) {
            replies << makeReply(m_pending.left(m_lineStart));
            m_pending.remove(0, m_lineStart);
            m_lineStart = 0;
        }
    }
    if (m_pending.size() > MaxReply) {
        replies << makeReply(m_pending);
        clear();
    }
    return replies;
}

void ReplyAssembler::clear()
{
    m_pending.clear();
    m_lineStart = 0;
}

} // namespace mail::internal
