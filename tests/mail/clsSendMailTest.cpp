#include "mail/clsSendMail.h"
#include "platform/RunError.h"
#include "support/MailDoubles.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace mail;

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

class SendMail : public ::testing::Test
{
protected:
    testing_support::MailTestEnv t;
    clsSendMail mail{t.env};
};

} // namespace

TEST_F(SendMail, PersistentSettingsAreStoredAndLoadedUnchecked)
{
    mail.setConnectRetry(25);
    EXPECT_TRUE(t.settings.values.isEmpty());
    mail.setPersistentSettings(true);
    mail.setConnectRetry(25); // stored, not applied
    EXPECT_EQ(mail.ConnectRetry(), 4);
    mail.setMessageTimeout(-45);
    EXPECT_EQ(mail.MessageTimeout(), 45);
    mail.setFrom(" jan@voorbeeld.nl ");
    mail.setUseAuthentication(true);
    mail.setPassword("geheim");
    mail.setSMTPPort(2525);
    EXPECT_EQ(t.settings.values.value(Key + "PersistentSettings"), "-1");
    EXPECT_EQ(t.settings.values.value(Key + "MessageTimeout"), "-45");
    EXPECT_EQ(t.settings.values.value(Key + "UseAuthentication"), "-1");
    EXPECT_FALSE(t.settings.values.contains(Key + "Password"));

    clsSendMail next(t.env);
    EXPECT_EQ(next.ConnectRetry(), 25);
    EXPECT_EQ(next.MessageTimeout(), -45);
    EXPECT_EQ(next.from(), " jan@voorbeeld.nl ");
    EXPECT_TRUE(next.UseAuthentication());
    EXPECT_EQ(next.SMTPPort(), 2525);

    // Switching persistence off writes nothing; a number that is no number
    // loads as the default; a store that cannot be written is ignored.
    next.setPersistentSettings(false);
    EXPECT_EQ(t.settings.values.value(Key + "PersistentSettings"), "-1");
    t.settings.values[Key + "RemotePort"] = "vijfentwintig";
    FailingStore failing;
    failing.values = t.settings.values;
    t.env.settings = &failing;
    clsSendMail readOnly(t.env);
    EXPECT_EQ(readOnly.SMTPPort(), 25);
    readOnly.setUsername("jan");
    EXPECT_EQ(readOnly.Username(), "jan");
}

TEST_F(SendMail, ErrorListKeepsEachTextOnceUntilItsSetterAccepts)
{
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
    EXPECT_TRUE(mail.ErrorList().isEmpty());
}

// Priority texts and the content base as written are pinned by the
// composition streams.
TEST_F(SendMail, ListsFollowTheDelimiterAndAContentBaseKeepsItsScheme)
{
    mail.setDelimiter(", ");
    mail.setRecipient(" a@voorbeeld.nl\t,b@voor\r\nbeeld.nl ");
    EXPECT_EQ(mail.message().Recipient, (QStringList{"a@voorbeeld.nl", "b@voorbeeld.nl"}));
    mail.setDelimiter(";");
    EXPECT_EQ(mail.Recipient(), "a@voorbeeld.nl;b@voorbeeld.nl");
    mail.setRecipient("");
    EXPECT_TRUE(mail.message().Recipient.isEmpty());

    mail.setContentBase("HTTP://www.voorbeeld.nl/");
    EXPECT_EQ(mail.ContentBase(), "HTTP://www.voorbeeld.nl/");
}

TEST_F(SendMail, AttachmentsStopAtTheFirstMissingFile)
{
    QTemporaryDir dir;
    const QString a = testing_support::writeFile(dir, "een.txt", "12345");
    mail.setAttachment(a + ";" + dir.filePath("weg.txt") + ";" + dir.path());
    EXPECT_EQ(mail.ErrorList(), QStringList{"The file you tried to attach does not exist"});
    EXPECT_EQ(mail.AttachmentCount(), 3);
    EXPECT_EQ(mail.message().AttachmentBytes, 5);
    EXPECT_EQ(mail.message().AttachmentNameChars, 7);
    mail.setAttachment(dir.path()); // a folder is no file
    EXPECT_EQ(mail.ErrorList().size(), 1);
    mail.setAttachment(a);
    EXPECT_TRUE(mail.ErrorList().isEmpty());
}

TEST_F(SendMail, HostRuleAtEachLevel)
{
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

    if (!testing_support::icmpAllowed())
        GTEST_SKIP() << "no ICMP socket may be opened here";
    // Level 2 keeps the address that answered.
    mail.setSMTPHostValidation(2);
    host = "localhost";
    mail.setSMTPHost(host);
    EXPECT_EQ(host, "127.0.0.1");
    EXPECT_EQ(mail.SMTPHost(), "127.0.0.1");
}
