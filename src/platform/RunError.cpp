#include "platform/RunError.h"

#include <cerrno>
#include <cstring>

namespace platform {

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
    int number = PathFileAccessError;
    QString description;
    switch (err) {
    case ENOENT:
        number = FileNotFound;
        description = QStringLiteral("File not found");
        break;
    case ENOTDIR:
        number = PathNotFound;
        description = QStringLiteral("Path not found");
        break;
    case EACCES:
    case EPERM:
    case EROFS:
        number = PermissionDenied;
        description = QStringLiteral("Permission denied");
        break;
    case ENOSPC:
    case EDQUOT:
        number = DiskFull;
        description = QStringLiteral("Disk full");
        break;
    case EBADF:
    case ENAMETOOLONG:
    case EINVAL:
        number = BadFileNameOrNumber;
        description = QStringLiteral("Bad file name or number");
        break;
    case EBUSY:
        number = FileAlreadyOpen;
        description = QStringLiteral("File already open");
        break;
    default:
        description = QStringLiteral("Path/File access error (%1)")
                          .arg(QString::fromLocal8Bit(std::strerror(err)));
        break;
    }
    if (!path.isEmpty())
        description += QStringLiteral(": ") + path;
    return RunError(number, description, source);
}

} // namespace platform
