#pragma once

#include "platform/Prompts.h"

#include <QString>
#include <QVariant>

namespace filelib {

// Bedrag as a zoned-decimal field of IBM record files. Formaat is a run of
// "0"s (the field's width) whose last character says where the sign goes:
//   "0"  none: the amount zero-padded, a minus in front when negative;
//   "+"  that position is a digit; a negative amount overpunches it;
//   "-"  that position is a digit, always overpunched with the amount's sign.
// A fraction is rounded half away from zero. An amount with more digits
// than a "+" or "-" field holds throws RunError 6 (the field would not keep
// its width). Any other format: the box "Systeemfout: Dit IBM formaat is
// onbekend" and an empty result.
QString FormatIbmBedrag(platform::Prompts& prompts, double Bedrag, const QString& Formaat);

// Bedrag with its last character overpunched with the sign Teken ("+": 0-9
// become "{", "A".."I"; "-": "}", "J".."R"). A last character that is not a
// digit, and an empty text, come back as they are. Another Teken: the box
// "Systeemfout: Teken bij IBM conversie onbekend" and Bedrag unchanged.
QString ConvertIbmTeken(platform::Prompts& prompts, const QString& Bedrag, const QString& Teken);

// Bedrag rounded to 0 to 4 decimals, halves upward (2.5 gives 3, -2.5
// gives -2), in double arithmetic: floor((Bedrag + 0.5 / 10^d) * 10^d) / 10^d.
// Other Decimalen: the box "Afronden niet mogelijk" and Bedrag unchanged.
double Round(platform::Prompts& prompts, double Bedrag, int Decimalen);

// A check box's value and back: a boolean gives 1 or 0 (qint16); a number
// (or numeric text) 1 gives true, 0 false; anything else an invalid value.
QVariant TransCheckBoxValue(const QVariant& Waarde);

// 16- and 32-bit integers as 2 and 4 characters, one byte each (ISO-8859-1),
// low byte first, and back. CVI and CVL throw RunError 13 ("Illegal function
// call (CVI)" / "(CVL)") for a text of another length or with a character
// that is no byte.
QString MKI(qint16 piX);
qint16 CVI(const QString& ptX);
QString MKL(qint32 PLx);
qint32 CVL(const QString& ptX);

} // namespace filelib
