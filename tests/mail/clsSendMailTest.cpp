#include "mail/clsSendMail.h"
#include "platform/RunError.h"
#include "support/MailDoubles.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace mail;
using testing_support::MailTestEnv;

namespace {

const QString Key = QStringLiteral("Briefbode/Settings/");

// A store whose writes fail, as a read-only configuration folder does.
class FailingStore : public testing_support::MemorySettingsStore
{
public:
    void SaveSetting(const QString&, const QString&, const QString&, const QString&) override
    {
        throw platform::RunError(platform::RunError::PathFileAccessError, "read-only");
    }
};

} // namespace

TEST(clsSendMail, NewInstanceDefaults)
{
    MailTestEnv t;
    clsSendMail mail(t.env);
    EXPECT_EQ(mail.SMTPPort(), 25);
    EXPECT_EQ(mail.ConnectTimeout(), 30);
    EXPECT_EQ(mail.MessageTimeout(), 60);
    EXPECT_EQ(mail.ConnectRetry(), 4);
    EXPECT_EQ(mail.SMTPHostValidation(), 3);
    EXPECT_EQ(mail.EmailAddressValidation(), 1);
    EXPECT_EQ(mail.EncodeType(), 0);
    EXPECT_EQ(mail.Priority(), 3);
    EXPECT_EQ(mail.PriorityText(), "");
    EXPECT_EQ(mail.Delimiter(), ";");
    EXPECT_EQ(mail.TimeZoneOffset(), "+0100");
    EXPECT_EQ(mail.XMailer(), "Brevaro Emailer version 1.0 (https://straatwijs.nl/briefbode/)");
    EXPECT_TRUE(t.settings.values.isEmpty()); // nothing written without persistence
}

TEST(clsSendMail, PersistentSettingsAreStoredAndLoadedUnchecked)
{
    MailTestEnv t;
    {
        clsSendMail mail(t.env);
        mail.setConnectRetry(25); // stored, not applied
        EXPECT_TRUE(t.settings.values.isEmpty());
        mail.setPersistentSettings(true);
        mail.setConnectRetry(25);
        EXPECT_EQ(mail.ConnectRetry(), 4);
        mail.setMessageTimeout(-45);
        EXPECT_EQ(mail.MessageTimeout(), 45);
        mail.setFrom(" jan@voorbeeld.nl ");
        EXPECT_EQ(mail.from(), "jan@voorbeeld.nl");
        mail.setUseAuthentication(true);
        mail.setPassword("geheim");
        mail.setSMTPHostValidation(0);
        mail.setSMTPHost("smtp.voorbeeld.nl");
        mail.setSMTPPort(2525);
    }
    EXPECT_EQ(t.settings.values.value(Key + "PersistentSettings"), "-1");
    EXPECT_EQ(t.settings.values.value(Key + "ConnectRetry"), "25");
    EXPECT_EQ(t.settings.values.value(Key + "MessageTimeout"), "-45");
    EXPECT_EQ(t.settings.values.value(Key + "From"), " jan@voorbeeld.nl ");
    EXPECT_EQ(t.settings.values.value(Key + "UseAuthentication"), "-1");
    EXPECT_EQ(t.settings.values.value(Key + "RemoteHost"), "smtp.voorbeeld.nl");
    EXPECT_FALSE(t.settings.values.contains(Key + "Password"));

    clsSendMail next(t.env);
    EXPECT_TRUE(next.PersistentSettings());
    EXPECT_EQ(next.ConnectRetry(), 25);
    EXPECT_EQ(next.MessageTimeout(), -45);
    EXPECT_EQ(next.from(), " jan@voorbeeld.nl ");
    EXPECT_TRUE(next.UseAuthentication());
    EXPECT_EQ(next.SMTPHost(), "smtp.voorbeeld.nl");
    EXPECT_EQ(next.SMTPPort(), 2525);
    EXPECT_EQ(next.SMTPHostValidation(), 0);

    // Switching persistence off writes nothing; a number that is no number
    // loads as the default.
    next.setPersistentSettings(false);
    EXPECT_EQ(t.settings.values.value(Key + "PersistentSettings"), "-1");
    t.settings.values[Key + "RemotePort"] = "vijfentwintig";
    EXPECT_EQ(clsSendMail(t.env).SMTPPort(), 25);

    FailingStore failing;
    failing.values = t.settings.values;
    t.env.settings = &failing;
    clsSendMail readOnly(t.env);
    readOnly.setUsername("jan"); // the store's failure is ignored
    EXPECT_EQ(readOnly.Username(), "jan");
}

TEST(clsSendMail, ErrorListKeepsEachTextOnceUntilItsSetterAccepts)
{
    MailTestEnv t;
    clsSendMail mail(t.env);
    mail.setRecipient("a@voorbeeld.nl;geen-apenstaartje;b@voorbeeld.nl");
    mail.setRecipient("a@voorbeeld.nl;geen-apenstaartje;b@voorbeeld.nl");
    mail.setSMTPPort(0);
    mail.setCcRecipient("x@voorbeeld.info");
    EXPECT_EQ(mail.ErrorList(),
              (QStringList{"Missing or Invalid Recipient E-mail Address", "Invalid Remote Port",
                           "Invalid Cc: Recipient E-mail Address"}));
    EXPECT_EQ(mail.SMTPPort(), 25);
    mail.setSMTPPort(25);
    mail.setRecipient("a@voorbeeld.nl");
    EXPECT_EQ(mail.ErrorList(), QStringList{"Invalid Cc: Recipient E-mail Address"});
    mail.setEmailAddressValidation(0);
    mail.setCcRecipient("wat dan ook");
    mail.setFrom("");
    EXPECT_TRUE(mail.ErrorList().isEmpty());
}

TEST(clsSendMail, ListsDelimiterPriorityAndContentBase)
{
    MailTestEnv t;
    clsSendMail mail(t.env);
    mail.setDelimiter(", ");
    EXPECT_EQ(mail.Delimiter(), ",");
    mail.setRecipient(" a@voorbeeld.nl\t,b@voor\r\nbeeld.nl ");
    EXPECT_EQ(mail.message().Recipient, (QStringList{"a@voorbeeld.nl", "b@voorbeeld.nl"}));
    mail.setDelimiter(";");
    EXPECT_EQ(mail.Recipient(), "a@voorbeeld.nl;b@voorbeeld.nl");
    mail.setRecipient("");
    EXPECT_TRUE(mail.message().Recipient.isEmpty());

    mail.setPriority(2);
    EXPECT_EQ(mail.PriorityText(), "");
    mail.setPriority(5);
    mail.setPriority(2);
    EXPECT_EQ(mail.PriorityText(), "Low");

    mail.setContentBase("www.voorbeeld.nl\\pagina");
    EXPECT_EQ(mail.ContentBase(), "http://www.voorbeeld.nl/pagina/");
    mail.setContentBase("HTTP://www.voorbeeld.nl/");
    EXPECT_EQ(mail.ContentBase(), "HTTP://www.voorbeeld.nl/");
}

TEST(clsSendMail, AttachmentsStopAtTheFirstMissingFile)
{
    MailTestEnv t;
    QTemporaryDir dir;
    QFile a(dir.filePath("een.txt"));
    ASSERT_TRUE(a.open(QIODevice::WriteOnly));
    a.write("12345");
    a.close();
    clsSendMail mail(t.env);
    mail.setAttachment(a.fileName() + ";" + dir.filePath("weg.txt") + ";" + dir.path());
    EXPECT_EQ(mail.ErrorList(), QStringList{"The file you tried to attach does not exist"});
    EXPECT_EQ(mail.AttachmentCount(), 3);
    EXPECT_EQ(mail.message().AttachmentBytes, 5);
    EXPECT_EQ(mail.message().AttachmentNameChars, 7);
    EXPECT_EQ(mail.message().AttachmentNames.first(), "een.txt");
    mail.setAttachment(dir.path()); // a folder is no file
    EXPECT_EQ(mail.ErrorList().size(), 1);
    mail.setAttachment(a.fileName());
    EXPECT_TRUE(mail.ErrorList().isEmpty());
}

TEST(clsSendMail, ClearEmptiesTheMessageOnly)
{
    MailTestEnv t;
    clsSendMail mail(t.env);
    mail.setFrom("jan@voorbeeld.nl");
    mail.setRecipient("piet@voorbeeld.nl");
    mail.setSubject("x");
    mail.setMessage("caf\u00e9");
    mail.setPriority(5);
    mail.setDelimiter(",");
    mail.setSMTPHostValidation(0);
    mail.setSMTPHost("smtp.voorbeeld.nl");
    EXPECT_FALSE(mail.Clear());
    EXPECT_EQ(mail.from(), "");
    EXPECT_EQ(mail.Recipient(), "");
    EXPECT_EQ(mail.Message(), "");
    EXPECT_EQ(mail.Priority(), 3);
    EXPECT_EQ(mail.PriorityText(), "Low");
    EXPECT_EQ(mail.Delimiter(), ";");
    EXPECT_TRUE(mail.EightBitMessage());
    EXPECT_EQ(mail.SMTPHost(), "smtp.voorbeeld.nl");
}

TEST(clsSendMail, HostRuleAtEachLevel)
{
    MailTestEnv t;
    clsSendMail mail(t.env);
    mail.setSMTPHostValidation(1);
    mail.setSMTPHost("smtp.voorbeeld.info");
    EXPECT_EQ(mail.SMTPHost(), "");
    EXPECT_EQ(mail.ErrorList(), QStringList{"Invalid or Missing SMTP Host Name"});
    // "B" passes the top-level test as a fragment of the list, but resolves
    // nowhere.
    QString host = QString("smtp.nergens.b") + QChar(0);
    mail.setSMTPHost(host);
    EXPECT_EQ(host, "smtp.nergens.b");
    EXPECT_EQ(mail.SMTPHost(), "smtp.nergens.b");
    EXPECT_TRUE(mail.ErrorList().isEmpty());

    // The set host is checked again at a new level.
    mail.setSMTPHostValidation(3);
    EXPECT_EQ(mail.ErrorList(), QStringList{"Invalid or Missing SMTP Host Name"});
    host = " localhost ";
    mail.setSMTPHost(host);
    EXPECT_EQ(host, QString("localhost") + QChar(0));
    EXPECT_EQ(mail.SMTPHost(), "localhost");
    mail.setPOP3Host("nosuch.invalid");
    EXPECT_EQ(mail.ErrorList(), QStringList{"Invalid or Missing POP3 Host Name"});
    mail.setPOP3Host("");
    EXPECT_TRUE(mail.ErrorList().isEmpty());

    if (!testing_support::icmpAllowed())
        GTEST_SKIP() << "no ICMP socket may be opened here";
    // Level 2 keeps the address that answered.
    mail.setSMTPHostValidation(2);
    host = "localhost";
    mail.setSMTPHost(host);
    EXPECT_EQ(host, "127.0.0.1");
    EXPECT_EQ(mail.SMTPHost(), "127.0.0.1");
    EXPECT_TRUE(mail.ErrorList().isEmpty());
}
