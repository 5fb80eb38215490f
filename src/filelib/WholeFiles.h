#pragma once

#include "filelib/Context.h"

#include <QString>

namespace filelib {

// The whole content of file1, one character per byte (ISO-8859-1). Opens
// with "INPUT-BINARY", so a missing file is created empty and a failing open
// lets the user pick another file (file1 receives its name). When nothing
// was opened: the log line "GetFile: Geen bestand opgegeven" and the result
// "*ERROR*". A failing read throws RunError.
QString GetFile(const Context& ctx, QString& file1);

// Writes Buffer to file1 in the tagged layout, replacing the file's content:
//
//   08 00            type code 8 (text), 16-bit little-endian
//   nn nn            the number of characters, 16-bit little-endian, when
//                    below 65535; otherwise FF FF followed by the number as
//                    a 32-bit little-endian count
//   the characters   one byte each, ISO-8859-1
//
// Without Replace an existing file is only replaced after the user said OK
// ("OUTPUT-BINARY"); with Replace it is replaced without a question
// ("OUTPUT-BINARY-NQ"). Returns true when written, false when the user
// declined or cancelled (the file is then untouched). A character outside
// ISO-8859-1 throws RunError 13 before the file is touched; a failing write
// throws RunError.
bool PutFile(const Context& ctx, QString& file1, const QString& Buffer, bool Replace = false);

} // namespace filelib
