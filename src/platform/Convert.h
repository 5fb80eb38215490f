#pragma once

#include <QString>

namespace platform {

// Leading number of a text: blanks, tabs and line feeds anywhere are skipped,
// an optional sign, digits with at most one '.'; reading stops at the first
// other character. No digits give 0 (and *found false when asked).
double Val(const QString& text, bool* found = nullptr);

// Strict conversion of a whole text to a number; surrounding blanks allowed.
// *ok says whether the text was a number.
double toNumber(const QString& text, bool* ok);

// Decimal text of a number as the program writes it: integers without a
// fraction ("9216"), others with the shortest exact form ("1.234").
QString numberText(double value);

} // namespace platform
