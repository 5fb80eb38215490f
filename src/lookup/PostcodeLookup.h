#pragma once

#include "lookup/Database.h"
#include "lookup/PageReader.h"
#include "lookup/clsPostcode.h"
#include "platform/Browser.h"
#include "platform/Env.h"
#include "platform/MessageSink.h"

#include <QString>
#include <functional>

namespace lookup {

// The main window's values that the lookup engine copies when it loads.
struct MainWindowValues
{
    QString Server, UID, PWD, Database, Url;
    int Port = 3306;
    QString SqlitePath;
    QString IpAddress;
};

// The lookup engine behind the lookup form, free of widgets: it owns the
// database connection, the browser, the copies of the main window's values,
// ValidURL and the records of the request being processed. It reports
// through the message sink, which must outlive it.
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
    QString IpAddress;

    // The records of the request being processed, in page order.
    lookup::PostcodeCollection PostcodeCollection;

    // Load: copies the connection values, opens the database (OpenDb), then
    // copies Url. A database that cannot be opened is skipped: the engine
    // still loads, and the queue operations fail later with the reason.
    void load(const MainWindowValues& main);
    // Unload: CloseDB, then ValidURL := false.
    void unload();
    // Terminate: CloseDB.
    void terminate();

    // Processes one request: the next open one of type Typenaam (any type
    // when empty) unless a query text is given; harvests its pages, stores
    // one row per record and closes the request ("Y", or "N" after a block).
    // Rows and the closing are one transaction: a failure stores nothing and
    // leaves the request "L". Returns the query text processed, empty when
    // the queue had none. Failures throw platform::RunError.
    QString DoQuery(const QString& Querynaam, const QString& Typenaam);

    // Called with the query text once DoQuery knows which request it runs.
    void setRequestStarted(std::function<void(const QString&)> started)
    {
        m_requestStarted = std::move(started);
    }

    ConnectionValues connectionValues() const;
    lookup::Database& database() { return m_database; }
    platform::Env& env() { return m_env; }
    platform::MessageSink& sink() { return m_sink; }
    platform::Browser& browser() { return m_browser; }
    PageReader& reader() { return m_reader; }

private:
    void storeResults(const QString& Q);

    platform::Env m_env;
    platform::MessageSink& m_sink;
    lookup::Database m_database;
    platform::Browser m_browser;
    PageReader m_reader;
    std::function<void(const QString&)> m_requestStarted;
};

} // namespace lookup
