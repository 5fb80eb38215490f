#include "filelib/Paths.h"

#include "filelib/internal/Str.h"
#include "platform/RunError.h"
#include "platform/Version.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <unistd.h>

namespace filelib {

using platform::RunError;

QString AfterLastSeparator(const QString& Text, QChar Separator, bool SkipOne)
{
    const QString w = (SkipOne && !Text.isEmpty()) ? Text.mid(1) : Text;
    return w.mid(w.lastIndexOf(Separator) + 1);
}

QString UpToLastSeparator(const QString& Text, QChar Separator, bool SkipOne)
{
    const QString w = (SkipOne && !Text.isEmpty()) ? Text.chopped(1) : Text;
    return w.left(w.lastIndexOf(Separator) + 1);
}

QString FileFromFullFilename(const QString& FullFilename)
{
    return AfterLastSeparator(FullFilename, PathSeparator, true);
}

QString DirFromFullFilename(const QString& FullFilename)
{
    return UpToLastSeparator(FullFilename, PathSeparator, true);
}

namespace {

const QString Title = QString::fromLatin1(platform::version::ProgramTitle);

bool hasWildcards(const QString& name)
{
    return name.contains(QLatin1Char('*')) || name.contains(QLatin1Char('?'));
}

// "*" any run of characters, "?" one character; case matters, as it does
// for the names themselves.
bool wildcardMatch(QStringView pattern, QStringView name)
{
    qsizetype p = 0, n = 0, star = -1, resume = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == u'?' || pattern[p] == name[n])) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == u'*') {
            star = p++;
            resume = n;
        } else if (star >= 0) {
            p = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*')
        ++p;
    return p == pattern.size();
}

// A name the system cannot take at all is error 52.
void checkName(const QString& path)
{
    const QByteArray bytes = QFile::encodeName(path);
    bool bad = bytes.contains('\0') || bytes.size() >= PATH_MAX;
    for (const QByteArray& part : bytes.split('/'))
        bad = bad || part.size() > NAME_MAX;
    if (bad)
        throw RunError(RunError::BadFileNameOrNumber, QStringLiteral("Bad file name or number"),
                       Title);
}

// The names in the folder of `pattern` that match its last part; nullopt
// when the folder does not exist.
std::optional<QStringList> matchingNames(const QString& pattern, bool withFolders)
{
    QString folder = UpToLastSeparator(pattern, PathSeparator, false);
    const QString name = AfterLastSeparator(pattern, PathSeparator, false);
    if (folder.isEmpty())
        folder = QStringLiteral(".");
    if (!QFileInfo(folder).isDir())
        return std::nullopt;
    if (!name.isEmpty() && !hasWildcards(name)) {
        const QFileInfo one(QDir(folder).filePath(name));
        if (one.exists() && (withFolders || !one.isDir()))
            return QStringList{name};
        return QStringList{};
    }
    QDir::Filters filters = QDir::Files | QDir::Hidden | QDir::System;
    if (withFolders)
        filters |= QDir::Dirs;
    QStringList names = QDir(folder).entryList(filters, QDir::Name);
    if (!name.isEmpty())
        names.removeIf([&name](const QString& n) { return !wildcardMatch(name, n); });
    // Dot files are this system's hidden files: a listing of normal files
    // shows them only to a pattern that itself starts with a dot.
    if (!withFolders && !name.startsWith(QLatin1Char('.')))
        names.removeIf([](const QString& n) { return n.startsWith(QLatin1Char('.')); });
    return names;
}

} // namespace

QString DirListing::ControlledDir(const std::optional<QString>& Padnaam, qint32 Attributes)
{
    if (!Padnaam) {
        if (m_next >= m_names.size())
            return {};
        return m_names.at(m_next++);
    }
    m_names.clear();
    m_next = 0;
    if (Padnaam->isEmpty())
        return {};
    try {
        checkName(*Padnaam);
    } catch (const RunError&) {
        const QString part = UpToLastSeparator(*Padnaam, PathSeparator, false);
        QString folder = QDir(part.isEmpty() ? QStringLiteral(".") : part).absolutePath();
        if (!folder.endsWith(PathSeparator))
            folder += PathSeparator;
        m_prompts.MsgBox(QStringLiteral("Ernstige Systeemfout in ControlledDir. Systeem is "
                                        "onstabiel!"),
                         int(platform::box::OKOnly) | platform::box::Critical,
                         QStringLiteral("Directory:") + folder);
        throw RunError(RunError::BadFileNameOrNumber, QStringLiteral("Bad file name or number"),
                       QStringLiteral("ControlledDir"));
    }
    m_names = matchingNames(*Padnaam, (Attributes & AttrDirectory) != 0).value_or(QStringList{});
    return ControlledDir();
}

bool FileExists(platform::Prompts& prompts, const QString& Bestandsnaam)
{
    return !DirListing(prompts).ControlledDir(Bestandsnaam, AttrNormal).isEmpty();
}

bool DirExists(platform::Prompts& prompts, const QString& DirNaam)
{
    return !DirListing(prompts).ControlledDir(DirNaam, AttrDirectory).isEmpty();
}

namespace {
void killMatching(const QString& FileNm)
{
    checkName(FileNm);
    // No file part (an empty name, a folder with its separator) names no
    // file; listing the folder instead would delete all of it.
    if (AfterLastSeparator(FileNm, PathSeparator, false).isEmpty())
        throw RunError(RunError::FileNotFound, QStringLiteral("File not found"), Title);
    const std::optional<QStringList> names = matchingNames(FileNm, false);
    if (!names)
        throw RunError(RunError::PathNotFound, QStringLiteral("Path not found"), Title);
    if (names->isEmpty())
        throw RunError(RunError::FileNotFound, QStringLiteral("File not found"), Title);
    const QString folder = UpToLastSeparator(FileNm, PathSeparator, false);
    for (const QString& name : *names)
        if (::unlink(QFile::encodeName(folder + name).constData()) != 0 && errno != ENOENT)
            throw RunError::fromErrno(errno, Title, folder + name);
}
} // namespace

bool FileKill(platform::Prompts& prompts, const QString& FileNm)
{
    for (;;) {
        try {
            killMatching(FileNm);
            return true;
        } catch (const RunError& e) {
            QString text = QStringLiteral("Fout # ") + internal::Str(e.number());
            if (e.number() == RunError::PathFileAccessError)
                text += QStringLiteral(" Bestand is in gebruik. Sluit eerst de andere applicatie "
                                       "en probeer vervolgens opnieuw door op 'OK' te drukken. "
                                       "\r\n\r\nBestand=") +
                        FileNm;
            else
                text += QStringLiteral(" was aangemaakt door ") + e.source() + QLatin1Char('\r') +
                        e.description();
            if (prompts.MsgBox(text, platform::box::OKCancel,
                               QStringLiteral("Verwijderen bestand(en)")) != platform::box::OK)
                return false;
        }
    }
}

QString TempFileName(platform::TickClock& tick, const QString& Prefix)
{
    static constexpr int BufferLength = 260;
    QString buffer(BufferLength, QChar(0));
    const QString folder = QDir::tempPath();
    if (folder.isEmpty())
        return buffer;
    const QString start = folder + PathSeparator + Prefix.left(3);
    // Numbers 1 to FFFF, starting where the clock stands; a name that is
    // taken moves on to the next number.
    const quint32 first = tick.GetTickCount() % 0xFFFF;
    for (quint32 i = 0; i < 0xFFFF; ++i) {
        const quint32 unique = (first + i) % 0xFFFF + 1;
        const QString name = start + QString::number(unique, 16).toUpper() + QStringLiteral(".TMP");
        if (name.size() >= BufferLength)
            return buffer;
        const int fd = ::open(QFile::encodeName(name).constData(),
                              O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0600);
        if (fd >= 0) {
            ::close(fd);
            buffer.replace(0, name.size(), name);
            return buffer;
        }
        if (errno != EEXIST)
            return buffer;
    }
    return buffer;
}

} // namespace filelib
