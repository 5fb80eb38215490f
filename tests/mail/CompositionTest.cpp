#include "mail/Composition.h"

#include <gtest/gtest.h>

using namespace mail;

TEST(PrepareMessage, DotStuffingAndLineEnds)
{
    EXPECT_EQ(PrepareMessage(""), "");
    EXPECT_EQ(PrepareMessage(".a\r\n..b\r\nc."), "..a\r\n...b\r\nc.");
    // Bare LF and bare CR become CR LF before stuffing, so no lone "." line
    // can end the data early.
    EXPECT_EQ(PrepareMessage("a\n.\nb"), "a\r\n..\r\nb");
    EXPECT_EQ(PrepareMessage("a\r.\rb\r\n.\n"), "a\r\n..\r\nb\r\n..\r\n");
}

TEST(PrepareMessage, LongLinesFoldAt998)
{
    const QString x(2000, 'x');
    EXPECT_EQ(PrepareMessage(x), x.left(998) + "\r\n" + x.left(998) + "\r\n" + x.left(4));
    // At the last blank at or before 998; the blank ends the piece.
    const QString words = QString(500, 'a') + " " + QString(600, 'b') + " c";
    EXPECT_EQ(PrepareMessage("t\r\n" + words),
              "t\r\n" + QString(500, 'a') + " \r\n" + QString(600, 'b') + " c");
    // A piece that begins with "." after a cut is stuffed too.
    EXPECT_EQ(PrepareMessage(QString(998, 'x') + ".\r\nz"), QString(998, 'x') + "\r\n..\r\nz");
    for (const QString& line : PrepareMessage(QString(3000, '.')).split("\r\n"))
        EXPECT_LE(line.size(), 998);
}

TEST(EmbedReferencedFiles, RewritesQuotedAttributesInsideTags)
{
    MailMessage m;
    m.AsHTML = true;
    m.AttachmentPaths = {"/x/a.png", "/x/b.png", "/x/c.png"};
    m.AttachmentNames = {"a.png", "b.png", "c.png"};
    m.AttachmentEmbedded = {false, false, false};
    m.Message = "<img src=\"C:\\x\\A.PNG\"> <img src=/x/a.png> a.png <b>b.png</b> <!-- c.png -->";
    EXPECT_TRUE(EmbedReferencedFiles(m));
    // Outside a tag, or in a tag without an attribute, a name stays as it is.
    EXPECT_EQ(m.Message,
              "<img src=\"cid:a.png\"> <img src=cid:a.png> a.png <b>b.png</b> <!-- c.png -->");
    EXPECT_EQ(m.AttachmentEmbedded, (QList<bool>{true, false, false}));

    m.AsHTML = false;
    EXPECT_FALSE(EmbedReferencedFiles(m));
}

TEST(GetContentType, ByExtensionWithDefault)
{
    EXPECT_EQ(GetContentType("C:\\foto's\\kaart.JPG"), "image/jpeg");
    EXPECT_EQ(GetContentType("brief.pdf", "x/y"), "application/pdf");
    EXPECT_EQ(GetContentType("README", "application/octet-stream"), "application/octet-stream");
    EXPECT_EQ(GetContentType("data.onbekend", "application/octet-stream"),
              "application/octet-stream");
}

TEST(TimeZoneOffsetText, MinutesWestOfUtc)
{
    EXPECT_EQ(timeZoneOffsetText(-60), "+0100");
    EXPECT_EQ(timeZoneOffsetText(-330), "+0530");
    EXPECT_EQ(timeZoneOffsetText(210), "-0330");
    EXPECT_EQ(timeZoneOffsetText(0), "+0000");
    EXPECT_EQ(timeZoneOffsetText(30), "-0030"); // less than an hour west keeps its sign
}
