#pragma once

#include "platform/Prompts.h"

#include <QList>

namespace testing_support {

// For tests: answers given in advance, in order; once they run out, the
// default answers. Every prompt shown is recorded.
class ScriptedPrompts : public platform::Prompts
{
public:
    struct Shown
    {
        QString prompt;
        int style;
        QString title;
    };

    void answerBox(int answer) { m_boxAnswers.append(answer); }
    void answerInput(std::optional<QString> text) { m_inputAnswers.append(std::move(text)); }
    const QList<Shown>& shown() const { return m_shown; }

    int MsgBox(const QString& Prompt, int Buttons, const QString& Title) override;
    std::optional<QString> InputBox(const QString& Prompt, const QString& Title,
                                    const QString& Default) override;

private:
    QList<int> m_boxAnswers;
    QList<std::optional<QString>> m_inputAnswers;
    QList<Shown> m_shown;
};

} // namespace testing_support
