#pragma once

#include <QString>

namespace lookup {

class Database;

// Takes the next open request ("N") of type Typenaam, or of any type when
// Typenaam is empty, and marks it in progress ("L"). Returns its Query and
// sets Typenaam to its Type; returns the empty text and leaves Typenaam
// alone when no request is open. Rows without a query text or type are
// passed over. Taking is atomic: when several harvesters share the table,
// each request goes to exactly one of them.
// Throws platform::RunError (DatabaseError) when the connection is not open
// or a statement fails.
QString SearchQuery(Database& db, QString& Typenaam);

// Finishes the first request in progress ("L") with this query text: "Y",
// or "N" again (back into the queue) when ValidURL is false. No such request:
// nothing changes. Throws like SearchQuery.
void ResetQuery(Database& db, const QString& Querynaam, bool ValidURL);

} // namespace lookup
