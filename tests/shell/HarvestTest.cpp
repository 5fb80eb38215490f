#include "shell/Harvest.h"
#include "messages/MessageLog.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

using shell::Harvest;
using testing_support::TestEnv;

namespace {

// A lookup form that records its requests; onQuery runs inside each request
// (as a menu command chosen during a batch would).
class RecordingForm : public shell::LookupForm
{
public:
    QStringList types;
    std::function<void()> onQuery;
    QString DoQuery(const QString& Querynaam, const QString& Typenaam) override
    {
        EXPECT_TRUE(Querynaam.isEmpty());
        types << Typenaam;
        if (onQuery)
            onQuery();
        return QStringLiteral("q%1").arg(types.size());
    }
    bool ValidURL() const override { return true; }
    void Reposition(const QVariant&, const QString&, bool) override {}
};

struct Fixture
{
    TestEnv t;
    messages::MessageLog log{t.prompts};
    RecordingForm form;
    Harvest harvest{t.env, log, [this]() -> shell::LookupForm& { return form; }};
    QStringList lines() const { return log.text().split("\r\n", Qt::SkipEmptyParts); }
};

} // namespace

TEST(Harvest, SmallBatchPausesAfterEveryRequest)
{
    Fixture f;
    f.t.prompts.answerInput(QStringLiteral("3"));
    f.harvest.mnuDoSmall_Click();
    EXPECT_EQ(f.form.types, QStringList({"S", "S", "S"}));
    ASSERT_EQ(f.t.wait.pauses.size(), 3);
    for (qint32 p : f.t.wait.pauses) {
        EXPECT_GE(p, 2000);
        EXPECT_LT(p, 12000);
    }
    const QStringList lines = f.lines();
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].endsWith(" DoSmall started."));
    EXPECT_TRUE(lines[1].endsWith(" DoSmall ended."));
    EXPECT_TRUE(
        lines[0].startsWith(QLocale::system().toString(QDate(2026, 12, 6), QLocale::ShortFormat)));
}

TEST(Harvest, NoNumberMeansNoRequests)
{
    for (const std::optional<QString>& answer :
         {std::optional<QString>("0"), std::optional<QString>(""), std::optional<QString>("abc"),
          std::optional<QString>()}) {
        Fixture f;
        f.t.prompts.answerInput(answer);
        f.harvest.mnuDoMinimal_Click();
        EXPECT_TRUE(f.form.types.isEmpty());
        EXPECT_EQ(f.lines().size(), 2);
    }
    Fixture f;
    f.harvest.DoSmall(QStringLiteral("2.9"), QStringLiteral("M"));
    EXPECT_EQ(f.form.types, QStringList({"M", "M"}));
}

TEST(Harvest, NoSecondBatchWhileOneRuns)
{
    Fixture f;
    f.form.onQuery = [&f] {
        f.harvest.mnuDoBig_Click();
        f.harvest.DoSmall(5, QStringLiteral("M"));
        EXPECT_FALSE(f.harvest.Timer1_Timer(true));
    };
    f.harvest.DoSmall(2, QStringLiteral("S"));
    EXPECT_EQ(f.form.types, QStringList({"S", "S"}));
    EXPECT_FALSE(f.harvest.running());
    f.form.onQuery = nullptr;
    f.harvest.mnuDoBig_Click();
    EXPECT_EQ(f.form.types.last(), "B");
    EXPECT_EQ(f.t.wait.pauses.last(), 3000);
}

TEST(Harvest, TimerRunsTheAutostartBatchOnlyWhenChecked)
{
    Fixture f;
    EXPECT_FALSE(f.harvest.Timer1_Timer(false));
    EXPECT_TRUE(f.form.types.isEmpty());
    EXPECT_TRUE(f.harvest.Timer1_Timer(true));
    EXPECT_EQ(f.form.types.size(), 32);
    EXPECT_EQ(f.t.wait.pauses.last(), 10000);
}
