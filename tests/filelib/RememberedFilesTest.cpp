#include "filelib/RememberedFiles.h"

#include "FileLibFixture.h"

#include <gtest/gtest.h>

using namespace filelib;
using testing_support::FileLib;

TEST(RememberedFiles, FullFilenameLooksInTheRememberedFolder)
{
    FileLib l;
    l.put("x.csv", "1");
    auto& stored = l.te.settings.values;
    stored["Straatwijs/Main/Invoer"] = l.dir.path(); // no trailing separator
    EXPECT_EQ(FullFilename(l.ctx, "Invoer", "CSV|*.csv", "x.csv"), l.path("x.csv"));
    EXPECT_TRUE(l.te.prompts.dialogs().isEmpty());
    EXPECT_EQ(stored["Straatwijs/Main/Invoer"], l.dir.path() + "/");
    EXPECT_EQ(FullFilename(l.ctx, "Invoer", "CSV|*.csv", ""), ""); // asks; cancelled
}

TEST(RememberedFiles, BepaalVolledigeBestandsnaamRegProvesTheFileReadable)
{
    FileLib l;
    l.put("tarief.dat", "1");
    l.put("ander.dat", "2");
    auto& stored = l.te.settings.values;
    stored["Straatwijs/Tarieven/Map"] = l.dir.path();
    auto find = [&l](const QString& defaultDirectory = {}) {
        return BepaalVolledigeBestandsnaamReg(l.ctx, "tarief.dat", "Tarieven", "Map", "*.dat",
                                              defaultDirectory);
    };
    EXPECT_EQ(find(), l.path("tarief.dat"));
    EXPECT_TRUE(l.te.prompts.shown().isEmpty());
    EXPECT_EQ(stored.size(), 1); // nothing stored
    EXPECT_FALSE(l.te.files.isOpen(1));

    QFile::remove(l.path("tarief.dat")); // gone: the user picks another, remembered
    l.te.prompts.answerFile(l.path("ander.dat"));
    EXPECT_EQ(find(), l.path("ander.dat"));
    EXPECT_EQ(stored["Straatwijs/Tarieven/Map"], l.dir.path() + "/");
    EXPECT_EQ(stored["Straatwijs/Tarieven/tarief.dat"], "ander.dat");

    // A relative folder gives way to the default one; a cancel ends in the box.
    stored["Straatwijs/Tarieven/Map"] = "relative";
    stored.remove("Straatwijs/Tarieven/tarief.dat");
    EXPECT_TRUE(find("/nope").isNull());
    EXPECT_EQ(l.te.prompts.dialogs().last().title,
              "Kan bestand:/nope/tarief.dat niet vinden, geef de bestandsnaam");
    EXPECT_EQ(l.lastShown().prompt, "Kan het bestand  niet vinden.");
    EXPECT_EQ(l.sink.lines.last(), "Bestand zoeken\r\nKan het bestand  niet vinden.");
}
