#pragma once

#include "filelib/Context.h"
#include "support/RecordingSink.h"
#include "support/TestEnv.h"

#include <QFile>
#include <QTemporaryDir>

namespace testing_support {

// The library on a temporary folder, with scripted prompts, memory settings,
// numbered files of its own and a sink that keeps every log line.
struct FileLib
{
    QTemporaryDir dir;
    TestEnv te;
    RecordingSink sink{te.prompts};
    filelib::Context ctx{te.env, sink};

    QString path(const QString& name) const { return dir.filePath(name); }
    QByteArray bytes(const QString& name) const
    {
        QFile f(path(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    void put(const QString& name, const QByteArray& content) const
    {
        QFile f(path(name));
        if (f.open(QIODevice::WriteOnly))
            f.write(content);
    }
    const ScriptedPrompts::Shown& lastShown() const { return te.prompts.shown().last(); }
};

} // namespace testing_support
