#pragma once

#include "platform/Prompts.h"

#include <QList>

namespace testing_support {

// For tests: answers given in advance, in order; once they run out, the
// default answers (a file dialog: cancelled). Every prompt shown is
// recorded; file dialogs also in dialogs().
class ScriptedPrompts : public platform::Prompts
{
public:
    struct Shown
    {
        QString prompt;
        int style; // the box style; InputBoxShown or FileDialogShown
        QString title;
    };
    static constexpr int InputBoxShown = -1;
    static constexpr int FileDialogShown = -2;

    void answerBox(int answer) { m_boxAnswers.append(answer); }
    void answerInput(std::optional<QString> text) { m_inputAnswers.append(std::move(text)); }
    void answerFile(std::optional<QString> name) { m_fileAnswers.append(std::move(name)); }
    const QList<Shown>& shown() const { return m_shown; }
    const QList<platform::FileDialogRequest>& dialogs() const { return m_dialogs; }

    int MsgBox(const QString& Prompt, int Buttons, const QString& Title) override;
    std::optional<QString> InputBox(const QString& Prompt, const QString& Title,
                                    const QString& Default) override;
    std::optional<QString> FileDialog(const platform::FileDialogRequest& request) override;

private:
    QList<int> m_boxAnswers;
    QList<std::optional<QString>> m_inputAnswers;
    QList<std::optional<QString>> m_fileAnswers;
    QList<Shown> m_shown;
    QList<platform::FileDialogRequest> m_dialogs;
};

} // namespace testing_support
