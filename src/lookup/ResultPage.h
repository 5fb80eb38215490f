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
// opgeleverd") of a page's body: a double (its leading number, a point
// before three digits taken as a thousands separator; 0 when the count text
// holds none), or an empty QVariant when the sentence is missing.
QVariant readMaxPages(const platform::HtmlElement& body);

// Whether a row is a header: its markup (InnerHTML) holds "<TH>", a header
// cell without attributes or those four characters in a comment, script
// or attribute value.
bool isHeaderRow(const platform::HtmlElement& row);

// Appends one record per data row of the body's tables, in page order. A
// row is read once, for the table it belongs to directly; a row that holds
// a table of its own is layout, and a row whose markup holds "<TH>" is a
// header: neither gives a record. A data row with fewer than four elements
// is skipped with a message (RowSkipped); past the first MaxRowMessages of
// a page one further line counts the rest, so a page of a million broken
// rows cannot flood the log. Each record's Query is `Query` as given.
void readPostcodes(const platform::HtmlElement& body, const QString& Query, const QString& Typenaam,
                   const QVariant& Resultaten, PostcodeCollection& collection,
                   platform::MessageSink& sink);

// The message for a skipped row; the row's text follows it.
inline const QString RowSkipped = QStringLiteral("Rij zonder vier cellen overgeslagen: ");
inline constexpr int MaxRowMessages = 20;

} // namespace lookup
