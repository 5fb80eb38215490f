#include "lookup/ui/frmPostcode.h"

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

// The form opens even when the database does not, lays out its pane and
// gives the engine the main window's values.
TEST(frmPostcode, LoadsWithoutADatabaseAndUnloadsCleanly)
{
    TestEnv env;
    RecordingSink sink;
    QMdiArea area;
    area.resize(1000, 800);
    auto* form = new frmPostcode(std::make_unique<PostcodeLookup>(env.env, sink));
    QMdiSubWindow* sub = area.addSubWindow(form);
    area.show();
    form->resize(800, 600);

    const lookup::ConnectionValues away = unreachableServer();
    form->Form_Load({away.Server, "root", "pw", "postcode", "http://127.0.0.1:9", away.Port});
    EXPECT_EQ(form->PaneMargin, 50);
    EXPECT_EQ(form->engine().Url, "http://127.0.0.1:9");
    EXPECT_TRUE(form->engine().ValidURL);
    EXPECT_EQ(sink.lines.value(0), "Open database: postcode op server 127.0.0.1");
    EXPECT_EQ(form->cmdBack->text(), "Terug");
    EXPECT_EQ(form->cmdRefresh->text(), "Refresh pagina");
    EXPECT_TRUE(form->Frame3->isVisible());
    EXPECT_GT(form->brwWebBrowser->height(), 300);
    EXPECT_LT(form->brwWebBrowser->geometry().bottom(), form->cmdBack->geometry().top());

    form->Reposition(QString("75%"), "Top", false);
    EXPECT_EQ(sub->y(), 0);
    EXPECT_NEAR(sub->height(), area.viewport()->height() * 0.75, 2);

    auto* browser = new QWidget;
    form->setBrowserPane(browser);
    EXPECT_EQ(form->brwWebBrowser, browser);
    EXPECT_EQ(browser->parentWidget(), form->Frame3);

    sink.lines.clear();
    sub->close();
    EXPECT_FALSE(form->engine().ValidURL);
    EXPECT_EQ(sink.lines,
              QStringList({"Closing database 0", "Database :postcode closed. RC=3704"}));
}
