#include "lookup/PostcodeLookup.h"

#include "platform/RunError.h"

namespace lookup {

PostcodeLookup::PostcodeLookup(platform::Env env, platform::MessageSink& sink)
    : m_env(env), m_sink(sink), m_database(sink)
{
}

void PostcodeLookup::load(const MainWindowValues& main)
{
    Server = main.Server;
    UID = main.UID;
    PWD = main.PWD;
    Database = main.Database;
    Port = main.Port;
    SqlitePath = main.SqlitePath;
    platform::skipOnError([this] { m_database.OpenDb(connectionValues()); });
    Url = main.Url;
}

void PostcodeLookup::unload()
{
    m_database.CloseDB();
    ValidURL = false;
}

void PostcodeLookup::terminate()
{
    m_database.CloseDB();
}

ConnectionValues PostcodeLookup::connectionValues() const
{
    return ConnectionValues{Server, UID, PWD, Database, Port, SqlitePath};
}

} // namespace lookup
