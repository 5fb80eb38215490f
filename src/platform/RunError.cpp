#include "platform/RunError.h"

#include <QDir>
#include <QFileInfo>
#include <cerrno>

namespace platform {

namespace {
bool parentExists(QString path)
{
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return QFileInfo(path).dir().exists();
}
} // namespace

RunError::RunError(int number, QString description, QString source)
    : m_number(number), m_description(std::move(description)), m_source(std::move(source)),
      m_what(text().toStdString())
{
}

QString RunError::text() const
{
    QString t = QStringLiteral("Error %1: %2").arg(m_number).arg(m_description);
    if (!m_source.isEmpty())
        t += QStringLiteral(" (%1)").arg(m_source);
    return t;
}

RunError RunError::fromErrno(int err, const QString& source, const QString& path)
{
    switch (err) {
    case ENOENT:
        // open() says ENOENT both for a missing file and for a missing
        // folder on the way to it; the library treats the two differently.
        if (!path.isEmpty() && !parentExists(path))
            return RunError(PathNotFound, QStringLiteral("Path not found"), source);
        return RunError(FileNotFound, QStringLiteral("File not found"), source);
    case ENOTDIR:
        return RunError(PathNotFound, QStringLiteral("Path not found"), source);
    case ENAMETOOLONG:
    case EINVAL:
    case EBADF:
        return RunError(BadFileNameOrNumber, QStringLiteral("Bad file name or number"), source);
    case ENOSPC:
    case EDQUOT:
        return RunError(DiskFull, QStringLiteral("Disk full"), source);
    case EMFILE:
    case ENFILE:
        return RunError(TooManyFiles, QStringLiteral("Too many files"), source);
    default:
        return RunError(PathFileAccessError, QStringLiteral("Path/File access error"), source);
    }
}

} // namespace platform
