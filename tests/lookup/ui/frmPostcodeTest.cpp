#include "lookup/ui/frmPostcode.h"

#include "lookup/PostcodeLookup.h"
#include "support/RecordingSink.h"
#include "support/TestDatabase.h"
#include "support/TestEnv.h"

#include <QFrame>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <gtest/gtest.h>

using lookup::PostcodeLookup;
using lookup::ui::frmPostcode;
using namespace testing_support;

// The form shows an engine that loaded without its database, lays out its
// pane, and its closing unloads the engine (which the next command loads
// again) without destroying it. Its docking is checked in the main window.
TEST(frmPostcode, ShowsTheEngineAndItsClosingUnloadsIt)
{
    TestEnv env;
    RecordingSink sink;
    PostcodeLookup engine(env.env, sink);
    engine.load({unreachableServer(), "http://127.0.0.1:9", "192.0.2.7"});
    ASSERT_TRUE(engine.loaded() && engine.ValidURL);
    QMdiArea area;
    area.resize(1000, 800);
    auto* form = new frmPostcode(engine);
    QMdiSubWindow* sub = area.addSubWindow(form);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    area.show();
    form->resize(800, 600);

    form->Form_Load();
    const auto* cmdBack = form->findChild<QPushButton*>("cmdBack");
    const auto* cmdRefresh = form->findChild<QPushButton*>("cmdRefresh");
    const auto* frame = form->findChild<QFrame*>("Frame3");
    const auto* browser = form->findChild<QWidget*>("brwWebBrowser");
    ASSERT_TRUE(cmdBack && cmdRefresh && frame && browser);
    EXPECT_EQ(form->paneMargin(), 50);
    EXPECT_TRUE(frame->isVisible());
    EXPECT_GT(browser->height(), 300);
    EXPECT_LT(browser->geometry().bottom(), cmdBack->geometry().top());

    sink.lines.clear();
    sub->close();
    EXPECT_FALSE(engine.ValidURL);
    EXPECT_FALSE(engine.loaded());
    EXPECT_EQ(sink.lines,
              QStringList({"Closing database 0", "Database :postcode closed. RC=3704"}));
}
