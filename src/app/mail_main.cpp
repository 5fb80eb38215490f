#include "app/MailCommandLine.h"
#include "mail/clsSendMail.h"
#include "platform/Env.h"

#include <QCoreApplication>
#include <QStringDecoder>
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
    // The password goes out as the variable's bytes: a text that is not
    // UTF-8 could not be sent as given, and is refused rather than altered.
    const QByteArray passwordBytes = qgetenv("STRAATWIJS_MAIL_PASSWORD");
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString password = utf8(passwordBytes);
    if (utf8.hasError()) {
        err << "straatwijs-mail: STRAATWIJS_MAIL_PASSWORD is not valid UTF-8" << Qt::endl;
        return app::ExitFailure;
    }
    if (const auto problem = app::applyMailOptions(options, mail, password)) {
        err << "straatwijs-mail: " << *problem << Qt::endl;
        return app::ExitFailure;
    }
    if (options.print)
        return app::printMessage(mail, stdout, err);
    return app::sendMessage(mail, err, options.debug);
}
