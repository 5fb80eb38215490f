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
    if (options.mx) {
        QTextStream out(stdout);
        return app::printMailExchanger(mail, *options.mx, out, err);
    }
    const QString password = qEnvironmentVariable("STRAATWIJS_MAIL_PASSWORD");
    if (const auto problem = app::applyMailOptions(options, mail, password)) {
        err << "straatwijs-mail: " << *problem << Qt::endl;
        return app::ExitFailure;
    }
    if (options.print)
        return app::printMessage(mail, stdout, err);
    return app::sendMessage(mail, err, options.debug);
}
