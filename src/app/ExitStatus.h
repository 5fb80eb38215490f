#pragma once

#include <QString>

namespace app {

// Exit statuses of the command-line programs; users' scripts rely on them.
enum ExitStatus
{
    ExitOk = 0,            // the work ran to its end
    ExitFailure = 1,       // a failure ended it (number and description on stderr)
    ExitUsage = 2,         // the command line was wrong
    ExitBlocked = 3,       // the site blocked searching; the request is open again
    ExitUnreachable = 4,   // the site could not be reached; nothing stored, request open again
    ExitInterrupted = 130, // SIGINT; the request being processed is open again
    ExitTerminated = 143,  // SIGTERM; the same
};

// A program that ends before its work: the status and what to print, on
// stdout for status 0 (help, version), on stderr otherwise.
struct Exit
{
    int status = ExitOk;
    QString text;
};

} // namespace app
