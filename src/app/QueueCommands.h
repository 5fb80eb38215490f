#pragma once

#include "app/CommandLine.h"

#include <QTextStream>

namespace platform {
class Host;
}

namespace lookup {
struct QueueStatus;
}

namespace app {

// straatwijs --status [--json] and --release-stranded, on the database the
// options name (the fixed defaults otherwise). --status prints the queue at a
// glance on `out`, for people or as one JSON object; --release-stranded
// gives back the requests nobody holds, one line each on `out`. A database
// that cannot be read or changed is reported on `err`. `host` says who
// gives back. Returns the exit status: ExitOk, or ExitFailure.
int runQueueCommand(const Options& options, platform::Host& host, QTextStream& out,
                    QTextStream& err);

// The status as people read it, and as one JSON object (one line).
QString statusText(const lookup::QueueStatus& status);
QString statusJson(const lookup::QueueStatus& status);

} // namespace app
