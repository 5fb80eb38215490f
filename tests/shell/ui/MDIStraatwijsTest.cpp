#include "shell/ui/MDIStraatwijs.h"

#include "PostcodeSite.h"
#include "lookup/PageWalk.h"
#include "messages/ui/Alg.h"
#include "platform/Layout.h"
#include "support/TestDatabase.h"
#include "support/TestEnv.h"

#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScreen>
#include <QTimer>
#include <gtest/gtest.h>

using messages::MessageLog;
using shell::ui::MDIStraatwijs;
using namespace testing_support;

namespace {
void settle()
{
    QApplication::processEvents();
}

// The window on the embedded database and the local site, opened once the
// test has stored its settings; the failure boundary's exit is recorded
// instead of ending the test.
struct Window
{
    Window() { EXPECT_TRUE(site.listen()); }
    MDIStraatwijs& open()
    {
        window.emplace(shell, boundary);
        shell.values.Connection = db.values();
        shell.values.Url = site.baseUrl();
        return *window;
    }
    // A DoSmall batch of `count` requests from the menu.
    void doSmall(const char* count)
    {
        t.prompts.answerInput(QString::fromLatin1(count));
        window->mnuDoSmall->trigger();
    }
    TestEnv t;
    MessageLog log{t.prompts};
    shell::Shell shell{t.env, log};
    QString errors;
    QTextStream err{&errors};
    QList<int> exits;
    shell::CommandBoundary boundary{shell::CommandBoundary::Display::Window, t.prompts, err,
                                    [this](int status) { exits << status; }};
    TestDatabase db{Backend::SQLite};
    postcodesite::PostcodeSite site{postcodesite::SiteOptions{.port = 0}};
    std::optional<MDIStraatwijs> window;
};

// Docked along the bottom of the client area, below `above`.
void expectDockedAtTheBottom(MDIStraatwijs& w, double above)
{
    const QRect bottom = w.algWindow()->geometry();
    const int height = w.mdiArea()->viewport()->height();
    EXPECT_NEAR(bottom.top(), above, 1);
    EXPECT_NEAR(bottom.bottom() + 1, height, 1);
}
} // namespace

TEST(MDIStraatwijs, LoadSetsCaptionPlacementCheckMarkAndAddressLine)
{
    Window f;
    f.t.settings.values["Straatwijs/Application/Autostart"] = "True";
    f.t.settings.values["Straatwijs/Main/WindowTop"] = "1500";
    f.t.settings.values["Straatwijs/Main/WindowLeft"] = "3000";
    f.t.settings.values["Straatwijs/Main/WindowWidth"] = "9000";
    f.t.settings.values["Straatwijs/Main/WindowHeight"] = "7500";
    MDIStraatwijs& w = f.open();

    EXPECT_EQ(w.windowTitle(), shell::caption());
    const double dx = w.screen()->logicalDotsPerInchX();
    const double dy = w.screen()->logicalDotsPerInchY();
    EXPECT_EQ(w.pos(),
              QPoint(platform::twipsToPixels(3000, dx), platform::twipsToPixels(1500, dy)));
    EXPECT_EQ(w.size(),
              QSize(platform::twipsToPixels(9000, dx), platform::twipsToPixels(7500, dy)));
    EXPECT_TRUE(w.mnuAutosmall32->isChecked());
    EXPECT_TRUE(f.log.text().startsWith("IP-address = ")) << f.log.text().toStdString();

    w.mnuAutosmall32->trigger();
    EXPECT_FALSE(w.mnuAutosmall32->isChecked());
    EXPECT_EQ(f.t.settings.values.value("Straatwijs/Application/Autostart"), "False");
}

// The window's harvest path: the engine loads on the first command and the
// lookup form appears, docked above the message window on every resize;
// "Einde" ends the program without closing it first. A failure that reaches
// a command is shown in a "Fout" box and ends the program with status 1.
TEST(MDIStraatwijs, HarvestShowsTheLookupFormDockedAndAFailureEndsTheProgram)
{
    Window f;
    MDIStraatwijs& w = f.open();
    w.show();
    settle();
    expectDockedAtTheBottom(w, w.mdiArea()->viewport()->height() * 3 / 4.0);
    EXPECT_EQ(w.lookupForm(), nullptr);
    f.db.addRequest("1010", "S");
    f.doSmall("1");
    EXPECT_EQ(f.db.statuses("1010"), QStringList{"Y"});
    ASSERT_NE(w.lookupForm(), nullptr);
    // The program's own icon, every rendered size, on the window and both
    // children instead of the toolkit's logo.
    const QList<QSize> sizes = w.windowIcon().availableSizes();
    EXPECT_TRUE(sizes.contains(QSize(16, 16)) && sizes.contains(QSize(256, 256))) << sizes.size();
    EXPECT_EQ(w.algWindow()->windowIcon().cacheKey(), w.windowIcon().cacheKey());
    EXPECT_EQ(w.lookupForm()->windowIcon().cacheKey(), w.windowIcon().cacheKey());
    w.resize(900, 700);
    settle();
    const QRect top = w.lookupForm()->geometry();
    EXPECT_EQ(top.top(), 0);
    EXPECT_NEAR(top.height(), w.mdiArea()->viewport()->height() * 3 / 4.0, 2);
    expectDockedAtTheBottom(w, top.bottom() + 1);

    QTimer::singleShot(0, w.mnuEinde, &QAction::trigger);
    QTimer::singleShot(5000, &w, [] { QCoreApplication::exit(99); }); // not stuck for ever
    EXPECT_EQ(QCoreApplication::exec(), 0);
    ASSERT_NE(w.lookupForm(), nullptr); // it deletes itself when closed
    EXPECT_TRUE(f.exits.isEmpty());

    f.db.addRequest("1011", "S");
    f.db.exec("DROP TABLE Straatwijs");
    f.doSmall("1");
    EXPECT_EQ(f.exits, QList<int>{1});
    ASSERT_FALSE(f.t.prompts.shown().isEmpty());
    EXPECT_TRUE(f.t.prompts.shown().last().prompt.startsWith("Fout 3146: "));
    EXPECT_EQ(f.db.statuses("1011"), QStringList{"L"});

    // Once the lookup form is gone a resize docks the message window alone.
    w.lookupForm()->close();
    w.resize(750, 600);
    settle();
    expectDockedAtTheBottom(w, w.mdiArea()->viewport()->height() * 3 / 4.0);
}

// Placement is stored only in the normal state, and a stored placement
// reopens the window exactly.
TEST(MDIStraatwijs, PlacementIsSavedOnlyInTheNormalState)
{
    Window f;
    MDIStraatwijs& w = f.open();
    w.show();
    w.resize(640, 480);
    settle();
    const auto saved = f.t.settings.values;

    w.showMaximized();
    settle();
    ASSERT_NE(w.width(), 640); // the maximised window really is larger
    EXPECT_EQ(f.t.settings.values, saved);
    w.showNormal();
    w.showMinimized();
    settle();
    w.resize(500, 400);
    settle();
    EXPECT_EQ(f.t.settings.values, saved);

    f.window.reset();
    EXPECT_EQ(f.open().size(), QSize(640, 480));
}

// While a batch runs its commands are greyed out and "Stoppen" is not; it
// ends the batch and gives the request back.
TEST(MDIStraatwijs, StoppenEndsTheBatchAndGivesTheRequestBack)
{
    Window f;
    MDIStraatwijs& w = f.open();
    EXPECT_FALSE(w.mnuStoppen->isEnabled());
    f.db.addRequest("1012", "S");
    f.db.addRequest("1010", "S");
    bool once = false;
    f.t.wait.during = [&](qint32 ms) {
        if (ms <= lookup::PagePollMs || once)
            return;
        once = true;
        EXPECT_FALSE(w.mnuDoBig->isEnabled());
        EXPECT_FALSE(w.mnuDoSmall->isEnabled());
        EXPECT_TRUE(w.mnuStoppen->isEnabled());
        w.mnuStoppen->trigger();
    };
    f.doSmall("2");
    EXPECT_EQ(f.db.lines("SELECT Query, Status FROM Requests ORDER BY rowid"),
              QStringList({"1012|N", "1010|N"}));
    EXPECT_TRUE(f.db.harvested().isEmpty());
    EXPECT_TRUE(w.mnuDoBig->isEnabled());
    EXPECT_FALSE(w.mnuStoppen->isEnabled());
    EXPECT_TRUE(f.exits.isEmpty());

    // The next command runs as usual.
    f.doSmall("1");
    EXPECT_EQ(f.db.statuses("1012"), QStringList{"Y"});
}

// Closing the window during a batch gives the request back before the end.
TEST(MDIStraatwijs, ClosingDuringABatchGivesTheRequestBack)
{
    Window f;
    MDIStraatwijs& w = f.open();
    w.show();
    f.db.addRequest("1012", "S");
    f.t.wait.during = [&](qint32 ms) {
        if (ms > lookup::PagePollMs && w.isVisible())
            EXPECT_FALSE(w.close()); // deferred until the batch has unwound
    };
    f.doSmall("1");
    EXPECT_EQ(f.db.statuses("1012"), QStringList{"N"});
    EXPECT_TRUE(f.db.harvested().isEmpty());
}

// Timer1 stops itself; without autostart it harvests nothing, with it the
// batch runs and the program ends.
TEST(MDIStraatwijs, TimerRunsTheAutostartBatchAndEndsTheProgram)
{
    for (const char* autostart : {"False", "True"}) {
        Window f;
        f.t.settings.values["Straatwijs/Application/Autostart"] = autostart;
        MDIStraatwijs& w = f.open();
        f.db.addRequest("1010", "S");
        EXPECT_TRUE(w.Timer1.isActive());
        w.Timer1_Timer();
        EXPECT_FALSE(w.Timer1.isActive());
        const bool on = autostart == QLatin1String("True");
        EXPECT_EQ(f.db.statuses("1010"), QStringList{on ? "Y" : "N"});
        EXPECT_EQ(f.exits, on ? QList<int>{0} : QList<int>{});
    }
}
