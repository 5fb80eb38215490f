#include "messages/LogFile.h"

#include "filelib/FileOpen.h"
#include "platform/Version.h"

namespace messages {

void OpenLogFile(MessageLog& log, const platform::Env& env, QString& LogFileName,
                 const QString& FileMode, qint16 FileCommandMode,
                 const std::optional<QString>& FileDir)
{
    const QString title = QString::fromLatin1(platform::version::ProgramTitle);
    const QString main = QStringLiteral("Main");
    if (LogFileName.isEmpty())
        LogFileName =
            platform::GetSettingValue(*env.settings, title, main, QStringLiteral("LogFile"),
                                      title + QStringLiteral(".Log"))
                .toString();
    const filelib::Context ctx{env, log};
    const qint16 number = qint16(filelib::FileOpen(
        ctx, LogFileName, QStringLiteral("Logfiles (*.log)|*.log|Alle bestanden (*.*)|*.*"),
        FileMode, FileDir));
    log.setLogFile(number, FileCommandMode);
    platform::NumberedFiles* files = env.files;
    log.setLogWriter(
        [files](qint16 number, const QByteArray& line) { files->write(number, line); });
    env.settings->SaveSetting(title, main, QStringLiteral("LogFile"), LogFileName);
    env.settings->SaveSetting(title, main, QStringLiteral("CommandMode"),
                              QString::number(FileCommandMode));
}

} // namespace messages
