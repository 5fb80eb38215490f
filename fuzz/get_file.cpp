// GetFile on a file holding arbitrary bytes gives exactly those bytes, one
// character each, without a question; PutFile of that text writes the tagged
// layout around the same bytes. Everything happens in a temporary folder.
#include "Fuzz.h"
#include "filelib/WholeFiles.h"
#include "support/RecordingSink.h"
#include "support/ScriptedPrompts.h"

#include <QFile>
#include <QTemporaryDir>

namespace {

QByteArray tagged(const QByteArray& bytes)
{
    const auto n = quint32(bytes.size());
    QByteArray out("\x08\x00", 2);
    if (n < 0xFFFF) {
        out += char(n & 0xFF);
        out += char(n >> 8);
    } else {
        out += QByteArray("\xFF\xFF", 2);
        for (int shift = 0; shift < 32; shift += 8)
            out += char((n >> shift) & 0xFF);
    }
    return out + bytes;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static QTemporaryDir folder;
    const QByteArray bytes = fuzz::bytes(data, size);
    const QString path = folder.filePath(QStringLiteral("file.bin"));
    {
        QFile f(path);
        fuzz::require(f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == size,
                      "the input file is written");
    }
    testing_support::ScriptedPrompts prompts;
    testing_support::RecordingSink sink;
    platform::NumberedFiles files;
    platform::Env env;
    env.prompts = &prompts;
    env.files = &files;
    const filelib::Context ctx{env, sink};

    QString name = path;
    const QString text = filelib::GetFile(ctx, name);
    fuzz::require(name == path, "GetFile keeps the name");
    fuzz::require(text == QString::fromLatin1(bytes), "GetFile gives the file's bytes");

    fuzz::require(filelib::PutFile(ctx, name, text, true), "PutFile replaces without asking");
    QFile f(path);
    fuzz::require(f.open(QIODevice::ReadOnly) && f.readAll() == tagged(bytes),
                  "PutFile writes the tag, the count and the bytes");
    fuzz::require(files.reserve() == platform::NumberedFiles::First, "every file is closed again");
    // The file is there and may be replaced: nothing to ask or report.
    fuzz::require(prompts.shown().isEmpty(), "no question");
    fuzz::require(sink.lines.isEmpty(), "no message", sink.lines.join(QLatin1Char('\n')));
    return 0;
}
