#include "filelib/WholeFiles.h"

#include "FileLibFixture.h"
#include "platform/RunError.h"

#include <gtest/gtest.h>

using namespace filelib;
using testing_support::FileLib;

// GetFile reads every byte as one character; PutFile writes the tagged
// layout.
TEST(WholeFiles, GetFileReadsBytesAsCharactersAndPutFileWritesTheTaggedLayout)
{
    FileLib l;
    l.put("abc", "abc\xE9\r\n");
    QString name = l.path("abc");
    EXPECT_EQ(GetFile(l.ctx, name), QString::fromUtf8("abc\u00E9\r\n"));
    name = l.path("new"); // a missing file is made
    EXPECT_EQ(GetFile(l.ctx, name), "");
    EXPECT_EQ(l.bytes("new"), "");

    l.put("plain", "x");
    name = l.path("plain/below"); // cannot be opened; the retry dialog is cancelled
    EXPECT_EQ(GetFile(l.ctx, name), "*ERROR*");
    EXPECT_EQ(l.sink.lines, QStringList{"GetFile: Geen bestand opgegeven"});
    EXPECT_FALSE(l.te.files.isOpen(1));

    l.put("out", QByteArray(1000, 'x'));
    name = l.path("out");
    EXPECT_TRUE(PutFile(l.ctx, name, "abc", true));
    EXPECT_EQ(l.bytes("out"), QByteArray::fromHex("08000300616263"));
    l.te.prompts.answerBox(platform::box::Cancel); // without Replace: asked
    EXPECT_FALSE(PutFile(l.ctx, name, "other"));
    EXPECT_EQ(l.bytes("out").size(), 7);

    // From 65535 characters on: FF FF and a 32-bit count.
    EXPECT_TRUE(PutFile(l.ctx, name, QString(65534, 'a'), true));
    EXPECT_EQ(l.bytes("out").left(4), QByteArray::fromHex("0800FEFF"));
    EXPECT_TRUE(PutFile(l.ctx, name, QString(70000, 'a'), true));
    const QByteArray big = l.bytes("out");
    EXPECT_EQ(big.left(8), QByteArray::fromHex("0800FFFF70110100"));
    EXPECT_EQ(big.size(), 8 + 70000);

    // A character no byte can hold is refused before the file is touched.
    EXPECT_THROW(PutFile(l.ctx, name, QString::fromUtf8("\u20AC 5"), true), platform::RunError);
    EXPECT_EQ(l.bytes("out"), big);
}
