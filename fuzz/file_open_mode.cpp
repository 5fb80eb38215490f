// FileOpen with arbitrary mode text. The input is laid out as
//   byte 0   the folder argument (low 3 bits) and what lies on disk (bits 3-5)
//   byte 1   the file name
//   byte 2   how many answers the user gives (0-4), then one byte each
//   the rest the mode word, as UTF-8
// Once the answers run out a box takes its default answer and a file dialog
// is cancelled, as in a run without a display. Every name given or picked
// lies in a fresh folder below a temporary one, which is also the working
// directory, so no file outside it is touched. A number comes back open, or
// none is taken.
#include "Fuzz.h"
#include "filelib/FileOpen.h"
#include "support/RecordingSink.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QTemporaryDir>
#include <unistd.h>

namespace {

QString work;

QStringList names()
{
    return {work + QStringLiteral("/a.txt"),
            work + QStringLiteral("/sub/b.txt"),
            work + QStringLiteral("/new/deeper/c.txt"),
            work + QStringLiteral("/plain/below"),
            work + QStringLiteral("/sub/"),
            work + QStringLiteral("//sub//b.txt"),
            QStringLiteral("a.txt"),
            QStringLiteral("sub/b.txt"),
            QStringLiteral("lower.txt"),
            QString()};
}

std::optional<QString> folderArgument(int choice)
{
    switch (choice % 6) {
    case 0:
        return std::nullopt;
    case 1:
        return QString();
    case 2:
        return QStringLiteral("  ");
    case 3:
        return work;
    case 4:
        return work + QStringLiteral("/sub");
    default:
        return work + QStringLiteral("/missing");
    }
}

class ScriptedAnswers : public platform::Prompts
{
public:
    QList<uchar> answers;

    int MsgBox(const QString&, int buttons, const QString&) override
    {
        if (answers.isEmpty())
            return platform::box::defaultAnswer(buttons);
        switch (answers.takeFirst() % 3) {
        case 0:
            return platform::box::OK;
        case 1:
            return platform::box::Cancel;
        default:
            return platform::box::defaultAnswer(buttons);
        }
    }
    std::optional<QString> InputBox(const QString&, const QString&, const QString& def) override
    {
        return def;
    }
    std::optional<QString> FileDialog(const platform::FileDialogRequest&) override
    {
        if (answers.isEmpty())
            return std::nullopt;
        const QStringList all = names();
        const int pick = answers.takeFirst() % (all.size() + 1);
        if (pick == 0)
            return std::nullopt;
        return all[pick - 1];
    }
};

void freshFolder(int disk)
{
    QDir(work).removeRecursively();
    QDir().mkpath(work);
    fuzz::require(::chdir(QFile::encodeName(work).constData()) == 0, "into the work folder");
    auto put = [](const QString& name) {
        QFile f(work + QLatin1Char('/') + name);
        fuzz::require(f.open(QIODevice::WriteOnly) && f.write("old") == 3, "a file is laid out");
    };
    if (disk & 1)
        put(QStringLiteral("a.txt"));
    if (disk & 2) {
        QDir(work).mkdir(QStringLiteral("sub"));
        put(QStringLiteral("sub/b.txt"));
    }
    if (disk & 4)
        put(QStringLiteral("plain"));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static QTemporaryDir root;
    if (work.isEmpty())
        work = root.filePath(QStringLiteral("w"));
    if (size < 3)
        return 0;
    const int answerCount = data[2] % 5;
    if (size < 3 + std::size_t(answerCount))
        return 0;
    freshFolder(data[0] >> 3);

    ScriptedAnswers prompts;
    for (int i = 0; i < answerCount; ++i)
        prompts.answers.append(data[3 + i]);
    testing_support::RecordingSink sink;
    platform::NumberedFiles files;
    platform::Env env;
    env.prompts = &prompts;
    env.files = &files;
    const filelib::Context ctx{env, sink};

    const QStringList all = names();
    QString name = all[data[1] % all.size()];
    const QString mode =
        QString::fromUtf8(fuzz::bytes(data + 3 + answerCount, size - 3 - std::size_t(answerCount)));
    const qint16 n = filelib::FileOpen(ctx, name, QString(), mode, folderArgument(data[0] & 7));

    fuzz::require(n == -1 || (n >= platform::NumberedFiles::First &&
                              n <= platform::NumberedFiles::Last && files.isOpen(n)),
                  "an open file's number, or -1");
    if (n > 0) {
        fuzz::require(QFileInfo(name).absoluteFilePath().startsWith(work + QLatin1Char('/')),
                      "the file opened is one of the folder's", name);
        files.close(n);
    }
    fuzz::require(files.reserve() == platform::NumberedFiles::First, "no number stays taken");
    return 0;
}
