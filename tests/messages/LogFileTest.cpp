#include "messages/LogFile.h"

#include "support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using messages::MessageLog;
using messages::OpenLogFile;

namespace {
QByteArray content(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}
} // namespace

TEST(LogFile, AppendsEveryMessageToTheRememberedFile)
{
    QTemporaryDir dir;
    const QString before = QDir::currentPath();
    QDir::setCurrent(dir.path());
    testing_support::TestEnv te;
    for (const char* message : {"een", "twee"}) {
        // Each run appends to the name stored (by default "Straatwijs.Log").
        MessageLog log(te.prompts);
        QString name;
        OpenLogFile(log, te.env, name, "append", 1);
        EXPECT_EQ(name, "Straatwijs.Log");
        log.AddMsgBoxMelding(message, "Titel");
        te.files.close(log.logFileNumber());
    }
    QDir::setCurrent(before);
    EXPECT_EQ(content(dir.filePath("Straatwijs.Log")), "Titel\r\neen\r\nTitel\r\ntwee\r\n");
    EXPECT_EQ(te.settings.values["Straatwijs/Main/CommandMode"], "1");
}
