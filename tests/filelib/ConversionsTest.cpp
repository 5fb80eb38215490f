#include "filelib/Conversions.h"

#include "FileLibFixture.h"
#include "platform/RunError.h"

#include <QProcess>
#include <QStandardPaths>
#include <gtest/gtest.h>

using namespace filelib;

TEST(Conversions, IbmAmountsCarryTheSignInTheLastDigit)
{
    testing_support::ScriptedPrompts p;
    EXPECT_EQ(FormatIbmBedrag(p, -123, "00000+"), "00012L");
    EXPECT_EQ(FormatIbmBedrag(p, 123, "00000+"), "000123");
    EXPECT_EQ(FormatIbmBedrag(p, 0, "00000-"), "00000{");
    EXPECT_EQ(FormatIbmBedrag(p, -123, "000000"), "-000123");
    EXPECT_EQ(FormatIbmBedrag(p, 2.675 * 100, "00000-"), "00026H");
    EXPECT_EQ(ConvertIbmTeken(p, "12X", "+"), "12X");
    // A negative amount that rounds to zero stays negative in a signed
    // field: the sign of the amount decides, not that of the rounded digits.
    EXPECT_EQ(FormatIbmBedrag(p, -0.4, "00000+"), "00000}");
    EXPECT_EQ(FormatIbmBedrag(p, -0.4, "00000-"), "00000}");
    EXPECT_EQ(FormatIbmBedrag(p, -1e-9, "0-"), "0}");
    EXPECT_EQ(FormatIbmBedrag(p, 0.4, "00000+"), "000000");
    EXPECT_EQ(FormatIbmBedrag(p, -0.0, "00000-"), "00000{");
    EXPECT_EQ(FormatIbmBedrag(p, -0.4, "000000"), "000000");
    EXPECT_TRUE(p.shown().isEmpty());
    // A zoned field keeps its width.
    EXPECT_THROW(FormatIbmBedrag(p, 1234567, "00000-"), platform::RunError);

    EXPECT_TRUE(FormatIbmBedrag(p, 1, "00.0+").isNull());
    EXPECT_EQ(ConvertIbmTeken(p, "123", "x"), "123");
    ASSERT_EQ(p.shown().size(), 2);
    EXPECT_EQ(p.shown()[0].prompt, "Systeemfout: Dit IBM formaat is onbekend");
    EXPECT_EQ(p.shown()[1].prompt, "Systeemfout: Teken bij IBM conversie onbekend");
    EXPECT_EQ(p.shown()[1].style, platform::box::Critical);
}

// The same amounts through a COBOL compiler's signed DISPLAY fields with
// the EBCDIC sign convention, where one is installed. (COBOL makes -0.49 a
// positive zero; this library keeps its sign.)
TEST(Conversions, IbmAmountsAgreeWithCobolZonedDecimals)
{
    const QString cobc = QStandardPaths::findExecutable("cobc");
    if (cobc.isEmpty())
        GTEST_SKIP() << "no COBOL compiler (cobc)";
    const QStringList amounts = QString("0 1 -1 9 -10 123 -123 12.5 -12.5 0.5 -0.5 0.49 "
                                        "999999 -999999 100.5 -100.5 45678.9")
                                    .split(' ');
    QString source = "IDENTIFICATION DIVISION.\nPROGRAM-ID. ZONED.\nDATA DIVISION.\n"
                     "WORKING-STORAGE SECTION.\n01 FLD PIC S9(6).\n"
                     "01 FLDX REDEFINES FLD PIC X(6).\nPROCEDURE DIVISION.\n";
    for (const QString& a : amounts)
        source += "COMPUTE FLD ROUNDED = " + a + ".\nDISPLAY FLDX.\n";
    testing_support::FileLib l;
    l.put("zoned.cob", source.toLatin1() + "STOP RUN.\n");
    QProcess compile, run;
    compile.start(cobc, {"-x", "-free", "-fsign=EBCDIC", "-o", l.path("z"), l.path("zoned.cob")});
    ASSERT_TRUE(compile.waitForFinished(60000) && compile.exitCode() == 0)
        << compile.readAllStandardError().toStdString();
    run.start(l.path("z"));
    ASSERT_TRUE(run.waitForFinished(10000));
    const QStringList cobol = QString::fromLatin1(run.readAllStandardOutput()).split('\n');
    for (qsizetype i = 0; i < amounts.size(); ++i)
        EXPECT_EQ(FormatIbmBedrag(l.te.prompts, amounts[i].toDouble(), "00000-"), cobol.value(i))
            << amounts[i].toStdString();
}

TEST(Conversions, RoundFollowsTheDoubleSum)
{
    testing_support::ScriptedPrompts p;
    EXPECT_EQ(Round(p, 2.5, 0), 3);
    EXPECT_EQ(Round(p, -2.5, 0), -2);
    EXPECT_EQ(Round(p, -2.346, 2), -2.35);
    EXPECT_EQ(Round(p, 2.345, 2), 2.35); // the sum lands on 235
    EXPECT_EQ(Round(p, 1.005, 2), 1.0);  // the sum is 100.99999999999997
    EXPECT_TRUE(p.shown().isEmpty());
    EXPECT_EQ(Round(p, 1.23456, 5), 1.23456);
    ASSERT_EQ(p.shown().size(), 1);
    EXPECT_EQ(p.shown()[0].prompt, "Afronden niet mogelijk");
}

TEST(Conversions, CheckBoxValuesAndPackedIntegers)
{
    EXPECT_EQ(TransCheckBoxValue(true), QVariant::fromValue<qint16>(1));
    EXPECT_EQ(TransCheckBoxValue(1), QVariant(true));
    EXPECT_EQ(TransCheckBoxValue(QString("0")), QVariant(false));
    EXPECT_FALSE(TransCheckBoxValue(2).isValid());

    EXPECT_EQ(MKI(258), QString::fromLatin1("\x02\x01"));
    EXPECT_EQ(CVI(QString::fromLatin1("\xFF\xFF")), -1);
    EXPECT_EQ(MKL(1), QString::fromLatin1("\x01\x00\x00\x00", 4));
    EXPECT_EQ(CVL(MKL(INT32_MIN)), INT32_MIN);
    EXPECT_THROW(CVI(QString::fromUtf8("\u20ACa")), platform::RunError); // no byte
    EXPECT_EQ(testing_support::thrown([] { CVI("abc"); }).text(),
              "Error 13: Illegal function call (CVI) (CVI)");
}
