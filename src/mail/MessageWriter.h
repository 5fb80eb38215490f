#pragma once

#include <QByteArray>
#include <QString>

namespace mail {

// Where the message stream goes: the session's socket, or a byte sink.
class MessageWriter
{
public:
    virtual ~MessageWriter() = default;
    // One piece of the stream, as one send call. False when it cannot be
    // sent (the connection is gone); the stream then ends with a failure.
    virtual bool send(const QByteArray& piece) = 0;
    // The protocol trace of a piece, for the pieces that are traced.
    virtual void trace(const QString& text) { Q_UNUSED(text); }
    // Before each attachment's part.
    virtual void beginAttachment(const QString& name, bool embedded)
    {
        Q_UNUSED(name);
        Q_UNUSED(embedded);
    }
    // After each attachment's part; false stops the stream (the send was
    // given up, and its failure already reported).
    virtual bool attachmentSent() { return true; }
};

} // namespace mail
