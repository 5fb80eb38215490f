#pragma once

#include "lookup/clsPostcode.h"

#include <QVariant>

namespace platform {
class HtmlElement;
class MessageSink;
} // namespace platform

namespace lookup {

// The reading of one loaded result page, apart from the browser so saved
// pages can be read the same way.

// The result count from the count sentence ("Uw zoekactie ... heeft N ...
// opgeleverd") of a page's body: a double (its leading number; 0 when the
// count text holds none), or an empty QVariant when the sentence is missing.
QVariant readMaxPages(const platform::HtmlElement& body);

// Appends one record per data row of every table of the body, in page
// order. A row is a data row unless its markup holds "<TH>". A data row
// with fewer than four elements is skipped with a message (RowSkipped).
void readPostcodes(const platform::HtmlElement& body, const QString& Querynaam,
                   const QString& Typenaam, const QVariant& Resultaten,
                   PostcodeCollection& collection, platform::MessageSink& sink);

// The message for a skipped row; the row's text follows it.
inline const QString RowSkipped = QStringLiteral("Rij zonder vier cellen overgeslagen: ");

} // namespace lookup
