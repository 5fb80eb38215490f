#pragma once

#include "lookup/Database.h"
#include "platform/Env.h"
#include "platform/MessageSink.h"

#include <QString>

namespace lookup {

// The main window's values that the lookup engine copies when it loads.
struct MainWindowValues
{
    QString Server, UID, PWD, Database, Url;
    int Port = 3306;
    QString SqlitePath;
};

// The lookup engine behind the lookup form, free of widgets: it owns the
// database connection, the copies of the main window's values and ValidURL.
// It reports through the message sink, which must outlive it.
class PostcodeLookup
{
public:
    PostcodeLookup(platform::Env env, platform::MessageSink& sink);

    // True until the site blocks searching or the engine unloads.
    bool ValidURL = true;

    // Copies made at load.
    QString Server, UID, PWD, Database, Url;
    int Port = 3306;
    QString SqlitePath;

    // Load: copies the connection values, opens the database (OpenDb), then
    // copies Url. A database that cannot be opened is skipped: the engine
    // still loads, and the queue operations fail later with the reason.
    void load(const MainWindowValues& main);
    // Unload: CloseDB, then ValidURL := false.
    void unload();
    // Terminate: CloseDB.
    void terminate();

    ConnectionValues connectionValues() const;
    lookup::Database& database() { return m_database; }
    platform::Env& env() { return m_env; }
    platform::MessageSink& sink() { return m_sink; }

private:
    platform::Env m_env;
    platform::MessageSink& m_sink;
    lookup::Database m_database;
};

} // namespace lookup
