#pragma once

#include "lookup/Database.h"
#include "lookup/Lease.h"
#include "lookup/PageWalk.h"
#include "platform/Browser.h"
#include "platform/Env.h"

#include <QObject>
#include <QString>

namespace platform {
class MessageSink;
}

namespace lookup {

struct Claim;

// The main window's values that the engine copies when it loads.
struct MainWindowValues
{
    ConnectionValues Connection;
    QString Url;       // the postcode site's base address
    QString IpAddress; // written into every result row
    // How long a claim's lease lives without renewal.
    int LeaseSeconds = DefaultLeaseSeconds;
};

// How one request ended.
struct RequestResult
{
    Outcome outcome = Outcome::NoRequest;
    QString Query, Type;
    int rows = 0;
};

// The lookup engine, free of widgets: it owns the database connection and
// the browser, keeps the values it copied at load and ValidURL, and
// processes requests from claim to commit. It reports through the message
// sink, which must outlive it, and shows its progress through signals.
class PostcodeLookup : public QObject
{
    Q_OBJECT
public:
    PostcodeLookup(platform::Env env, platform::MessageSink& sink, QObject* parent = nullptr);
    ~PostcodeLookup() override;

    // False once the site blocked searching in the current harvest command;
    // it ends the command's batch.
    bool ValidURL = true;

    // Load: ValidURL true, copies the values, opens the database. A database
    // that cannot be opened is reported and skipped: the engine still loads,
    // and the queue fails later with the reason.
    void load(const MainWindowValues& values);
    // Unload: CloseDB, ValidURL false; the next use loads again.
    void unload();
    bool loaded() const { return m_loaded; }

    // Each harvest command starts with ValidURL true and reports requests
    // the queue passes over anew.
    void beginCommand();

    // Processes one request: gives back requests whose lease expired, takes
    // the next open one of type Typenaam (any type when empty) under a
    // lease, harvests its pages while renewing the lease and, only when
    // every page was read, stores one row per record and closes it "Y", in
    // one transaction that commits only while the lease is still ours. A
    // block, a page that fails to load or a stop request store nothing and
    // give the request back ("N"). A lease lost to another harvester stores
    // nothing and leaves the request to it (one red line). Reports one line
    // per request: the query text, its type, the rows stored and the final
    // status. Failures (the database, a page without body) throw
    // platform::RunError; nothing of the request is then stored and it stays
    // "L" until its lease expires.
    RequestResult DoQuery(const QString& Typenaam);

    const MainWindowValues& values() const { return m_values; }
    lookup::Database& database() { return m_database; }
    Leases& leases() { return m_leases; }
    platform::Browser& browser() { return m_browser; }

signals:
    // A request was taken: its query text.
    void requestStarted(const QString& query);
    // A page of the request's current search was read (1 = the search page).
    void pageRead(qint64 page, qint64 pages);
    // A pause toward the site begins.
    void pauseStarted(qint32 milliseconds);

private:
    bool close(const Claim& claim, const PostcodeCollection& records, bool done);

    platform::Env m_env;
    platform::MessageSink& m_sink;
    lookup::Database m_database;
    Leases m_leases;
    platform::Browser m_browser;
    PageWalk m_walk;
    MainWindowValues m_values;
    bool m_loaded = false;
    bool m_passedOverReported = false;
};

} // namespace lookup
