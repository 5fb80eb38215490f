#include "filelib/RememberedFiles.h"

#include "filelib/FileOpen.h"
#include "filelib/Paths.h"
#include "platform/Version.h"

#include <QDir>

namespace filelib {

namespace {
const QString Title = QString::fromLatin1(platform::version::ProgramTitle);

// A folder and a name joined by one separator. No folder means the current
// one, not the root.
QString inFolder(const QString& folder, const QString& name)
{
    if (folder.isEmpty() || folder.endsWith(PathSeparator))
        return folder + name;
    return folder + PathSeparator + name;
}
} // namespace

QString FullFilename(const Context& ctx, const QString& Label, const QString& Selection,
                     const QString& Filename, const QString& Default)
{
    const QString Main = QStringLiteral("Main");
    const QString folder = ctx.settings().GetSetting(Title, Main, Label, Default);
    QString full = inFolder(folder, Filename);
    if (Filename.isEmpty() || !FileExists(ctx.prompts(), full)) {
        QString picked = Filename;
        FileOpenDialog(ctx, picked, Selection, QStringLiteral("INPUT"), QString(), folder);
        full = picked;
    }
    if (!full.isEmpty())
        ctx.settings().SaveSetting(Title, Main, Label,
                                   UpToLastSeparator(full, PathSeparator, true));
    return full;
}

QString BepaalVolledigeBestandsnaamReg(const Context& ctx, const QString& FileNaamInv,
                                       const QString& RegisterSleutel,
                                       const QString& RegisterWaarde, const QString& Filter,
                                       const QString& DefaultDirectory)
{
    QString folder = platform::GetSettingValue(ctx.settings(), Title, RegisterSleutel,
                                               RegisterWaarde, DefaultDirectory)
                         .toString();
    // A remembered folder that is not absolute cannot be trusted to mean the
    // same place from another current folder.
    if (!QDir::isAbsolutePath(folder))
        folder = DefaultDirectory;
    if (!folder.isEmpty() && !folder.endsWith(PathSeparator))
        folder += PathSeparator;
    const QString name =
        platform::GetSettingValue(ctx.settings(), Title, RegisterSleutel, FileNaamInv, FileNaamInv)
            .toString();
    QString full = folder + name;
    const QString mode =
        QDir::isAbsolutePath(full) ? QStringLiteral("INPUT") : QStringLiteral("INPUT-Q");
    const qint16 n = FileOpen(ctx, full, Filter, mode, folder);
    if (n > 0) {
        if (folder + name != full) {
            ctx.settings().SaveSetting(Title, RegisterSleutel, RegisterWaarde,
                                       UpToLastSeparator(full, PathSeparator, true));
            ctx.settings().SaveSetting(Title, RegisterSleutel, FileNaamInv,
                                       AfterLastSeparator(full, PathSeparator, true));
        }
        ctx.files().close(n);
        return full;
    }
    ctx.sink.AddMsgBoxMelding(
        QStringLiteral("Kan het bestand ") + full + QStringLiteral(" niet vinden."),
        QStringLiteral("Bestand zoeken"), platform::box::Critical, false, 0, true);
    return QString();
}

} // namespace filelib
