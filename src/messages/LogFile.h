#pragma once

#include "messages/MessageLog.h"
#include "platform/Env.h"

#include <QString>
#include <optional>

namespace messages {

// Opens the log file through FileOpen with the mode word FileMode (for
// example "APPEND" or "OUTPUT-Q") and from now on copies every message of
// `log` to it while bit 1 of FileCommandMode is set. An empty LogFileName
// becomes the one stored under "Main"/"LogFile", else "Straatwijs.Log"; a
// relative name is taken from the current folder unless FileOpen joins it
// to FileDir. LogFileName receives the name finally opened. Afterwards
// log.LogFileNumber holds the file number (-1 when the user cancelled) and
// the name and command mode are stored under "Main"/"LogFile" and
// "Main"/"CommandMode". A further call moves the copy to the new file.
// Failures of the settings store throw RunError.
void OpenLogFile(MessageLog& log, const platform::Env& env, QString& LogFileName,
                 const QString& FileMode, qint16 FileCommandMode,
                 const std::optional<QString>& FileDir = std::nullopt);

} // namespace messages
