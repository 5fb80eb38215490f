#include "filelib/Paths.h"

#include "FileLibFixture.h"
#include "platform/RunError.h"

#include <QDir>
#include <gtest/gtest.h>

using namespace filelib;
using testing_support::FileLib;

TEST(Paths, CutAtTheLastSeparator)
{
    EXPECT_EQ(AfterLastSeparator("C:\\a\\b.txt", '\\', false), "b.txt");
    EXPECT_EQ(UpToLastSeparator("C:\\a\\b.txt", '\\', false), "C:\\a\\");
    EXPECT_EQ(DirFromFullFilename("/a/b/"), "/a/");
    EXPECT_EQ(FileFromFullFilename("/a/b/"), "");
    EXPECT_EQ(FileFromFullFilename("b.txt"), ".txt");
}

TEST(Paths, ListingsMatchWildcardsAndAttributes)
{
    FileLib l;
    for (const char* name : {"b.txt", "a.txt", "c.log"})
        l.put(name, "x");
    QDir(l.dir.path()).mkdir("sub.txt");
    DirListing listing(l.te.prompts);
    EXPECT_EQ(listing.ControlledDir(l.path("?.txt")), "a.txt");
    EXPECT_EQ(listing.ControlledDir(), "b.txt");
    EXPECT_EQ(listing.ControlledDir(), "");
    EXPECT_EQ(listing.ControlledDir(l.path("*.txt"), AttrDirectory), "a.txt");
    EXPECT_EQ(listing.ControlledDir(), "b.txt");
    EXPECT_EQ(listing.ControlledDir(), "sub.txt");

    EXPECT_TRUE(FileExists(l.te.prompts, l.path("*.log")));
    EXPECT_FALSE(FileExists(l.te.prompts, l.path("sub.txt")));
    EXPECT_TRUE(DirExists(l.te.prompts, l.path("sub.txt/")));
    EXPECT_TRUE(DirExists(l.te.prompts, l.path("a.txt"))); // a file counts too
    EXPECT_TRUE(l.te.prompts.shown().isEmpty());

    // A name the system cannot take ends the command, after the box.
    EXPECT_EQ(listing.ControlledDir(l.path("*.txt")), "a.txt");
    const auto tooLong = [&] { FileExists(l.te.prompts, l.path(QString(300, 'x'))); };
    EXPECT_EQ(testing_support::thrown(tooLong).number(), 52);
    EXPECT_EQ(l.lastShown().prompt, "Ernstige Systeemfout in ControlledDir. Systeem is onstabiel!");
    EXPECT_EQ(l.lastShown().title, "Directory:" + QDir(l.dir.path()).absolutePath() + "/");
    EXPECT_EQ(listing.ControlledDir(), "b.txt"); // the caller's own listing goes on
}

TEST(Paths, TempFileNameMakesAFreshFileIn260Characters)
{
    FileLib l;
    const QByteArray saved = qgetenv("TMPDIR");
    qputenv("TMPDIR", l.dir.path().toLocal8Bit());
    l.te.clocks.tick = 0x12345; // numbers start from the clock, modulo FFFF
    const QString first = TempFileName(l.te.clocks, "abcdef");
    const QString second = TempFileName(l.te.clocks, "abcdef");
    qputenv("TMPDIR", l.path("missing").toLocal8Bit());
    const QString none = TempFileName(l.te.clocks, "abc");
    qputenv("TMPDIR", saved);

    EXPECT_EQ(first.size(), 260);
    EXPECT_EQ(first, l.path("abc2347.TMP").leftJustified(260, QChar(0)));
    EXPECT_TRUE(QFile::exists(l.path("abc2347.TMP")));
    EXPECT_EQ(second.left(second.indexOf(QChar(0))), l.path("abc2348.TMP"));
    EXPECT_EQ(none, QString(260, QChar(0)));
}

// FileKill deletes only what its name names, and asks again when that fails.
TEST(Paths, FileKillDeletesMatchesOnlyAndAsksAgainOnFailure)
{
    FileLib l;
    QDir(l.dir.path()).mkdir("dir");
    QDir(l.dir.path()).mkdir("d.tmp");
    for (const char* name :
         {"a.tmp", "b.tmp", "c.log", "a.txt", ".hidden", "dir/b.txt", "dir/.profile"})
        l.put(name, "x");
    EXPECT_TRUE(FileKill(l.te.prompts, l.path("*.tmp")));
    EXPECT_EQ(QDir(l.dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              (QStringList{"a.txt", "c.log", "d.tmp", "dir"})); // folders are not files

    const QString notFound = "Fout #  53 was aangemaakt door Straatwijs\rFile not found";
    l.te.prompts.answerBox(platform::box::OK);
    l.te.prompts.answerBox(platform::box::Cancel);
    EXPECT_FALSE(FileKill(l.te.prompts, l.path("*.tmp")));
    ASSERT_EQ(l.te.prompts.shown().size(), 2);
    EXPECT_EQ(l.lastShown().prompt, notFound);
    EXPECT_EQ(l.lastShown().title, "Verwijderen bestand(en)");

    const QString saved = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(l.dir.path()));
    // What a cancelled dialog leaves behind, a bare folder, and the folder
    // entries themselves: each is a name that matches no file.
    for (const QString& name : {QString(), l.path("dir/"), l.path("dir"), QStringLiteral("."),
                                QStringLiteral(".."), l.path("dir/."), l.path("dir/..")}) {
        l.te.prompts.answerBox(platform::box::Cancel);
        EXPECT_FALSE(FileKill(l.te.prompts, name)) << qPrintable(name);
        EXPECT_EQ(l.lastShown().prompt, notFound) << qPrintable(name);
    }
    QDir::setCurrent(saved);
    EXPECT_EQ(l.bytes("a.txt"), "x");
    EXPECT_EQ(l.bytes("dir/b.txt"), "x");

    // Normal files leave out dot files, unless the pattern asks for them.
    EXPECT_FALSE(FileExists(l.te.prompts, l.path("dir/*.profile")));
    EXPECT_TRUE(FileKill(l.te.prompts, l.path("dir/*")));
    EXPECT_EQ(l.bytes("dir/.profile"), "x");
    EXPECT_EQ(l.bytes("dir/b.txt"), "<missing>");
    EXPECT_TRUE(FileExists(l.te.prompts, l.path(".hid*")));
    EXPECT_TRUE(FileKill(l.te.prompts, l.path(".hidden")));
    EXPECT_EQ(l.bytes(".hidden"), "<missing>");
}
