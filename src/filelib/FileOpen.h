#pragma once

#include "filelib/Context.h"

#include <QString>
#include <optional>

namespace filelib {

// Opens a file the way the mode word FileMode says (compared in upper case):
//
//   INPUT, INPUT-NP      read; a bare name is looked for in FileDir
//   INPUT-Q              read, after a file dialog
//   INPUT-BINARY(-Q)     binary read and write (a missing file is created)
//   INPUT-BINARY-SHARED  binary read, not locking others out
//   INPUT-SHARED-NQ,     read (binary) without locking others out, and
//   INPUT-BINARY-SHARED-NQ  without questions: a failure is one line in
//                        the log "File: <name> <description>( <number>)"
//   OUTPUT(-NT|-Q|-QU)   write from empty; OUTPUT and OUTPUT-QU ask
//                        "Bestand bestaat reeds, vervangen?" first,
//                        OUTPUT-QU upper-cases the chosen file's name
//   APPEND(-Q)           write at the end
//   BINARY(-Q)           binary read and write, content kept
//   BINARY-WRITE         binary write, content kept
//   OUTPUT-BINARY(-NQ|-Q) emptied, then binary read and write; OUTPUT-BINARY
//                        and OUTPUT-BINARY-Q ask before replacing
//
// The -Q modes show a file dialog first. When opening fails, a write mode
// whose folder is missing offers to create it; otherwise the user may pick
// another file, for as long as the picked files fail too. Filenaam receives
// the name finally opened (joined, picked or upper-cased).
//
// Returns the file number (1 to 255; the caller closes it through
// ctx.files()), or -1 when the user cancelled or declined, an -NQ open
// failed, or the mode word is unknown (after a box saying so). Error 67
// when every number is taken.
qint16 FileOpen(const Context& ctx, QString& Filenaam, const QString& FileTypes,
                const QString& FileMode, const std::optional<QString>& FileDir = std::nullopt);

// The file dialog of FileOpen: a save dialog for the writing modes that
// replace or extend a file the user names, an open dialog (the file must
// exist) for all others. Moment "E" titles it as the retry after a failed
// open. FileTypes is the filter ("Tekst|*.txt|..."; "" for every file).
// Returns 0 with the chosen full name in Filenaam, or -1 with Filenaam
// emptied when the user cancelled.
qint16 FileOpenDialog(const Context& ctx, QString& Filenaam, const QString& FileTypes,
                      const QString& FileMode, const QString& Moment,
                      const std::optional<QString>& FileDir = std::nullopt);

// Creates the folder of Filenaam (its part up to the last "/"; with
// MinstensEenByte the parent of a name ending in "/"), and missing parents
// before it. With Vraag "J" the user is asked first for every folder made
// ("Pad bestaat niet. Dit pad aanmaken?"); Melding logs the folder asked for.
// The name is kept as written. Returns 0 when the folder was made, -1 when
// the user declined or it could not be made.
qint16 MkPath(const Context& ctx, const QString& Filenaam, const QString& Vraag,
              bool MinstensEenByte, bool Melding = false);

} // namespace filelib
