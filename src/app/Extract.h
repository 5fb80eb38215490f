#pragma once

#include <QString>
#include <QStringList>
#include <QTextStream>

namespace app {

// straatwijs --extract: reads saved result pages as the harvester would and
// prints, per file, a line "# FILE<TAB>count" (the count the page gives, \N
// when it has none) and then one line per record in the column order of the
// results table, tab-separated, Null as \N. `query` empty: each file's name
// without extension. Messages and unreadable files go to `err`. Returns the
// exit status: 0, or 1 when a file could not be read (after the others).
int runExtract(const QStringList& files, const QString& query, const QString& type,
               QTextStream& out, QTextStream& err);

} // namespace app
