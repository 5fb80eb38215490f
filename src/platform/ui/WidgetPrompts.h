#pragma once

#include "platform/Prompts.h"

class QWidget;

namespace platform {

// Modal message boxes, input boxes and file dialogs on the screen.
class WidgetPrompts : public Prompts
{
public:
    explicit WidgetPrompts(QWidget* parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget* parent) { m_parent = parent; }

    int MsgBox(const QString& Prompt, int Buttons, const QString& Title) override;
    std::optional<QString> InputBox(const QString& Prompt, const QString& Title,
                                    const QString& Default) override;
    std::optional<QString> FileDialog(const FileDialogRequest& request) override;

private:
    QWidget* m_parent;
};

} // namespace platform
