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
#include <QStatusBar>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <gtest/gtest.h>

using messages::MessageLog;
using shell::ui::MDIStraatwijs;
using namespace testing_support;

namespace {
// The window's menu items, menus and timer by their names.
template <typename T = QAction> T* child(const MDIStraatwijs& w, const char* name)
{
    auto* c = w.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(c, nullptr) << name;
    return c;
}

// The window on the embedded database and the local site, opened once the
// test has stored its settings; the failure boundary's exit is recorded
// instead of ending the test.
class MainWindow : public ::testing::Test
{
protected:
    MainWindow() { EXPECT_TRUE(site.listen()); }
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
        child(*window, "mnuDoSmall")->trigger();
    }
    // Docked along the bottom of the client area, below `above`.
    void expectLogDockedBelow(double above)
    {
        const QRect bottom = window->algWindow()->geometry();
        EXPECT_NEAR(bottom.top(), above, 1);
        EXPECT_NEAR(bottom.bottom() + 1, window->mdiArea()->viewport()->height(), 1);
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
} // namespace

// The load sets the caption, the stored placement and the autostart check
// mark; Timer1 stops itself and runs the autostart batch only while that
// mark is on, and the program ends after it.
TEST_F(MainWindow, LoadAndTheAutostartTimer)
{
    t.settings.values["Straatwijs/Application/Autostart"] = "True";
    t.settings.values["Straatwijs/Main/WindowTop"] = "1500";
    t.settings.values["Straatwijs/Main/WindowLeft"] = "3000";
    t.settings.values["Straatwijs/Main/WindowWidth"] = "9000";
    t.settings.values["Straatwijs/Main/WindowHeight"] = "7500";
    MDIStraatwijs& w = open();

    EXPECT_EQ(w.windowTitle(), shell::caption());
    const double dx = w.screen()->logicalDotsPerInchX();
    const double dy = w.screen()->logicalDotsPerInchY();
    EXPECT_EQ(w.pos(),
              QPoint(platform::twipsToPixels(3000, dx), platform::twipsToPixels(1500, dy)));
    EXPECT_EQ(w.size(),
              QSize(platform::twipsToPixels(9000, dx), platform::twipsToPixels(7500, dy)));
    EXPECT_TRUE(child(w, "mnuAutosmall32")->isChecked());

    child(w, "mnuAutosmall32")->trigger();
    EXPECT_FALSE(child(w, "mnuAutosmall32")->isChecked());
    EXPECT_EQ(t.settings.values.value("Straatwijs/Application/Autostart"), "False");
    db.addRequest("1010", "S");
    EXPECT_TRUE(child<QTimer>(w, "Timer1")->isActive());
    w.Timer1_Timer();
    EXPECT_FALSE(child<QTimer>(w, "Timer1")->isActive());
    EXPECT_EQ(db.statuses("1010"), QStringList{"N"});

    child(w, "mnuAutosmall32")->trigger();
    w.Timer1_Timer();
    EXPECT_EQ(db.statuses("1010"), QStringList{"Y"});
    EXPECT_EQ(exits, QList<int>{0});
}

// The window's harvest path: the engine loads on the first command and the
// lookup form appears, docked above the message window on every resize, and
// the bar ends full; in a small window the log still shows five lines.
// "Einde" ends the program without closing it first. A failure that reaches
// a command is shown in a "Fout" box and ends the program with status 1.
TEST_F(MainWindow, HarvestShowsTheLookupFormDockedAndAFailureEndsTheProgram)
{
    MDIStraatwijs& w = open();
    w.show();
    QApplication::processEvents();
    expectLogDockedBelow(w.mdiArea()->viewport()->height() * 3 / 4.0);
    EXPECT_EQ(w.lookupForm(), nullptr);
    db.addRequest("1010", "S");
    doSmall("1");
    EXPECT_EQ(db.statuses("1010"), QStringList{"Y"});
    ASSERT_NE(w.lookupForm(), nullptr);
    const auto* bar = w.statusBar()->findChild<QProgressBar*>();
    ASSERT_NE(bar, nullptr);
    EXPECT_TRUE(bar->isVisible());
    EXPECT_EQ(bar->value(), bar->maximum());
    // The program's own icon, every rendered size, on the window and both
    // children instead of the toolkit's logo.
    const QList<QSize> sizes = w.windowIcon().availableSizes();
    EXPECT_TRUE(sizes.contains(QSize(16, 16)) && sizes.contains(QSize(256, 256))) << sizes.size();
    EXPECT_EQ(w.algWindow()->windowIcon().cacheKey(), w.windowIcon().cacheKey());
    EXPECT_EQ(w.lookupForm()->windowIcon().cacheKey(), w.windowIcon().cacheKey());
    w.resize(900, 700);
    QApplication::processEvents();
    const QRect top = w.lookupForm()->geometry();
    EXPECT_EQ(top.top(), 0);
    EXPECT_NEAR(top.height(), w.mdiArea()->viewport()->height() * 3 / 4.0, 2);
    expectLogDockedBelow(top.bottom() + 1);

    // At scale 2 on a 1280x800 screen the window is 512x320 device-independent
    // pixels: the log takes more than a quarter, the lookup form the rest.
    w.resize(512, 320);
    QApplication::processEvents();
    const QTextEdit* pane = w.alg()->findChild<QTextEdit*>("AlgText");
    EXPECT_GE(pane->viewport()->height(), 5 * pane->fontMetrics().lineSpacing());
    EXPECT_LE(w.lookupForm()->geometry().bottom(), w.algWindow()->geometry().top());
    EXPECT_GT(w.lookupForm()->height(), w.algWindow()->height() / 2);

    // Once the lookup form is gone a resize docks the message window alone;
    // the next command brings the form back.
    w.lookupForm()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(w.lookupForm(), nullptr);
    w.resize(750, 600);
    QApplication::processEvents();
    expectLogDockedBelow(w.mdiArea()->viewport()->height() * 3 / 4.0);
    db.addRequest("1011", "S");
    db.exec("DROP TABLE Straatwijs");
    doSmall("1");
    EXPECT_EQ(exits, QList<int>{1});
    ASSERT_FALSE(t.prompts.shown().isEmpty());
    EXPECT_TRUE(t.prompts.shown().last().prompt.startsWith("Fout 3146: "));
    EXPECT_EQ(db.statuses("1011"), QStringList{"L"});

    ASSERT_NE(w.lookupForm(), nullptr);
    QTimer::singleShot(0, child(w, "mnuEinde"), &QAction::trigger);
    QTimer::singleShot(5000, &w, [] { QCoreApplication::exit(99); }); // not stuck for ever
    EXPECT_EQ(QCoreApplication::exec(), 0);
    EXPECT_NE(w.lookupForm(), nullptr); // it deletes itself when closed
    EXPECT_EQ(exits, QList<int>{1});
}

// The window's events reach the placement memory: a resize or a move alone
// is stored once the window has settled, nothing while it is maximised, and
// where it is as it closes. The stored placement reopens the window exactly,
// or on the screen when it lay off it.
TEST_F(MainWindow, PlacementIsSavedOnlyInTheNormalState)
{
    MDIStraatwijs& w = open();
    w.show();
    w.resize(640, 480);
    QApplication::processEvents();
    w.placementSettled();
    const auto saved = t.settings.values;
    ASSERT_TRUE(saved.contains("Straatwijs/Main/WindowWidth"));
    w.showMaximized();
    QApplication::processEvents();
    w.placementSettled();
    ASSERT_NE(w.width(), 640); // the maximised window really is larger
    EXPECT_EQ(t.settings.values, saved);

    window.reset();
    MDIStraatwijs& again = open();
    EXPECT_EQ(again.size(), QSize(640, 480));
    again.show();
    QApplication::processEvents();
    const QPoint at = again.pos() + QPoint(30, 20);
    again.move(at);
    QApplication::processEvents();
    again.placementSettled();
    EXPECT_NE(t.settings.values, saved);
    again.move(at + QPoint(10, 10));
    QApplication::processEvents();
    again.close(); // before it settled
    window.reset();
    EXPECT_EQ(open().pos(), at + QPoint(10, 10));

    // Stored on a larger screen, or at a smaller scale, with numbers beyond
    // any screen: moved and shrunk onto this one, frame and all.
    const QRect available = window->screen()->availableGeometry();
    window.reset();
    t.settings.values["Straatwijs/Main/WindowLeft"] = "-99999999999999999999";
    t.settings.values["Straatwijs/Main/WindowTop"] = "-15";
    t.settings.values["Straatwijs/Main/WindowWidth"] = "40000";
    t.settings.values["Straatwijs/Main/WindowHeight"] = "abc";
    MDIStraatwijs& fitted = open();
    EXPECT_TRUE(available.contains(fitted.geometry()))
        << fitted.x() << "," << fitted.y() << " " << fitted.width() << "x" << fitted.height();
    EXPECT_GE(fitted.height(), 240);
}

// Every command from the keyboard: the menus open with Alt and their letter
// or F10, each item has its own letter, and the harvest commands, Stoppen
// and printing have shortcuts that the menus show. While a batch runs its
// commands are greyed out and Stoppen is not; it, like closing the window,
// ends the batch and gives the request back.
TEST_F(MainWindow, EveryCommandWorksFromTheKeyboardAndStoppenGivesTheRequestBack)
{
    MDIStraatwijs& w = open();
    w.show();
    QApplication::setActiveWindow(&w);
    QApplication::processEvents();
    for (const char* name : {"nmuBestand", "mnuHandmatig"}) {
        QSet<QChar> letters;
        for (const QAction* a : child<QMenu>(w, name)->actions()) {
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
        EXPECT_FALSE(child(w, name)->shortcut().isEmpty()) << name;

    QTest::keyClick(&w, Qt::Key_H, Qt::AltModifier);
    QApplication::processEvents();
    EXPECT_TRUE(child<QMenu>(w, "mnuHandmatig")->isVisible());
    child<QMenu>(w, "mnuHandmatig")->hide();
    QTest::keyClick(&w, Qt::Key_F10);
    QApplication::processEvents();
    EXPECT_EQ(w.menuBar()->activeAction(), child<QMenu>(w, "nmuBestand")->menuAction());
    QTest::keyClick(w.menuBar(), Qt::Key_Escape);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QApplication::processEvents();

    // Ctrl+S starts a batch; Esc stops it at its first pause.
    EXPECT_FALSE(child(w, "mnuStoppen")->isEnabled());
    db.addRequest("1012", "S");
    db.addRequest("1011", "S");
    db.addRequest("1010", "M");
    bool once = false;
    t.wait.during = [&](qint32 ms) {
        if (ms <= lookup::PagePollMs || once)
            return;
        once = true;
        EXPECT_FALSE(child(w, "mnuDoBig")->isEnabled());
        EXPECT_FALSE(child(w, "mnuDoSmall")->isEnabled());
        EXPECT_TRUE(child(w, "mnuStoppen")->isEnabled());
        QTest::keyClick(&w, Qt::Key_Escape);
    };
    t.prompts.answerInput(QStringLiteral("2"));
    QTest::keyClick(&w, Qt::Key_S, Qt::ControlModifier);
    EXPECT_TRUE(once);
    EXPECT_EQ(db.lines("SELECT Query, Status FROM Requests ORDER BY rowid"),
              QStringList({"1012|N", "1011|N", "1010|N"}));
    EXPECT_TRUE(db.harvested().isEmpty());
    EXPECT_TRUE(child(w, "mnuDoBig")->isEnabled());
    EXPECT_FALSE(child(w, "mnuStoppen")->isEnabled());
    EXPECT_TRUE(exits.isEmpty());

    // The next command, Ctrl+M, runs as usual.
    t.prompts.answerInput(QStringLiteral("1"));
    QTest::keyClick(&w, Qt::Key_M, Qt::ControlModifier);
    EXPECT_EQ(db.statuses("1010"), QStringList{"Y"});

    // Closing the window during a batch gives the request back before the end.
    t.wait.during = [&](qint32 ms) {
        if (ms > lookup::PagePollMs && w.isVisible()) {
            EXPECT_FALSE(w.close()); // deferred until the batch has unwound
        }
    };
    doSmall("1");
    EXPECT_EQ(db.statuses("1012"), QStringList{"N"});
    EXPECT_EQ(db.lines("SELECT COUNT(*) FROM Straatwijs WHERE Query = '1012'"), QStringList{"0"});
}
