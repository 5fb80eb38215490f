#include "messages/ui/Alg.h"
#include "support/ScriptedPrompts.h"

#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPrinterInfo>
#include <QTextCursor>
#include <QTextEdit>
#include <gtest/gtest.h>

using messages::MessageLog;
using messages::ui::Alg;

namespace {
QString withoutCr(QString text)
{
    return text.remove(QLatin1Char('\r'));
}

QColor colourAt(QTextEdit* pane, const QString& word)
{
    QTextCursor c = pane->document()->find(word);
    return c.charFormat().foreground().color();
}

// Docked along the bottom of the client area, a quarter of it high, across
// its width.
void expectBottomQuarter(const QMdiSubWindow* sub, const QSize& client)
{
    const QRect g = sub->geometry();
    EXPECT_EQ(g.left(), 0);
    EXPECT_NEAR(g.bottom() + 1, client.height(), 1);
    EXPECT_NEAR(g.height(), client.height() / 4.0, 1);
    EXPECT_NEAR(g.width(), client.width(), 1);
}

void settle()
{
    QApplication::processEvents();
}
} // namespace

TEST(Alg, PaneMirrorsTheLogThroughColoursTrimsAndClear)
{
    testing_support::ScriptedPrompts prompts;
    MessageLog log(prompts);
    log.AddMelding("before the window");
    Alg alg(log);
    EXPECT_EQ(alg.AlgText->toPlainText(), withoutCr(log.text()));

    log.AddMelding("URL = ", 8);
    log.AddMelding("http://x", 0, false, 0x0000FF); // red
    log.AddMelding("top", 0, true, 0xFF0000);       // blue
    EXPECT_EQ(alg.AlgText->toPlainText(), withoutCr(log.text()));
    EXPECT_EQ(colourAt(alg.AlgText, "http://x"), QColor(255, 0, 0));
    EXPECT_EQ(colourAt(alg.AlgText, "top"), QColor(0, 0, 255));
    EXPECT_EQ(colourAt(alg.AlgText, "URL"), QColor(0, 0, 0));

    // Over the limit with CR LF line ends: the removed prefix is shorter in
    // the pane than in the log.
    QString lines;
    while (lines.size() <= MessageLog::MaxLength)
        lines += QStringLiteral("0123456789abcde\r\n");
    log.AddMelding(lines, 8);
    log.AddMelding("after the first trim");
    EXPECT_TRUE(log.text().startsWith(">\r\n"));
    EXPECT_EQ(alg.AlgText->toPlainText(), withoutCr(log.text()));
    // Over the limit again, now with no line feed past the trim point.
    log.AddMelding(QString(MessageLog::MaxLength, QLatin1Char('x')));
    log.AddMelding("no line feed to cut at", 0, true);
    log.AddMelding("still none");
    EXPECT_EQ(alg.AlgText->toPlainText(), withoutCr(log.text()));

    log.ClearAlg();
    EXPECT_TRUE(alg.AlgText->toPlainText().isEmpty());
}

TEST(Alg, DocksAtTheBottomAndRedocksOnlyWhenRestoredFromMinimised)
{
    testing_support::ScriptedPrompts prompts;
    MessageLog log(prompts);
    QMdiArea area;
    area.resize(800, 600);
    area.show();
    auto* alg = new Alg(log);
    QMdiSubWindow* sub = area.addSubWindow(alg);
    sub->show();
    settle();

    alg->Reposition(QStringLiteral("25%"), QStringLiteral("Top"), false);
    settle();
    expectBottomQuarter(sub, area.viewport()->size());
    // The pane sits inside the window with the same margin on every side.
    const QRect pane = alg->AlgText->geometry();
    EXPECT_GT(pane.left(), 0);
    EXPECT_EQ(QMargins(pane.left(), pane.top(), alg->width() - pane.right() - 1,
                       alg->height() - pane.bottom() - 1),
              QMargins(pane.left(), pane.left(), pane.left(), pane.left()));

    // The client area grows while the window is minimised: restoring docks
    // it again with the remembered arguments.
    sub->showMinimized();
    settle();
    area.resize(1000, 800);
    settle();
    sub->showNormal();
    settle();
    expectBottomQuarter(sub, area.viewport()->size());

    // Restoring from maximised gives back the old place, not a new dock.
    const QRect before = sub->geometry();
    sub->showMaximized();
    settle();
    area.resize(700, 500);
    settle();
    sub->showNormal();
    settle();
    EXPECT_EQ(sub->geometry(), before);
}

TEST(Alg, PrintingWithoutAPrinterSaysSoInTheLog)
{
    testing_support::ScriptedPrompts prompts;
    MessageLog log(prompts);
    Alg alg(log);
    if (!QPrinterInfo::defaultPrinter().isNull())
        GTEST_SKIP() << "this machine has a default printer";
    alg.AfdrukkenMeldingen();
    EXPECT_TRUE(log.text().endsWith("geen standaardprinter.\r\n")) << log.text().toStdString();
}
