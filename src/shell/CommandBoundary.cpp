#include "shell/CommandBoundary.h"

#include "platform/Prompts.h"
#include "platform/RunError.h"

#include <cstdio>
#include <cstdlib>

namespace shell {

CommandBoundary::CommandBoundary(Display display, platform::Prompts& prompts, QTextStream& err,
                                 Exit exit)
    : m_display(display), m_prompts(prompts), m_err(err), m_exit(std::move(exit))
{
}

bool CommandBoundary::run(const std::function<void()>& command)
{
    try {
        command();
        return true;
    } catch (const platform::RunError& e) {
        if (m_display == Display::Window)
            m_prompts.MsgBox(QStringLiteral("Fout %1: %2").arg(e.number()).arg(e.description()),
                             platform::box::Critical, QString());
        else
            m_err << "Error " << e.number() << ": " << e.description() << Qt::endl;
        m_exit(1);
        return false;
    }
}

void exitNow(int status)
{
    std::fflush(nullptr);
    std::_Exit(status);
}

} // namespace shell
