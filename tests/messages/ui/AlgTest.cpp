#include "messages/ui/Alg.h"
#include "platform/ui/QtTranslations.h"
#include "support/ScriptedPrompts.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCursor>
#include <QTextEdit>
#include <QTimer>
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

QTextEdit* pane(const Alg& alg)
{
    auto* p = alg.findChild<QTextEdit*>(QStringLiteral("AlgText"));
    EXPECT_NE(p, nullptr);
    return p;
}

// The text of a PDF file, through pdftotext; empty when that is missing.
QString pdfText(const QString& file)
{
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    if (tool.isEmpty())
        return {};
    QProcess p;
    p.start(tool, {QStringLiteral("-layout"), file, QStringLiteral("-")});
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

class Meldingen : public ::testing::Test
{
protected:
    testing_support::ScriptedPrompts prompts;
    MessageLog log{prompts};
};
} // namespace

TEST_F(Meldingen, PaneMirrorsTheLogThroughColoursTrimsAndClear)
{
    log.AddMelding("before the window");
    Alg alg(log);
    EXPECT_EQ(pane(alg)->toPlainText(), withoutCr(log.text()));

    log.AddMelding("URL = ", 8);
    log.AddMelding("http://x", 0, false, 0x0000FF); // red
    log.AddMelding("top", 0, true, 0xFF0000);       // blue
    EXPECT_EQ(pane(alg)->toPlainText(), withoutCr(log.text()));
    EXPECT_EQ(colourAt(pane(alg), "http://x"), QColor(255, 0, 0));
    EXPECT_EQ(colourAt(pane(alg), "top"), QColor(0, 0, 255));
    EXPECT_EQ(colourAt(pane(alg), "URL"), QColor(0, 0, 0));

    // Over the limit with CR LF line ends: the removed prefix is shorter in
    // the pane than in the log.
    QString lines;
    while (lines.size() <= MessageLog::MaxLength)
        lines += QStringLiteral("0123456789abcde\r\n");
    log.AddMelding(lines, 8);
    log.AddMelding("after the first trim");
    EXPECT_TRUE(log.text().startsWith(">\r\n"));
    EXPECT_EQ(pane(alg)->toPlainText(), withoutCr(log.text()));
    // Over the limit again, now with no line feed past the trim point.
    log.AddMelding(QString(MessageLog::MaxLength, QLatin1Char('x')));
    log.AddMelding("no line feed to cut at", 0, true);
    log.AddMelding("still none");
    EXPECT_EQ(pane(alg)->toPlainText(), withoutCr(log.text()));

    log.ClearAlg();
    EXPECT_TRUE(pane(alg)->toPlainText().isEmpty());
}

TEST_F(Meldingen, DocksAtTheBottomAndRedocksOnlyWhenRestoredFromMinimised)
{
    QMdiArea area;
    area.resize(800, 600);
    area.show();
    auto* alg = new Alg(log);
    QMdiSubWindow* sub = area.addSubWindow(alg);
    sub->show();
    QApplication::processEvents();

    alg->Reposition(QStringLiteral("25%"), QStringLiteral("Top"), false);
    QApplication::processEvents();
    // The pane sits inside the window with the same margin on every side.
    const QRect paneRect = pane(*alg)->geometry();
    EXPECT_GT(paneRect.left(), 0);
    EXPECT_EQ(QMargins(paneRect.left(), paneRect.top(), alg->width() - paneRect.right() - 1,
                       alg->height() - paneRect.bottom() - 1),
              QMargins(paneRect.left(), paneRect.left(), paneRect.left(), paneRect.left()));

    // The client area grows while the window is minimised: restoring docks
    // it again with the remembered arguments, along the bottom, a quarter of
    // the area high, across its width.
    sub->showMinimized();
    QApplication::processEvents();
    area.resize(1000, 800);
    QApplication::processEvents();
    sub->showNormal();
    QApplication::processEvents();
    const QRect docked = sub->geometry();
    EXPECT_EQ(docked.left(), 0);
    EXPECT_NEAR(docked.bottom() + 1, area.viewport()->height(), 1);
    EXPECT_NEAR(docked.height(), area.viewport()->height() / 4.0, 1);
    EXPECT_NEAR(docked.width(), area.viewport()->width(), 1);

    // Restoring from maximised gives back the old place, not a new dock.
    sub->showMaximized();
    QApplication::processEvents();
    area.resize(700, 500);
    QApplication::processEvents();
    sub->showNormal();
    QApplication::processEvents();
    EXPECT_EQ(sub->geometry(), docked);
}

// The log prints through the print dialog into a PDF file when there is no
// printer; a selection prints alone.
TEST_F(Meldingen, PrintsTheLogOrItsSelectionToAPdfFile)
{
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    if (!QPrinterInfo::defaultPrinter().isNull())
        GTEST_SKIP() << "this machine has a default printer";
    Alg alg(log);
    log.AddMelding("DoBig");
    log.AddMelding(QStringLiteral("URL = http://127.0.0.1/index?address=1011 één"));
    for (int i = 0; i < 150; ++i)
        log.AddMelding(QStringLiteral("regel %1").arg(i));

    // Accept the dialog as it opens: its choice is the PDF file it offers,
    // in the home folder when there is no documents folder.
    QTemporaryDir home;
    qputenv("HOME", home.path().toLocal8Bit());
    const QString pdf = home.filePath("Meldingen.pdf");
    QString title;
    QTimer::singleShot(0, [&] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            title = dialog->windowTitle();
            dialog->accept();
        }
    });
    alg.AfdrukkenMeldingen();
    EXPECT_FALSE(title.isEmpty());
    const QString all = pdfText(pdf);
    EXPECT_TRUE(all.contains("URL = http://127.0.0.1/index?address=1011 één")) << all.toStdString();
    EXPECT_TRUE(all.contains("regel 149")); // on a later page
    EXPECT_TRUE(all.contains("\f"));

    // A cancelled dialog prints nothing.
    QFile::remove(pdf);
    QTimer::singleShot(0, [] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
            dialog->reject();
    });
    alg.AfdrukkenMeldingen();
    EXPECT_FALSE(QFile::exists(pdf));

    // The selection alone, on a printer set up by the caller.
    QTemporaryDir folder;
    QTextCursor c = pane(alg)->document()->find("regel 7");
    pane(alg)->setTextCursor(c);
    QPrinter printer;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(folder.filePath("selection.pdf"));
    alg.printTo(printer);
    const QString selection = pdfText(folder.filePath("selection.pdf"));
    EXPECT_TRUE(selection.startsWith("regel 7\n")) << selection.toStdString();
    EXPECT_FALSE(selection.contains("regel 8") || selection.contains("DoBig"));
}

// Qt's own texts speak Dutch beside the program's; the context menu leads
// to printing too.
TEST_F(Meldingen, ContextMenuAndDialogButtonsAreDutch)
{
    ASSERT_TRUE(platform::installDutchQtTexts(*qApp)) << "qt6-translations-l10n missing?";
    Alg alg(log);
    QMenu* menu = alg.contextMenu();
    QStringList items;
    for (const QAction* a : menu->actions())
        items << a->text().remove('&').section('\t', 0, 0);
    delete menu;
    EXPECT_TRUE(items.contains("Kopiëren")) << items.join('|').toStdString();
    EXPECT_TRUE(items.contains("Alles selecteren")) << items.join('|').toStdString();
    EXPECT_TRUE(items.contains("Afdrukken…")) << items.join('|').toStdString();
    QDialogButtonBox buttons(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    EXPECT_EQ(buttons.button(QDialogButtonBox::Cancel)->text().remove('&'), "Annuleren");
}

// The pane follows the newest line through resizes and new messages unless
// the user scrolled up; long lines wrap instead of scrolling sideways; the
// keyboard reaches both ends.
TEST_F(Meldingen, KeepsTheNewestLineInViewAndWrapsLongLines)
{
    Alg alg(log);
    alg.resize(400, 120);
    alg.show();
    QApplication::processEvents();
    for (int i = 0; i < 60; ++i)
        log.AddMelding(QStringLiteral("regel %1 ").arg(i) + QString(i % 7 == 0 ? 30 : 1, 'x') +
                       QStringLiteral(" /pad/zonder/spaties/") + QString(60, 'y'));
    QApplication::processEvents();
    QScrollBar* bar = pane(alg)->verticalScrollBar();
    EXPECT_EQ(bar->value(), bar->maximum());
    EXPECT_FALSE(pane(alg)->horizontalScrollBar()->isVisible());

    alg.resize(250, 160); // narrower: more wrapped lines
    QApplication::processEvents();
    EXPECT_GT(bar->maximum(), 0);
    EXPECT_EQ(bar->value(), bar->maximum());

    bar->setValue(bar->maximum() / 2); // the user reads further up
    const int reading = bar->value();
    log.AddMelding("nieuw");
    alg.resize(300, 160);
    QApplication::processEvents();
    EXPECT_EQ(bar->value(), reading);

    pane(alg)->setFocus();
    const int line = pane(alg)->fontMetrics().lineSpacing();
    QTest::keyClick(pane(alg), Qt::Key_End, Qt::ControlModifier);
    EXPECT_TRUE(pane(alg)->textCursor().atEnd());
    EXPECT_GE(bar->value(), bar->maximum() - line);
    log.AddMelding("nog nieuwer"); // following again
    QApplication::processEvents();
    EXPECT_EQ(bar->value(), bar->maximum());
    QTest::keyClick(pane(alg), Qt::Key_Home, Qt::ControlModifier);
    EXPECT_TRUE(pane(alg)->textCursor().atStart());
    EXPECT_LT(bar->value(), line);
}
