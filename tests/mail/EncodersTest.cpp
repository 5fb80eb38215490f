#include "mail/Encoders.h"

#include <QList>

#include <gtest/gtest.h>

using namespace mail;

namespace {
const QString e = QStringLiteral("\u00e9");
}

TEST(EncodeHeaderText, PlainTextStaysAndTheShorterEncodingWins)
{
    EXPECT_EQ(EncodeHeaderText("Vergadering morgen", false), "Vergadering morgen");
    // A quote cannot end the display name early and smuggle in an address.
    EXPECT_EQ(EncodeHeaderText("x\" <boef@voorbeeld.nl>, \"a\\b", true),
              "\"x\\\" <boef@voorbeeld.nl>, \\\"a\\\\b\"");
    // Only accented letters: B. (One among plain words goes as Q, a plain
    // display name in quotes: pinned by the composition streams' Cc and From.)
    EXPECT_EQ(EncodeHeaderText(e.repeated(6), false), "=?ISO-8859-1?B?6enp6enp?=");
    // Characters of the Q form's own syntax are escaped; DEL counts as 8-bit.
    EXPECT_EQ(EncodeHeaderText("Vraag over de prijs: a=b? x_y\x7f", false),
              "=?ISO-8859-1?Q?Vraag_over_de_prijs:_a=3Db=3F_x=5Fy=7F?=");
}

TEST(EncodeHeaderText, LongTextsAreCutIntoWordsOnFoldedLines)
{
    // B pieces of 42 characters.
    EXPECT_EQ(EncodeHeaderText(e.repeated(50), false), "=?ISO-8859-1?B?" +
                                                           QString("6enp").repeated(14) +
                                                           "?=\r\n\t=?ISO-8859-1?B?6enp6enp6ek=?=");
    // A Q chunk ends when it reaches 54 characters...
    EXPECT_EQ(EncodeHeaderText(e + QString("a").repeated(60), false),
              "=?ISO-8859-1?Q?=E9" + QString("a").repeated(51) + "?=\r\n\t=?ISO-8859-1?Q?" +
                  QString("a").repeated(9) + "?=");
    // ...and when that is the last character, an empty word follows.
    EXPECT_EQ(EncodeHeaderText(e + QString("a").repeated(51), false),
              "=?ISO-8859-1?Q?=E9" + QString("a").repeated(51) +
                  "?==?ISO-8859-1?Q?"
                  "?=");
}

TEST(EncodeHeaderText, LineBreaksAreEncodedNotPassedOn)
{
    // Pinned as B in the composition stream's Subject line too.
    EXPECT_EQ(EncodeHeaderText("Vergadering\nBcc: x", false),
              "=?ISO-8859-1?Q?Vergadering=0ABcc:_x?=");
    EXPECT_FALSE(EncodeHeaderText("Jan\nBcc: x@y.nl", true).contains('\n'));
}

// A display name's encoded word carries no address syntax (RFC 2047 5(3));
// text beyond ISO-8859-1 goes as UTF-8, and no word cuts a character in two.
TEST(EncodeHeaderText, NamesHideTheirSpecialsAndUtf8KeepsWholeCharacters)
{
    const QString name = "M" + QString(QChar(0xFC)) + "ller, \"Jan\" (x) <x@y.nl>; a\\b";
    const QString encoded = EncodeHeaderText(name, true);
    EXPECT_TRUE(encoded.startsWith("=?ISO-8859-1?"));
    for (const char* special : {",", "\"", "<", ">", "@", "(", ")", ";", "\\"})
        EXPECT_FALSE(encoded.contains(special)) << special;

    const QString euro = QString(QChar(0x20AC));
    EXPECT_EQ(EncodeHeaderText("5 " + euro, false), "=?UTF-8?B?NSDigqw=?=");
    const QString long_ = euro.repeated(40);
    for (const QString& words : {EncodeHeaderText(long_, false), EncodeHeaderText(long_, true)}) {
        QString decoded;
        for (const QString& word : words.split("\r\n\t")) {
            EXPECT_LE(word.size(), 75) << word.toStdString();
            ASSERT_TRUE(word.startsWith("=?UTF-8?B?")) << word.toStdString();
            const QByteArray bytes = QByteArray::fromBase64(word.mid(10).chopped(2).toLatin1());
            EXPECT_EQ(bytes.size() % 3, 0); // whole euro signs only
            decoded += QString::fromUtf8(bytes);
        }
        EXPECT_EQ(decoded, long_);
    }
    // A plain text that looks like an encoded word is encoded itself.
    EXPECT_TRUE(EncodeHeaderText("=?utf-8?q?nep?=", true).startsWith("=?ISO-8859-1?"));
}

TEST(EncodeBase64, LinesOf76CharactersEachEndingInCrLf)
{
    EXPECT_EQ(EncodeBase64Bytes({}), "\r\n");
    const QByteArray line(57, 'x');
    EXPECT_EQ(EncodeBase64Bytes(line), line.toBase64() + "\r\n");
    EXPECT_EQ(EncodeBase64Bytes(line + "!"), line.toBase64() + "\r\nIQ==\r\n");

    QByteArray bytes;
    for (int i = 0; i < 11400 + 100; ++i)
        bytes += char(i * 7919 % 256);
    const QByteArray chunk = bytes.left(11400);
    const QByteArray encoded = EncodeBase64Bytes(chunk);
    EXPECT_EQ(encoded.count("\r\n"), 200);
    EXPECT_EQ(encoded.size(), 200 * 78);
    // Chunks of 11400 bytes join into one run of whole lines.
    const QByteArray joined = encoded + EncodeBase64Bytes(bytes.mid(11400));
    EXPECT_EQ(QByteArray(joined).replace("\r\n", ""), bytes.toBase64());
    for (const QByteArray& l : joined.split('\n'))
        EXPECT_LE(l.size(), 77);

    // Text goes through Latin-1 first.
    EXPECT_EQ(EncodeBase64Text(""), "");
    EXPECT_EQ(EncodeBase64Text("Caf" + e), "Q2Fm6Q==\r\n");
}

// Whole lines and short last groups are pinned by the uuencoded message.
TEST(UUEncodeLine, EmptyAndOverlongLines)
{
    EXPECT_EQ(UUEncodeLine({}), "`");
    EXPECT_EQ(UUEncodeLine(QByteArray(64, 'x')), "");
}

TEST(DecodeBase64String, BlocksPaddingAndStops)
{
    EXPECT_EQ(DecodeBase64String("QQ==QUI="), "AAB");
    EXPECT_EQ(DecodeBase64String("6Q=="), e);
    EXPECT_EQ(DecodeBase64String("QUJD QUJD"), "ABC"); // a blank ends it
    EXPECT_EQ(DecodeBase64String("qq=="), QString(QChar(0xAA)));
    EXPECT_EQ(DecodeBase64String("QQ"), QString("A") + QChar(0) + QChar(0));
}
