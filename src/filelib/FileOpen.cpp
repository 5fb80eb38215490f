#include "filelib/FileOpen.h"

#include "filelib/Paths.h"
#include "filelib/internal/Str.h"
#include "platform/RunError.h"

#include <QDir>
#include <QFile>
#include <array>
#include <cerrno>
#include <sys/stat.h>

namespace filelib {

using platform::OpenKind;
using platform::RunError;

namespace {

enum class Join
{
    None,
    Folder, // a bare name goes into FileDir, doubled separators reduced
    Prefix, // FileDir + "/" + name, once, with no questions on failure
};

struct Mode
{
    const char* word;
    const char* dialogFirst; // the dialog's Moment, or null
    bool replaceQuestion;
    OpenKind kind;
    Join join;
    bool saveDialog;
};

constexpr std::array<Mode, 20> Modes{{
    {"INPUT", nullptr, false, OpenKind::SequentialRead, Join::Folder, false},
    {"INPUT-NP", nullptr, false, OpenKind::SequentialRead, Join::Folder, false},
    {"INPUT-Q", "Q", false, OpenKind::SequentialRead, Join::None, false},
    {"OUTPUT", nullptr, true, OpenKind::SequentialWrite, Join::None, true},
    {"OUTPUT-NT", nullptr, false, OpenKind::SequentialWrite, Join::None, false},
    {"OUTPUT-Q", "Q", false, OpenKind::SequentialWrite, Join::None, true},
    {"OUTPUT-QU", "QU", true, OpenKind::SequentialWrite, Join::None, true},
    {"APPEND", nullptr, false, OpenKind::SequentialAppend, Join::None, true},
    {"APPEND-Q", "Q", false, OpenKind::SequentialAppend, Join::None, true},
    {"BINARY", nullptr, false, OpenKind::Binary, Join::None, true},
    {"BINARY-WRITE", nullptr, false, OpenKind::BinaryWriteOnly, Join::None, false},
    {"BINARY-Q", "Q", false, OpenKind::Binary, Join::None, true},
    {"INPUT-BINARY", nullptr, false, OpenKind::Binary, Join::None, false},
    {"INPUT-BINARY-SHARED", nullptr, false, OpenKind::BinaryReadShared, Join::None, false},
    {"INPUT-SHARED-NQ", nullptr, false, OpenKind::SequentialReadShared, Join::Prefix, false},
    {"INPUT-BINARY-SHARED-NQ", nullptr, false, OpenKind::BinaryReadShared, Join::Prefix, false},
    {"INPUT-BINARY-Q", "Q", false, OpenKind::Binary, Join::None, false},
    {"OUTPUT-BINARY", nullptr, true, OpenKind::TruncateThenBinary, Join::None, true},
    {"OUTPUT-BINARY-NQ", nullptr, false, OpenKind::TruncateThenBinary, Join::None, false},
    {"OUTPUT-BINARY-Q", "Q", true, OpenKind::TruncateThenBinary, Join::None, true},
}};

const Mode* findMode(const QString& FileMode)
{
    const QString word = FileMode.toUpper();
    for (const Mode& m : Modes)
        if (word == QLatin1String(m.word))
            return &m;
    return nullptr;
}

// Gives the reserved number back unless a file was opened under it.
class Reservation
{
public:
    explicit Reservation(platform::NumberedFiles& files) : m_files(files), m_number(files.reserve())
    {
    }
    ~Reservation()
    {
        if (!m_files.isOpen(m_number))
            m_files.release(m_number);
    }
    qint16 number() const { return m_number; }

private:
    platform::NumberedFiles& m_files;
    qint16 m_number;
};

// The "-NQ" modes: one attempt, a failure is a line in the log.
qint16 openWithoutQuestions(const Context& ctx, const Mode& mode, qint16 number,
                            const QString& Filenaam, const std::optional<QString>& FileDir)
{
    const QString dir = FileDir.value_or(QString());
    const QString path = dir.trimmed().isEmpty() ? Filenaam : dir + PathSeparator + Filenaam;
    try {
        ctx.files().open(number, path, mode.kind);
        return number;
    } catch (const RunError& e) {
        const bool showPath = mode.kind == OpenKind::SequentialReadShared;
        ctx.sink.AddMelding(QStringLiteral("File: ") + (showPath ? path : Filenaam) +
                                QLatin1Char(' ') + e.description() + QLatin1Char('(') +
                                internal::Str(e.number()) + QLatin1Char(')'),
                            0);
        return -1;
    }
}

} // namespace

qint16 FileOpen(const Context& ctx, QString& Filenaam, const QString& FileTypes,
                const QString& FileMode, const std::optional<QString>& FileDir)
{
    Reservation reserved(ctx.files());
    const qint16 number = reserved.number();
    const Mode* mode = findMode(FileMode);
    if (!mode) {
        // No file is open, so no number is handed out for the caller to use.
        ctx.prompts().MsgBox(QStringLiteral("Onbekende open opdracht aangetroffen"),
                             platform::box::OKOnly, FileMode);
        return -1;
    }
    if (mode->join == Join::Prefix)
        return openWithoutQuestions(ctx, *mode, number, Filenaam, FileDir);

    if (mode->join == Join::Folder && FileDir && !FileDir->trimmed().isEmpty() &&
        !Filenaam.contains(PathSeparator)) {
        Filenaam = *FileDir + PathSeparator + Filenaam;
        Filenaam.replace(QStringLiteral("//"), QStringLiteral("/"));
    }
    if (mode->dialogFirst && FileOpenDialog(ctx, Filenaam, FileTypes, FileMode,
                                            QString::fromLatin1(mode->dialogFirst), FileDir) != 0)
        return -1;
    if (QLatin1String(mode->word) == QLatin1String("OUTPUT-QU"))
        Filenaam = UpToLastSeparator(Filenaam, PathSeparator, false) +
                   AfterLastSeparator(Filenaam, PathSeparator, false).toUpper();

    // After a failure only the step that failed runs again, with the
    // folder made or the name the user picked.
    bool askFirst = mode->replaceQuestion;
    for (;;) {
        try {
            if (askFirst) {
                if (FileExists(ctx.prompts(), Filenaam) &&
                    ctx.prompts().MsgBox(Filenaam, platform::box::OKCancel,
                                         QStringLiteral("Bestand bestaat reeds, vervangen?")) !=
                        platform::box::OK)
                    return -1;
                askFirst = false;
            }
            ctx.files().open(number, Filenaam, mode->kind);
            return number;
        } catch (const RunError& e) {
            const bool writing = !QLatin1String(mode->word).startsWith(QLatin1String("INPUT"));
            if (e.number() == RunError::PathNotFound && writing) {
                if (MkPath(ctx, Filenaam, QStringLiteral("J"), false, false) != 0)
                    return -1;
            } else if (FileOpenDialog(ctx, Filenaam, FileTypes, FileMode, QStringLiteral("E"),
                                      FileDir) != 0) {
                return -1;
            }
        }
    }
}

qint16 FileOpenDialog(const Context& ctx, QString& Filenaam, const QString& FileTypes,
                      const QString& FileMode, const QString& Moment,
                      const std::optional<QString>& FileDir)
{
    platform::FileDialogRequest request;
    if (Moment == QLatin1String("E"))
        request.title = QStringLiteral("Kan bestand:") + Filenaam +
                        QStringLiteral(" niet vinden, geef de "
                                       "bestandsnaam");
    else if (!Filenaam.isEmpty())
        request.title = QStringLiteral("Geef de plaats van bestand: ") + Filenaam;
    else
        request.title = QStringLiteral("Geef de bestandsnaam:");
    request.filter = FileTypes.isEmpty() ? QStringLiteral("Alle bestanden (*.*)|*.*") : FileTypes;
    const bool hasFolder = Filenaam.contains(PathSeparator);
    request.fileName = hasFolder ? AfterLastSeparator(Filenaam, PathSeparator, false) : Filenaam;
    if (FileDir)
        request.directory = *FileDir;
    else if (hasFolder)
        request.directory = UpToLastSeparator(Filenaam, PathSeparator, false);
    else
        request.directory = QDir::currentPath();
    const Mode* mode = findMode(FileMode);
    request.kind = (mode && mode->saveDialog) ? platform::FileDialogRequest::Save
                                              : platform::FileDialogRequest::Open;

    const std::optional<QString> chosen = ctx.prompts().FileDialog(request);
    if (!chosen || chosen->isEmpty()) {
        Filenaam.clear();
        return -1;
    }
    Filenaam = *chosen;
    return 0;
}

namespace {
// One level; the error says why it could not be made.
void makeFolder(const QString& Pad)
{
    if (::mkdir(QFile::encodeName(Pad).constData(), 0777) != 0)
        throw RunError::fromErrno(errno, QStringLiteral("MkDir"), Pad);
}
} // namespace

qint16 MkPath(const Context& ctx, const QString& Filenaam, const QString& Vraag,
              bool MinstensEenByte, bool Melding)
{
    const QString Pad = UpToLastSeparator(Filenaam, PathSeparator, MinstensEenByte);
    if (Pad.isEmpty())
        return -1;
    if (Vraag == QLatin1String("J") &&
        ctx.prompts().MsgBox(Pad, platform::box::OKCancel,
                             QStringLiteral("Pad bestaat niet. Dit pad aanmaken?")) !=
            platform::box::OK)
        return -1;
    try {
        makeFolder(Pad);
    } catch (const RunError& e) {
        if (e.number() != RunError::PathNotFound)
            return -1;
        // The parents first, from the root down; then this folder once more.
        if (MkPath(ctx, Pad, Vraag, true, false) != 0)
            return -1;
        try {
            makeFolder(Pad);
        } catch (const RunError&) {
            return -1;
        }
    }
    if (Melding)
        ctx.sink.AddMelding(QStringLiteral("Directory aangemaakt:") + Pad, 1);
    return 0;
}

} // namespace filelib
