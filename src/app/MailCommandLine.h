#pragma once

#include "app/Program.h"

#include <QMap>
#include <QString>
#include <QStringList>
#include <QTextStream>
#include <cstdio>
#include <optional>
#include <variant>

namespace mail {
class clsSendMail;
}

namespace app {

// What straatwijs-mail is asked to do. The options that set the mail
// sender's properties are kept by name with the values given (a flag given:
// one empty value); unset ones leave the property as the component has it.
struct MailOptions
{
    QMap<QString, QStringList> given;
    bool print = false;
    bool debug = false;
    std::optional<QString> mx; // --mx: the domain to look up ("" the host's own)
};

// Reads the command line: the options, or an exit (--help with status 0, a
// usage error with status 2).
std::variant<MailOptions, Exit> parseMailCommandLine(const QStringList& arguments);

// Sets the component's properties from the options; list options take the
// delimiter given with them. The password comes from `password` (the
// environment), never from the command line. Returns why the body file could
// not be read, if it could not.
std::optional<QString> applyMailOptions(const MailOptions& options, mail::clsSendMail& mail,
                                        const QString& password = {});

// Text in the locale's encoding; bytes that are not valid in it are read as
// ISO-8859-1, so that none is lost.
QString localText(const QByteArray& bytes);

// --print: writes the bytes a send would write after the server's 354 reply,
// through the final "." line, to `out`. ExitOk; ExitFailure with the reason
// on `err` when the component refuses the message or `out` fails.
int printMessage(mail::clsSendMail& mail, std::FILE* out, QTextStream& err);

// Sends the message: status lines (and with `debug` the protocol lines, the
// password masked) on `err`. ExitOk when the server took the message;
// ExitFailure with the explanation on `err` otherwise.
int sendMessage(mail::clsSendMail& mail, QTextStream& err, bool debug);

// --mx: the best mail exchanger of the domain on `out` (ExitOk), or the
// reason on `err` (ExitFailure).
int printMailExchanger(mail::clsSendMail& mail, const QString& domain, QTextStream& out,
                       QTextStream& err);

} // namespace app
