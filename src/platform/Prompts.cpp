#include "platform/Prompts.h"

#include <QTextStream>
#include <cstdio>

namespace platform {

namespace box {
QList<int> answersOf(int style)
{
    switch (style & 7) {
    case OKCancel:
        return {OK, Cancel};
    case AbortRetryIgnore:
        return {Abort, Retry, Ignore};
    case YesNoCancel:
        return {Yes, No, Cancel};
    case YesNo:
        return {Yes, No};
    case RetryCancel:
        return {Retry, Cancel};
    default:
        return {OK};
    }
}

int defaultAnswer(int style)
{
    const QList<int> answers = answersOf(style);
    const int index = (style & 0x300) >> 8;
    return answers.value(index, answers.first());
}
} // namespace box

int ConsolePrompts::MsgBox(const QString& Prompt, int Buttons, const QString& Title)
{
    QTextStream err(stderr);
    if (!Title.isEmpty())
        err << Title << ": ";
    err << Prompt << Qt::endl;
    return box::defaultAnswer(Buttons);
}

std::optional<QString> ConsolePrompts::InputBox(const QString& Prompt, const QString& Title,
                                                const QString& Default)
{
    QTextStream err(stderr);
    if (!Title.isEmpty())
        err << Title << ": ";
    err << Prompt << " [" << Default << "]" << Qt::endl;
    return Default;
}

std::optional<QString> ConsolePrompts::FileDialog(const FileDialogRequest& request)
{
    QTextStream(stderr) << request.title << " [cancelled: no window to choose a file in]"
                        << Qt::endl;
    return std::nullopt;
}

} // namespace platform
