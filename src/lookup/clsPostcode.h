#pragma once

#include <QList>
#include <QString>
#include <QVariant>
#include <memory>

namespace lookup {

// One row of a result page. Every field is a QVariant: text, a number, or
// Null (an invalid QVariant, which is also what a new record holds).
class clsPostcode
{
public:
    QVariant Query;
    QVariant Typenaam;
    QVariant Postcode;
    QVariant Straat;
    QVariant EvenOneven; // "1" even, "0" odd, Null when unknown
    QVariant NrVan;
    QVariant NrTm;
    QVariant Woonplaats;
    QVariant Resultaten;

    // Splits the house-number text of a row ("1 t/m 23", "14", "") into
    // NrVan, NrTm and EvenOneven. Texts stay texts, trimmed of spaces; a part
    // that is empty after trimming is Null. A range is split at " t/m ", or
    // at "t/m" when written without the blanks; further parts are ignored.
    // EvenOneven comes from the first number: from its value when NrVan is a
    // plain number, else from the digits it starts with ("12a" and "12-14"
    // are even); without leading digits it is Null, never a made-up value.
    void SplitNr(const QString& Nr);
};

// The records of the request being processed, in page order.
using PostcodeCollection = QList<std::shared_ptr<clsPostcode>>;

// The text without leading and trailing blanks (the space and the no-break
// space; other white space stays).
QString Trim(const QString& text);

} // namespace lookup
