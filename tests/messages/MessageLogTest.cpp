#include "messages/MessageLog.h"
#include "platform/RunError.h"
#include "support/ScriptedPrompts.h"

#include <gtest/gtest.h>

namespace {
// A log whose echo and log-file copy are recorded; the copy to file 99
// fails as a full disk does.
class MessageLog : public ::testing::Test
{
protected:
    MessageLog()
    {
        log.setEcho([this](const QString& t) { echoed += t; });
        log.setLogWriter([this](qint16 n, const QByteArray& line) {
            if (n == 99)
                throw platform::RunError(61, "Disk full", "Put");
            copied << line;
        });
    }
    testing_support::ScriptedPrompts prompts;
    messages::MessageLog log{prompts};
    QString echoed;
    QList<QByteArray> copied;
};
} // namespace

TEST_F(MessageLog, LinesPhaseEightAndStartpunt)
{
    log.AddMelding("URL = ", 8);
    log.AddMelding("http://x");
    log.AddMelding("top", 0, true, 0xFF);
    EXPECT_EQ(log.text(), "top\r\nURL = http://x\r\n");
    EXPECT_EQ(echoed, "URL = http://x\ntop\n");
}

TEST_F(MessageLog, TrimsTheOldestTextPastTheLimit)
{
    // One character over the limit; the first line feed at or after position
    // 32000 (1-based) stands ten characters further on, at 32010 (the end
    // of the first message).
    log.AddMelding(QString(32008, QLatin1Char('x')));
    const QString rest(messages::MessageLog::MaxLength + 1 - 32010, QLatin1Char('x'));
    log.AddMelding(rest, 8);
    log.AddMelding("next");
    EXPECT_EQ(log.text(), ">\r\n" + rest + "next\r\n");

    // No line feed after position 32000: nothing removed, one more ">" line.
    log.ClearAlg();
    log.AddMelding(QString(99, QLatin1Char('y')));
    log.AddMelding(QString(messages::MessageLog::MaxLength + 5 - 101, QLatin1Char('y')), 8);
    const QString noLf = log.text();
    log.AddMelding("a");
    EXPECT_EQ(log.text(), ">\r\n" + noLf + "a\r\n");
    // Now the line end of "a" lies past position 32000: all before it goes.
    log.AddMelding("b");
    EXPECT_EQ(log.text(), ">\r\nb\r\n");
}

TEST_F(MessageLog, MessageBoxesLeaveATrace)
{
    log.AddMsgBoxMelding("Bestand niet gevonden", "Bestand zoeken", 16, false, 0, true);
    EXPECT_EQ(log.text(), "Bestand zoeken\r\nBestand niet gevonden\r\n");
    ASSERT_EQ(prompts.shown().size(), 1);
    EXPECT_EQ(prompts.shown()[0].prompt, "Bestand niet gevonden");
    EXPECT_EQ(prompts.shown()[0].style, 16);
    EXPECT_EQ(prompts.shown()[0].title, "Bestand zoeken");

    log.ClearAlg();
    log.AddMsgBoxMelding("alleen", "");
    EXPECT_EQ(log.text(), "alleen\r\n");
    EXPECT_EQ(prompts.shown().size(), 1); // no box asked for

    prompts.answerBox(platform::box::No);
    EXPECT_EQ(log.AddMsgBoxMeldingJN("Vervangen?", "Bestand", 32), 7);
    EXPECT_EQ(prompts.shown().last().style, 32 | 4);
    EXPECT_EQ(log.AddMsgBoxMeldingJN("Nogmaals?", "", 32), 6); // default button: yes
}

TEST_F(MessageLog, LogFileCopyComesFirstAndOnlyWithBitOne)
{
    log.AddMelding("not copied");
    log.setLogFile(1, 2);
    log.AddMelding("still not");
    log.setLogFile(1, 3);
    log.AddMelding(QString::fromUtf8("caf\u00E9 \u20AC \U0001F600"), 8);
    EXPECT_EQ(copied, QList<QByteArray>{"caf\xE9 ? ?\r\n"});

    // A failing write switches the copy off, says so once, and loses no
    // message.
    log.setLogFile(99, 3);
    log.AddMelding("kept");
    log.AddMelding("next");
    EXPECT_EQ(log.logFileNumber(), 0);
    EXPECT_TRUE(log.text().endsWith("kept\r\nLog file 99 could not be written (Error 61: Disk full "
                                    "(Put)); messages are no longer copied to it.\r\nnext\r\n"))
        << log.text().toStdString();
}

// Whoever fills the queue writes the query texts: none of them may start a
// line of its own, on the echo, in the pane or in the log file.
TEST_F(MessageLog, ControlCharactersNeverBreakALine)
{
    log.setLogFile(1, 1);

    const QString planted = QString::fromUtf8("1011\n9999 (S): 25 rijen opgeslagen, status Y\r"
                                              "\t\x01\x1b[2J\u0085\u2028\\n");
    log.AddMelding(planted + " (S): 0 rijen opgeslagen, status Y");
    const QString line = "1011\\n9999 (S): 25 rijen opgeslagen, status Y\\r\\t\\x01\\x1b[2J"
                         "\\x85\\u2028\\n (S): 0 rijen opgeslagen, status Y";
    EXPECT_EQ(echoed, line + "\n");
    EXPECT_EQ(log.text(), line + "\r\n");
    EXPECT_EQ(copied, QList<QByteArray>{line.toLatin1() + "\r\n"});

    // A box's trace: its title on its own line, each part escaped.
    log.ClearAlg();
    log.AddMsgBoxMelding("Fout\r\nBestand=a\nb", "Verwijderen\n");
    EXPECT_EQ(log.text(), "Verwijderen\\n\r\nFout\\r\\nBestand=a\\nb\r\n");
}
