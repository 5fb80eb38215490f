#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace platform {

// Message box style numbers and answers of the platform.
namespace box {
enum Buttons
{
    OKOnly = 0,
    OKCancel = 1,
    AbortRetryIgnore = 2,
    YesNoCancel = 3,
    YesNo = 4,
    RetryCancel = 5
};
enum Icons
{
    Critical = 16,
    Question = 32,
    Exclamation = 48,
    Information = 64
};
enum DefaultButton
{
    DefaultButton1 = 0,
    DefaultButton2 = 256,
    DefaultButton3 = 512
};
enum Answer
{
    OK = 1,
    Cancel = 2,
    Abort = 3,
    Retry = 4,
    Ignore = 5,
    Yes = 6,
    No = 7
};

// The answers of a style's buttons, left to right.
QList<int> answersOf(int style);
// The answer of the style's default button.
int defaultAnswer(int style);
} // namespace box

// What a file dialog shows: the kind (an open dialog takes only an existing
// file; a save dialog asks before it names an existing one), the title, the
// filter as pairs of a description and patterns ("Tekst (*.txt)|*.txt|Alle
// bestanden (*.*)|*.*"), and the name and folder it starts with.
struct FileDialogRequest
{
    enum Kind
    {
        Open,
        Save
    };
    Kind kind = Open;
    QString title;
    QString filter;
    QString fileName;
    QString directory;
};

// The user's prompts: modal message boxes, the input box and the file dialog.
class Prompts
{
public:
    virtual ~Prompts() = default;
    // Shows Prompt with the style's buttons and icon; returns the answer.
    virtual int MsgBox(const QString& Prompt, int Buttons = box::OKOnly,
                       const QString& Title = {}) = 0;
    // Asks for a text; nullopt when the user cancelled.
    virtual std::optional<QString> InputBox(const QString& Prompt, const QString& Title = {},
                                            const QString& Default = {}) = 0;
    // Lets the user pick a file; the chosen full name, or nullopt when the
    // user cancelled.
    virtual std::optional<QString> FileDialog(const FileDialogRequest& request) = 0;
};

// For runs without a display: message boxes go to stderr and take their
// default answer; the input box takes its default text; a file dialog
// writes its title to stderr and counts as cancelled.
class ConsolePrompts : public Prompts
{
public:
    int MsgBox(const QString& Prompt, int Buttons, const QString& Title) override;
    std::optional<QString> InputBox(const QString& Prompt, const QString& Title,
                                    const QString& Default) override;
    std::optional<QString> FileDialog(const FileDialogRequest& request) override;
};

} // namespace platform
