#include "filelib/WholeFiles.h"

#include "filelib/FileOpen.h"
#include "platform/RunError.h"

namespace filelib {

using platform::RunError;

namespace {

constexpr quint16 TextTag = 8;
constexpr quint16 LongCount = 0xFFFF;

// Closes the file when the routine leaves, also by an error.
class OpenFile
{
public:
    OpenFile(platform::NumberedFiles& files, qint16 number) : m_files(files), m_number(number) {}
    ~OpenFile()
    {
        if (m_files.isOpen(m_number))
            platform::skipOnError([this] { m_files.close(m_number); });
    }
    void close() { m_files.close(m_number); }

private:
    platform::NumberedFiles& m_files;
    qint16 m_number;
};

QByteArray taggedText(const QString& Buffer)
{
    for (const QChar c : Buffer)
        if (c.unicode() > 0xFF)
            throw RunError(RunError::TypeMismatch,
                           QStringLiteral("Type mismatch: the text holds a character that a byte "
                                          "cannot hold (U+%1)")
                               .arg(c.unicode(), 4, 16, QLatin1Char('0')),
                           QStringLiteral("PutFile"));
    QByteArray bytes;
    auto put16 = [&bytes](quint16 v) {
        bytes.append(char(v & 0xFF));
        bytes.append(char(v >> 8));
    };
    put16(TextTag);
    if (Buffer.size() < LongCount) {
        put16(quint16(Buffer.size()));
    } else {
        put16(LongCount);
        const quint32 n = quint32(Buffer.size());
        for (int shift = 0; shift < 32; shift += 8)
            bytes.append(char((n >> shift) & 0xFF));
    }
    bytes.append(Buffer.toLatin1());
    return bytes;
}

} // namespace

QString GetFile(const Context& ctx, QString& file1)
{
    const qint16 n = FileOpen(ctx, file1, QString(), QStringLiteral("INPUT-BINARY"), QString());
    if (n <= 0 || file1.isEmpty()) {
        if (n > 0)
            ctx.files().close(n);
        ctx.sink.AddMelding(QStringLiteral("GetFile: Geen bestand opgegeven"), 0, false, 0);
        return QStringLiteral("*ERROR*");
    }
    OpenFile file(ctx.files(), n);
    const QByteArray bytes = ctx.files().read(n, ctx.files().length(n));
    file.close();
    return QString::fromLatin1(bytes);
}

bool PutFile(const Context& ctx, QString& file1, const QString& Buffer, bool Replace)
{
    const QByteArray bytes = taggedText(Buffer);
    const qint16 n = FileOpen(
        ctx, file1, QString(),
        Replace ? QStringLiteral("OUTPUT-BINARY-NQ") : QStringLiteral("OUTPUT-BINARY"), QString());
    if (n <= 0)
        return false;
    OpenFile file(ctx.files(), n);
    ctx.files().write(n, bytes);
    file.close();
    return true;
}

} // namespace filelib
