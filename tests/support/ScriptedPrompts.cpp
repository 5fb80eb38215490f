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
    m_shown.append({Prompt, InputBoxShown, Title});
    if (!m_inputAnswers.isEmpty())
        return m_inputAnswers.takeFirst();
    return Default;
}

std::optional<QString> ScriptedPrompts::FileDialog(const FileDialogRequest& request)
{
    m_shown.append({{}, FileDialogShown, request.title});
    m_dialogs.append(request);
    if (!m_fileAnswers.isEmpty())
        return m_fileAnswers.takeFirst();
    return std::nullopt;
}

} // namespace testing_support
