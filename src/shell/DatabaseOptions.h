#pragma once

#include "lookup/PostcodeLookup.h"

#include <QString>
#include <memory>
#include <optional>

namespace shell {

class Shell;

// Connection values given on the command line or in the environment; what
// is not given keeps the fixed default.
struct ConnectionOverrides
{
    std::optional<QString> Server, UID, PWD, Database, SqlitePath;
    std::optional<int> Port;
};

// Puts the overrides into the main window's values; call after Shell::load().
void applyOverrides(Shell& shell, const ConnectionOverrides& overrides);

// The values the lookup engine copies from the main window.
lookup::MainWindowValues lookupValues(const Shell& shell);

// A loaded lookup engine on the shell's values, reporting to its log: the
// database is opened (or its failure reported and skipped). For runs
// without the lookup form.
std::unique_ptr<lookup::PostcodeLookup> loadLookup(Shell& shell);

} // namespace shell
