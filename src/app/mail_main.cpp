#include "app/MailCommandLine.h"
#include "mail/clsSendMail.h"
#include "platform/Env.h"

#include <QCoreApplication>
#include <QTextStream>
#include <cstdio>

int main(int argc, char** argv)
{
    const auto parsed = app::parseMailCommandLine(app::arguments(argc, argv));
    if (const auto* exit = std::get_if<app::Exit>(&parsed))
        return app::finish(*exit);
    QCoreApplication application(argc, argv);
    const app::MailOptions& options = std::get<app::MailOptions>(parsed);
    const platform::Env env = platform::systemEnv();
    mail::clsSendMail mail(env);
    QTextStream err(stderr);
    if (const auto problem = app::applyMailOptions(options, mail)) {
        err << "straatwijs-mail: " << *problem << Qt::endl;
        return app::ExitFailure;
    }
    return app::printMessage(mail, stdout, err);
}
