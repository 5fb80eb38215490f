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
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QScreen>
#include <QScrollBar>
#include <QStatusBar>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <gtest/gtest.h>

using messages::MessageLog;
using shell::ui::MDIStraatwijs;
using namespace testing_support;

namespace {
// The window's menus and timer by their names.
QAction* action(const MDIStraatwijs& w, const char* name)
{
    auto* a = w.findChild<QAction*>(QString::fromLatin1(name));
    EXPECT_NE(a, nullptr) << name;
    return a;
}
QMenu* menu(const MDIStraatwijs& w, const char* name)
{
    auto* m = w.findChild<QMenu*>(QString::fromLatin1(name));
    EXPECT_NE(m, nullptr) << name;
    return m;
}
QTimer* timer1(const MDIStraatwijs& w)
{
    auto* t = w.findChild<QTimer*>(QStringLiteral("Timer1"));
    EXPECT_NE(t, nullptr);
    return t;
}

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
        action(*window, "mnuDoSmall")->trigger();
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
    EXPECT_TRUE(action(w, "mnuAutosmall32")->isChecked());
    EXPECT_TRUE(f.log.text().startsWith("IP-address = ")) << f.log.text().toStdString();

    action(w, "mnuAutosmall32")->trigger();
    EXPECT_FALSE(action(w, "mnuAutosmall32")->isChecked());
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

    QTimer::singleShot(0, action(w, "mnuEinde"), &QAction::trigger);
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

// Placement is stored once the window has settled and only in the normal
// state, a move alone included, and as it closes; a stored placement
// reopens the window exactly, or on the screen when it lay off it.
TEST(MDIStraatwijs, PlacementIsSavedOnlyInTheNormalState)
{
    Window f;
    MDIStraatwijs& w = f.open();
    w.show();
    w.resize(640, 480);
    settle();
    w.placementSettled();
    const auto saved = f.t.settings.values;
    ASSERT_TRUE(saved.contains("Straatwijs/Main/WindowWidth"));

    w.showMaximized();
    settle();
    w.placementSettled();
    ASSERT_NE(w.width(), 640); // the maximised window really is larger
    EXPECT_EQ(f.t.settings.values, saved);
    w.showNormal();
    w.showMinimized();
    settle();
    w.resize(500, 400);
    settle();
    w.placementSettled();
    EXPECT_EQ(f.t.settings.values, saved);

    f.window.reset();
    MDIStraatwijs& again = f.open();
    EXPECT_EQ(again.size(), QSize(640, 480));
    again.show();
    settle();
    const QPoint at = again.pos() + QPoint(30, 20);
    again.move(at);
    settle();
    again.placementSettled();
    f.window.reset();
    EXPECT_EQ(f.open().pos(), at);

    f.window->show();
    f.window->move(at + QPoint(10, 10));
    settle();
    f.window->close(); // before it settled
    f.window.reset();
    EXPECT_EQ(f.open().pos(), at + QPoint(10, 10));

    // Stored on a larger screen, or at a smaller scale: moved and shrunk
    // onto this one, frame and all.
    const QRect available = f.window->screen()->availableGeometry();
    f.window.reset();
    f.t.settings.values["Straatwijs/Main/WindowLeft"] = "60000";
    f.t.settings.values["Straatwijs/Main/WindowTop"] = "-15";
    f.t.settings.values["Straatwijs/Main/WindowWidth"] = "40000";
    f.t.settings.values["Straatwijs/Main/WindowHeight"] = "abc";
    MDIStraatwijs& fitted = f.open();
    EXPECT_TRUE(available.contains(fitted.geometry()))
        << fitted.x() << "," << fitted.y() << " " << fitted.width() << "x" << fitted.height();
    EXPECT_GE(fitted.height(), 240);
    f.window.reset();
    f.t.settings.values["Straatwijs/Main/WindowLeft"] = "-99999999999999999999";
    f.t.settings.values["Straatwijs/Main/WindowHeight"] = "99999999999999999999";
    EXPECT_TRUE(available.contains(f.open().geometry()));
}

// Every command from the keyboard: the menus open with Alt and their
// letter or F10, each item has its own letter, and the harvest commands,
// Stoppen and printing have shortcuts that the menus show.
TEST(MDIStraatwijs, EveryCommandWorksFromTheKeyboard)
{
    Window f;
    MDIStraatwijs& w = f.open();
    w.show();
    QApplication::setActiveWindow(&w);
    settle();
    for (const char* name : {"nmuBestand", "mnuHandmatig"}) {
        QSet<QChar> letters;
        for (const QAction* a : menu(w, name)->actions()) {
            if (a->isSeparator())
                continue;
            const qsizetype amp = a->text().indexOf('&');
            ASSERT_GE(amp, 0) << a->text().toStdString();
            const QChar letter = a->text().at(amp + 1).toLower();
            EXPECT_FALSE(letters.contains(letter)) << a->text().toStdString();
            letters.insert(letter);
        }
    }
    for (const char* name :
         {"mnuDoBig", "mnuDoSmall", "mnuDoMinimal", "mnuStoppen", "mnuAfdrukken"})
        EXPECT_FALSE(action(w, name)->shortcut().isEmpty()) << name;

    QTest::keyClick(&w, Qt::Key_H, Qt::AltModifier);
    settle();
    EXPECT_TRUE(menu(w, "mnuHandmatig")->isVisible());
    menu(w, "mnuHandmatig")->hide();
    QTest::keyClick(&w, Qt::Key_F10);
    settle();
    EXPECT_EQ(w.menuBar()->activeAction(), menu(w, "nmuBestand")->menuAction());
    QTest::keyClick(w.menuBar(), Qt::Key_Escape);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    settle();

    // Ctrl+M runs a minimal batch; Esc stops one and gives its request back.
    f.db.addRequest("1010", "M");
    f.db.addRequest("1011", "S");
    f.db.addRequest("1012", "S");
    f.t.prompts.answerInput(QStringLiteral("1"));
    QTest::keyClick(&w, Qt::Key_M, Qt::ControlModifier);
    EXPECT_EQ(f.db.statuses("1010"), QStringList{"Y"});
    bool once = false;
    f.t.wait.during = [&](qint32 ms) {
        if (ms <= lookup::PagePollMs || once)
            return;
        once = true;
        QTest::keyClick(&w, Qt::Key_Escape);
    };
    f.t.prompts.answerInput(QStringLiteral("2"));
    QTest::keyClick(&w, Qt::Key_S, Qt::ControlModifier);
    EXPECT_TRUE(once);
    EXPECT_EQ(f.db.lines("SELECT Query, Status FROM Requests WHERE Type = 'S' ORDER BY rowid"),
              QStringList({"1011|N", "1012|N"}));
}

// At scale 2 on a 1280x800 screen the window is 512x320 device-independent
// pixels: the log still shows five lines, and the lookup form keeps to the
// rest. The progress bar ends full when a batch ran to its end.
TEST(MDIStraatwijs, SmallWindowShowsFiveLinesOfTheLogAndTheBarEndsFull)
{
    Window f;
    MDIStraatwijs& w = f.open();
    w.show();
    w.resize(512, 320);
    settle();
    f.db.addRequest("1010", "S");
    f.db.addRequest("1011", "S");
    f.doSmall("2");
    EXPECT_EQ(f.db.statuses("1011"), QStringList{"Y"});
    settle();
    const QTextEdit* pane = w.alg()->findChild<QTextEdit*>("AlgText");
    EXPECT_GE(pane->viewport()->height(), 5 * pane->fontMetrics().lineSpacing());
    EXPECT_FALSE(pane->horizontalScrollBar()->isVisible());
    ASSERT_NE(w.lookupForm(), nullptr);
    EXPECT_LE(w.lookupForm()->geometry().bottom(), w.algWindow()->geometry().top());
    EXPECT_GT(w.lookupForm()->height(), w.algWindow()->height() / 2);

    const auto* bar = w.statusBar()->findChild<QProgressBar*>();
    ASSERT_NE(bar, nullptr);
    EXPECT_TRUE(bar->isVisible());
    EXPECT_EQ(bar->value(), bar->maximum());
}

// While a batch runs its commands are greyed out and "Stoppen" is not; it,
// like closing the window, ends the batch and gives the request back.
TEST(MDIStraatwijs, StoppenEndsTheBatchAndGivesTheRequestBack)
{
    Window f;
    MDIStraatwijs& w = f.open();
    EXPECT_FALSE(action(w, "mnuStoppen")->isEnabled());
    f.db.addRequest("1012", "S");
    f.db.addRequest("1011", "S");
    bool once = false;
    f.t.wait.during = [&](qint32 ms) {
        if (ms <= lookup::PagePollMs || once)
            return;
        once = true;
        EXPECT_FALSE(action(w, "mnuDoBig")->isEnabled());
        EXPECT_FALSE(action(w, "mnuDoSmall")->isEnabled());
        EXPECT_TRUE(action(w, "mnuStoppen")->isEnabled());
        action(w, "mnuStoppen")->trigger();
    };
    f.doSmall("2");
    EXPECT_EQ(f.db.lines("SELECT Query, Status FROM Requests ORDER BY rowid"),
              QStringList({"1012|N", "1011|N"}));
    EXPECT_TRUE(f.db.harvested().isEmpty());
    EXPECT_TRUE(action(w, "mnuDoBig")->isEnabled());
    EXPECT_FALSE(action(w, "mnuStoppen")->isEnabled());
    EXPECT_TRUE(f.exits.isEmpty());

    // The next command runs as usual.
    f.doSmall("1");
    EXPECT_EQ(f.db.statuses("1012"), QStringList{"Y"});

    // Closing the window during a batch gives the request back before the end.
    w.show();
    f.t.wait.during = [&](qint32 ms) {
        if (ms > lookup::PagePollMs && w.isVisible()) {
            EXPECT_FALSE(w.close()); // deferred until the batch has unwound
        }
    };
    f.doSmall("1");
    EXPECT_EQ(f.db.statuses("1011"), QStringList{"N"});
    EXPECT_EQ(f.db.lines("SELECT COUNT(*) FROM Straatwijs WHERE Query = '1011'"), QStringList{"0"});
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
        EXPECT_TRUE(timer1(w)->isActive());
        w.Timer1_Timer();
        EXPECT_FALSE(timer1(w)->isActive());
        const bool on = autostart == QLatin1String("True");
        EXPECT_EQ(f.db.statuses("1010"), QStringList{on ? "Y" : "N"});
        EXPECT_EQ(f.exits, on ? QList<int>{0} : QList<int>{});
    }
}
