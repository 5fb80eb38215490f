#include "shell/ui/MDIStraatwijs.h"

#include "PostcodeSite.h"
#include "lookup/PageWalk.h"
#include "messages/ui/Alg.h"
#include "platform/Convert.h"
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
using shell::Shell;
using shell::ui::MDIStraatwijs;
using namespace testing_support;

namespace {
void settle()
{
    QApplication::processEvents();
}

// A lookup form stand-in: docks itself over the top RequestedHeight of the
// client area and counts the close events it gets.
struct LookupStandIn : QObject
{
    explicit LookupStandIn(MDIStraatwijs& w)
    {
        form = new QMdiSubWindow;
        form->setWidget(new QWidget);
        w.mdiArea()->addSubWindow(form);
        form->show();
        form->installEventFilter(this);
        w.setLookupForm(form, [this, &w](const QVariant& h, const QString& pos, bool) {
            calls << h.toString() + QLatin1Char('/') + pos;
            const QSize client = w.mdiArea()->viewport()->size();
            form->setGeometry(0, 0, client.width(),
                              int(client.height() * platform::Val(h.toString()) / 100));
        });
    }
    bool eventFilter(QObject*, QEvent* e) override
    {
        closes += e->type() == QEvent::Close;
        return false;
    }
    QMdiSubWindow* form;
    QStringList calls;
    int closes = 0;
};

// The window's parts, with the failure boundary's exit recorded instead of
// ending the test.
struct Window
{
    TestEnv t;
    MessageLog log{t.prompts};
    Shell shell{t.env, log};
    QString errors;
    QTextStream err{&errors};
    QList<int> exits;
    shell::CommandBoundary boundary{shell::CommandBoundary::Display::Window, t.prompts, err,
                                    [this](int status) { exits << status; }};
};

// A window on the embedded database and the local site.
struct HarvestingWindow : Window
{
    HarvestingWindow()
    {
        EXPECT_TRUE(site.listen());
        window.emplace(shell, boundary);
        shell.values.Connection = db.values();
        shell.values.Url = site.baseUrl();
    }
    TestDatabase db{Backend::SQLite};
    postcodesite::PostcodeSite site{postcodesite::SiteOptions{.port = 0}};
    std::optional<MDIStraatwijs> window;
};
} // namespace

TEST(MDIStraatwijs, LoadSetsCaptionPlacementCheckMarkAndAddressLine)
{
    Window f;
    f.t.settings.values["Straatwijs/Application/Autostart"] = "True";
    f.t.settings.values["Straatwijs/Main/WindowTop"] = "1500";
    f.t.settings.values["Straatwijs/Main/WindowLeft"] = "3000";
    f.t.settings.values["Straatwijs/Main/WindowWidth"] = "9000";
    f.t.settings.values["Straatwijs/Main/WindowHeight"] = "7500";
    MDIStraatwijs w(f.shell, f.boundary);

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

TEST(MDIStraatwijs, ResizeDocksTheLookupFormAboveTheMessageWindow)
{
    Window f;
    MDIStraatwijs w(f.shell, f.boundary);
    w.show();
    settle();
    // Docked from the first show on; only the message window until the
    // lookup form arrives.
    EXPECT_NEAR(w.algWindow()->geometry().bottom() + 1, w.mdiArea()->viewport()->height(), 1);

    LookupStandIn lookup(w);
    w.resize(900, 700);
    settle();
    const QSize client = w.mdiArea()->viewport()->size();
    EXPECT_EQ(lookup.calls.value(0), "75%/Top");
    const QRect top = lookup.form->geometry();
    const QRect bottom = w.algWindow()->geometry();
    EXPECT_EQ(top.top(), 0);
    EXPECT_NEAR(bottom.top(), client.height() * 3 / 4.0, 1);
    EXPECT_NEAR(bottom.bottom() + 1, client.height(), 1);
    EXPECT_NEAR(top.bottom() + 1, bottom.top(), 1);

    // Once the lookup form is gone a resize docks the message window alone.
    delete lookup.form;
    w.resize(750, 600);
    settle();
    EXPECT_NEAR(w.algWindow()->geometry().bottom() + 1, w.mdiArea()->viewport()->height(), 1);
}

TEST(MDIStraatwijs, PlacementIsSavedOnlyInTheNormalState)
{
    Window f;
    MDIStraatwijs w(f.shell, f.boundary);
    w.show();
    w.resize(640, 480);
    settle();
    const double dx = w.screen()->logicalDotsPerInchX();
    EXPECT_EQ(f.t.settings.values.value("Straatwijs/Main/WindowWidth"),
              platform::numberText(platform::pixelsToTwips(640, dx)));
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
}

TEST(MDIStraatwijs, EindeEndsTheProgramWithoutClosingOtherWindows)
{
    Window f;
    MDIStraatwijs w(f.shell, f.boundary);
    w.show();
    LookupStandIn lookup(w);
    QTimer::singleShot(0, w.mnuEinde, &QAction::trigger);
    QTimer stuck;
    stuck.setSingleShot(true);
    QObject::connect(&stuck, &QTimer::timeout, [] { QCoreApplication::exit(99); });
    stuck.start(5000);
    EXPECT_EQ(QCoreApplication::exec(), 0);
    EXPECT_EQ(lookup.closes, 0);
}

// The window's harvest path: the engine loads on the first command and the
// lookup form appears docked; a failure that reaches a command is shown in
// a "Fout" box and ends the program with status 1.
TEST(MDIStraatwijs, HarvestCommandShowsTheLookupFormAndAFailureEndsTheProgram)
{
    HarvestingWindow f;
    MDIStraatwijs& w = *f.window;
    EXPECT_EQ(w.lookupForm(), nullptr);
    f.db.addRequest("1010", "S");
    f.t.prompts.answerInput(QStringLiteral("1"));
    w.mnuDoSmall->trigger();
    EXPECT_EQ(f.db.statuses("1010"), QStringList{"Y"});
    ASSERT_NE(w.lookupForm(), nullptr);
    EXPECT_EQ(w.lookupForm()->y(), 0);
    EXPECT_TRUE(f.exits.isEmpty());

    f.db.addRequest("1011", "S");
    f.db.exec("DROP TABLE Straatwijs");
    f.t.prompts.answerInput(QStringLiteral("1"));
    w.mnuDoSmall->trigger();
    EXPECT_EQ(f.exits, QList<int>{1});
    ASSERT_FALSE(f.t.prompts.shown().isEmpty());
    EXPECT_TRUE(f.t.prompts.shown().last().prompt.startsWith("Fout 3146: "));
    EXPECT_EQ(f.db.statuses("1011"), QStringList{"L"});
}

// While a batch runs its commands are greyed out and "Stoppen" is not; it
// ends the batch and gives the request back.
TEST(MDIStraatwijs, StoppenEndsTheBatchAndGivesTheRequestBack)
{
    HarvestingWindow f;
    MDIStraatwijs& w = *f.window;
    EXPECT_FALSE(w.mnuStoppen->isEnabled());
    f.db.addRequest("1012", "S");
    f.db.addRequest("1010", "S");
    f.t.prompts.answerInput(QStringLiteral("2"));
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
    w.mnuDoSmall->trigger();
    EXPECT_EQ(f.db.lines("SELECT Query, Status FROM Requests ORDER BY rowid"),
              QStringList({"1012|N", "1010|N"}));
    EXPECT_TRUE(f.db.harvested().isEmpty());
    EXPECT_TRUE(w.mnuDoBig->isEnabled());
    EXPECT_FALSE(w.mnuStoppen->isEnabled());
    EXPECT_TRUE(f.exits.isEmpty());

    // The next command runs as usual.
    f.t.prompts.answerInput(QStringLiteral("1"));
    w.mnuDoSmall->trigger();
    EXPECT_EQ(f.db.statuses("1012"), QStringList{"Y"});
}

// Closing the window during a batch gives the request back before the end.
TEST(MDIStraatwijs, ClosingDuringABatchGivesTheRequestBack)
{
    HarvestingWindow f;
    MDIStraatwijs& w = *f.window;
    w.show();
    f.db.addRequest("1012", "S");
    f.t.prompts.answerInput(QStringLiteral("1"));
    f.t.wait.during = [&](qint32 ms) {
        if (ms > lookup::PagePollMs && w.isVisible())
            EXPECT_FALSE(w.close()); // deferred until the batch has unwound
    };
    w.mnuDoSmall->trigger();
    EXPECT_EQ(f.db.statuses("1012"), QStringList{"N"});
    EXPECT_TRUE(f.db.harvested().isEmpty());
}

TEST(MDIStraatwijs, TimerRunsTheAutostartBatchAndEndsTheProgram)
{
    {
        HarvestingWindow f;
        f.db.addRequest("1010", "S");
        f.window->Timer1_Timer();
        EXPECT_FALSE(f.window->Timer1.isActive());
        EXPECT_EQ(f.db.statuses("1010"), QStringList{"N"});
        EXPECT_TRUE(f.exits.isEmpty());
    }
    HarvestingWindow f;
    f.t.settings.values["Straatwijs/Application/Autostart"] = "True";
    f.window.emplace(f.shell, f.boundary); // loads the option anew
    f.shell.values.Connection = f.db.values();
    f.shell.values.Url = f.site.baseUrl();
    f.db.addRequest("1010", "S");
    f.window->Timer1_Timer();
    EXPECT_EQ(f.db.statuses("1010"), QStringList{"Y"});
    EXPECT_EQ(f.exits, QList<int>{0});
    EXPECT_EQ(f.t.wait.pausesLongerThan(lookup::PagePollMs).last(), 10000);
}
