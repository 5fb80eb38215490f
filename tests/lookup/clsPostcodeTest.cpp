#include "lookup/clsPostcode.h"

#include <gtest/gtest.h>

using lookup::clsPostcode;

namespace {

// NrVan, NrTm, EvenOneven with Null written as "NULL".
QStringList split(const QString& Nr)
{
    clsPostcode r;
    r.SplitNr(Nr);
    QStringList out;
    for (const QVariant& v : {r.NrVan, r.NrTm, r.EvenOneven})
        out << (v.isNull() ? QStringLiteral("NULL") : v.toString());
    return out;
}

} // namespace

TEST(clsPostcode, SplitNrReadsRangesAndSingleNumbersAndNeverMakesUpOne)
{
    EXPECT_EQ(split("2 t/m 24"), (QStringList{"2", "24", "1"}));
    EXPECT_EQ(split("1 t/m 23"), (QStringList{"1", "23", "0"}));
    EXPECT_EQ(split("14"), (QStringList{"14", "14", "1"}));
    EXPECT_EQ(split(" 7 "), (QStringList{"7", "7", "0"}));
    EXPECT_EQ(split("3 t/m 9 t/m 11"), (QStringList{"3", "9", "0"}));
    EXPECT_EQ(split("7.5"), (QStringList{"7.5", "7.5", "0"}));
    EXPECT_EQ(split(""), (QStringList{"NULL", "NULL", "NULL"}));
    // It never makes up a number.
    EXPECT_EQ(split("   "), (QStringList{"NULL", "NULL", "NULL"}));
    EXPECT_EQ(split("12a"), (QStringList{"12a", "12a", "1"}));
    EXPECT_EQ(split("12-14"), (QStringList{"12-14", "12-14", "1"}));
    EXPECT_EQ(split("II"), (QStringList{"II", "II", "NULL"}));
    EXPECT_EQ(split("1t/m3"), (QStringList{"1", "3", "0"}));
    EXPECT_EQ(split("5 t/m"), (QStringList{"5", "NULL", "0"}));
    EXPECT_EQ(split(" t/m 9"), (QStringList{"NULL", "9", "NULL"}));
    EXPECT_EQ(split("a t/m 9"), (QStringList{"a", "9", "NULL"}));
    EXPECT_EQ(split("t/m"), (QStringList{"NULL", "NULL", "NULL"}));
}
