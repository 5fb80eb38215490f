#include "support/ScriptedPrompts.h"

namespace testing_support {

using namespace platform;

int ScriptedPrompts::MsgBox(const QString& Prompt, int Buttons, const QString& Title)
{
    m_shown.append({Prompt, Buttons, Title});
    if (!m_boxAnswers.isEmpty())
        return m_boxAnswers.takeFirst();
    return box::defaultAnswer(Buttons);
}

std::optional<QString> ScriptedPrompts::InputBox(const QString& Prompt, const QString& Title,
                                                 const QString& Default)
{
    m_shown.append({Prompt, -1, Title});
    if (!m_inputAnswers.isEmpty())
        return m_inputAnswers.takeFirst();
    return Default;
}

} // namespace testing_support
