#include "shell/DatabaseOptions.h"

#include "shell/Shell.h"

namespace shell {

void applyOverrides(Shell& shell, const ConnectionOverrides& o)
{
    shell.Server = o.Server.value_or(shell.Server);
    shell.UID = o.UID.value_or(shell.UID);
    shell.PWD = o.PWD.value_or(shell.PWD);
    shell.Database = o.Database.value_or(shell.Database);
    shell.SqlitePath = o.SqlitePath.value_or(shell.SqlitePath);
    shell.Port = o.Port.value_or(shell.Port);
}

lookup::MainWindowValues lookupValues(const Shell& s)
{
    return lookup::MainWindowValues{s.Server, s.UID,  s.PWD,        s.Database,
                                    s.Url,    s.Port, s.SqlitePath, s.IpAddress};
}

std::unique_ptr<lookup::PostcodeLookup> loadLookup(Shell& shell)
{
    auto engine = std::make_unique<lookup::PostcodeLookup>(shell.env(), shell.log());
    engine->load(lookupValues(shell));
    return engine;
}

} // namespace shell
