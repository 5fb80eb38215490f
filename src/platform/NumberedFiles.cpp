#include "platform/NumberedFiles.h"

#include "platform/RunError.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {
RunError badNumber(const char* operation)
{
    return RunError(RunError::BadFileNameOrNumber, QStringLiteral("Bad file name or number"),
                    QString::fromLatin1(operation));
}

RunError badMode(const char* operation)
{
    return RunError(RunError::BadFileMode, QStringLiteral("Bad file mode"),
                    QString::fromLatin1(operation));
}

int flagsFor(OpenKind kind)
{
    switch (kind) {
    case OpenKind::SequentialRead:
    case OpenKind::BinaryReadShared:
    case OpenKind::SequentialReadShared:
        return O_RDONLY;
    case OpenKind::SequentialWrite:
        return O_WRONLY | O_CREAT | O_TRUNC;
    case OpenKind::SequentialAppend:
        return O_WRONLY | O_CREAT | O_APPEND;
    case OpenKind::Binary:
        return O_RDWR | O_CREAT;
    case OpenKind::BinaryWriteOnly:
        return O_WRONLY | O_CREAT;
    case OpenKind::TruncateThenBinary:
        return O_RDWR | O_CREAT | O_TRUNC;
    }
    return O_RDONLY;
}
} // namespace

NumberedFiles::~NumberedFiles()
{
    for (Entry& e : m_entries)
        if (e.fd >= 0)
            ::close(e.fd);
}

qint16 NumberedFiles::reserve()
{
    for (qint16 n = First; n <= Last; ++n) {
        Entry& e = m_entries[n];
        if (!e.reserved) {
            e.reserved = true;
            return n;
        }
    }
    throw RunError(RunError::TooManyFiles, QStringLiteral("Too many files"),
                   QStringLiteral("FreeFile"));
}

void NumberedFiles::release(qint16 number)
{
    if (number >= First && number <= Last && m_entries[number].fd < 0)
        m_entries[number].reserved = false;
}

void NumberedFiles::open(qint16 number, const QString& path, OpenKind kind)
{
    static const char* const operation = "Open";
    if (number < First || number > Last || !m_entries[number].reserved)
        throw badNumber(operation);
    Entry& e = m_entries[number];
    if (e.fd >= 0)
        throw RunError(RunError::FileAlreadyOpen, QStringLiteral("File already open"),
                       QString::fromLatin1(operation));
    // The system would cut the name at a NUL and open another file.
    if (path.contains(QChar(0)))
        throw badNumber(operation);
    const int flags = flagsFor(kind);
    const int fd = ::open(QFile::encodeName(path).constData(), flags | O_CLOEXEC, 0666);
    if (fd < 0)
        throw RunError::fromErrno(errno, QString::fromLatin1(operation), path);
    struct stat st;
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        throw RunError::fromErrno(EISDIR, QString::fromLatin1(operation), path);
    }
    e.fd = fd;
    e.canRead = (flags & O_ACCMODE) != O_WRONLY;
    e.canWrite = (flags & O_ACCMODE) != O_RDONLY;
    e.path = path;
}

void NumberedFiles::close(qint16 number)
{
    Entry& e = openEntry(number, "Close");
    const int fd = e.fd;
    e = Entry{};
    if (::close(fd) != 0 && errno != EINTR)
        throw RunError::fromErrno(errno, QStringLiteral("Close"));
}

bool NumberedFiles::isOpen(qint16 number) const
{
    return number >= First && number <= Last && m_entries[number].fd >= 0;
}

NumberedFiles::Entry& NumberedFiles::openEntry(qint16 number, const char* operation)
{
    if (!isOpen(number))
        throw badNumber(operation);
    return m_entries[number];
}

const NumberedFiles::Entry& NumberedFiles::openEntry(qint16 number, const char* operation) const
{
    if (!isOpen(number))
        throw badNumber(operation);
    return m_entries[number];
}

qint64 NumberedFiles::length(qint16 number) const
{
    const Entry& e = openEntry(number, "LOF");
    struct stat st;
    if (::fstat(e.fd, &st) != 0)
        throw RunError::fromErrno(errno, QStringLiteral("LOF"));
    return st.st_size;
}

QByteArray NumberedFiles::read(qint16 number, qint64 count)
{
    const Entry& e = openEntry(number, "Get");
    if (!e.canRead)
        throw badMode("Get");
    QByteArray bytes;
    bytes.resize(qsizetype(qMax<qint64>(count, 0)));
    qint64 done = 0;
    while (done < count) {
        const ssize_t got = ::read(e.fd, bytes.data() + done, size_t(count - done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            throw RunError::fromErrno(errno, QStringLiteral("Get"), e.path);
        if (got == 0)
            break;
        done += got;
    }
    bytes.truncate(qsizetype(done));
    return bytes;
}

void NumberedFiles::write(qint16 number, const QByteArray& bytes)
{
    const Entry& e = openEntry(number, "Put");
    if (!e.canWrite)
        throw badMode("Put");
    qint64 done = 0;
    while (done < bytes.size()) {
        const ssize_t put = ::write(e.fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (put < 0 && errno == EINTR)
            continue;
        if (put < 0)
            throw RunError::fromErrno(errno, QStringLiteral("Put"), e.path);
        done += put;
    }
}

} // namespace platform
