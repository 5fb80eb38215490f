#include "app/MailCommandLine.h"
#include "ScriptedPeers.h"
#include "mail/clsSendMail.h"
#include "mail/modMXQuery.h"
#include "support/MailDoubles.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

app::MailOptions parsed(const QStringList& arguments)
{
    const auto result = app::parseMailCommandLine(QStringList{"straatwijs-mail"} + arguments);
    const auto* options = std::get_if<app::MailOptions>(&result);
    EXPECT_NE(options, nullptr) << arguments.join(' ').toStdString();
    return options ? *options : app::MailOptions{};
}

} // namespace

TEST(MailCommandLine, OptionsReachTheirPropertiesInOrder)
{
    testing_support::MailTestEnv t;
    mail::clsSendMail mail(t.env);
    // Lists repeat and follow the delimiter whatever its place on the line;
    // a text given twice counts once, the last; --eight-bit outlives the
    // body that would reset it; the address check applies to every address
    // although it comes last.
    const app::MailOptions o =
        parsed({"--eight-bit", "--to", "a@voorbeeld.nl,b@voorbeeld.nl", "--to", "c@voorbeeld.nl",
                "--subject", "een", "--subject", "twee", "--body", "plain", "--priority", "5",
                "--delimiter", ",", "--address-validation", "0", "--from", "geen adres"});
    EXPECT_EQ(app::applyMailOptions(o, mail, "geheim"), std::nullopt);
    EXPECT_EQ(mail.message().Recipient,
              (QStringList{"a@voorbeeld.nl", "b@voorbeeld.nl", "c@voorbeeld.nl"}));
    EXPECT_EQ(mail.Subject(), "twee");
    EXPECT_TRUE(mail.EightBitMessage());
    EXPECT_EQ(mail.PriorityText(), "Low");
    EXPECT_EQ(mail.Password(), "geheim");
    EXPECT_TRUE(mail.ErrorList().isEmpty());
    EXPECT_FALSE(o.print || o.debug || o.mx);

    // A body file that cannot be read is the outcome of the apply step.
    const auto problem = app::applyMailOptions(parsed({"--body-file", "/geen/bestand"}), mail, {});
    ASSERT_TRUE(problem.has_value());
    EXPECT_TRUE(problem->startsWith("Cannot read /geen/bestand: "));

    // Numbers are checked before the 0-or-1 choice, each naming its option.
    // The exit statuses of usage errors, --mx with its domain among them,
    // are checked against the program by print_mime_check.py and
    // send_check.py.
    const auto refused =
        app::parseMailCommandLine({"straatwijs-mail", "--encode-type", "2", "--smtp-port", "x"});
    ASSERT_TRUE(std::holds_alternative<app::Exit>(refused));
    EXPECT_EQ(std::get<app::Exit>(refused).text,
              "--smtp-port needs a number, not 'x'\nTry 'straatwijs-mail --help'.\n");
}

TEST(MailCommandLine, MailExchangerReportsTheLookupItUsed)
{
    testing_support::MailTestEnv t;
    QTemporaryDir dir;
    testing_support::DnsPeer dns;
    dns.configure(dir, "nameserver 127.0.0.1\ndomain voorbeeld.nl\n");
    // A domain too short to ask about: the lookup records why, without a
    // question on the wire. The reason must be the one of the lookup in
    // use, whether it is the sender's own or one given to it.
    for (const bool injected : {false, true}) {
        mail::modMXQuery resolver;
        mail::clsSendMail mail(t.env);
        if (injected)
            mail.setMXResolver(resolver);
        QString outText;
        QString errText;
        QTextStream out(&outText);
        QTextStream err(&errText);
        EXPECT_EQ(app::printMailExchanger(mail, "a.nl", out, err), app::ExitFailure);
        EXPECT_TRUE(outText.isEmpty());
        EXPECT_TRUE(errText.endsWith(
            "straatwijs-mail: no mail exchanger found: No Valid Domain Specified\n"))
            << errText.toStdString();
        EXPECT_EQ(resolver.recordedError().has_value(), injected);
    }
    EXPECT_TRUE(dns.questions.isEmpty());
}
