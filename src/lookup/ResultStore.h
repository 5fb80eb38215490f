#pragma once

#include "lookup/clsPostcode.h"

#include <QString>

namespace lookup {

class Database;

// Appends one row to Straatwijs per record, in order: the postcode without
// blanks, the street trimmed, the house-number columns only when the record
// has them (else the table's default, NULL), the town as it is, the result
// count, and IpAddress. Runs inside the caller's transaction.
// Throws platform::RunError (DatabaseError) when a statement fails.
void storeRecords(Database& db, const PostcodeCollection& records, const QString& IpAddress);

} // namespace lookup
