#include "shell/ui/MDIStraatwijs.h"

#include "messages/ui/Alg.h"
#include "platform/Convert.h"
#include "platform/Twips.h"
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
using testing_support::TestEnv;

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

struct Window
{
    TestEnv t;
    MessageLog log{t.prompts};
    Shell shell{t.env, log};
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
    MDIStraatwijs w(f.shell);

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
    MDIStraatwijs w(f.shell);
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
    MDIStraatwijs w(f.shell);
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
    MDIStraatwijs w(f.shell);
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
