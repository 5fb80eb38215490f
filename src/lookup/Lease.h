#pragma once

#include "platform/HostIdentity.h"

#include <QSet>
#include <QString>

namespace platform {
class MessageSink;
}

namespace lookup {

class Database;
struct Claim;

// How long a lease lives without renewal: by default, at the least and at
// the most (a week).
inline constexpr int DefaultLeaseSeconds = 300;
inline constexpr int MinimumLeaseSeconds = 5;
inline constexpr int MaximumLeaseSeconds = 7 * 24 * 3600;
// A request whose lease expired this often without a close is poison: it
// is not handed back again and stays "L" for someone to look at.
inline constexpr int PoisonAttempts = 3;

// Who holds a lease: this host and process.
struct LeaseHolder
{
    QString hostAddress, hostName;
    platform::ProcessIdentity process;
};

// This process on `host`, with the host address the harvester writes into
// its rows.
LeaseHolder thisHolder(platform::Host& host, const QString& hostAddress);

// The leases on the requests in progress (the table StraatwijsLease), so
// that no request stays "L" for good when its harvester dies, and no
// harvester that only slept stores a request that another took back. Uses
// the connection of `db` and reports through `sink`; both must outlive it.
// Every time comes from the database server's clock; whether a holder on
// this host still runs, from `host` (which must outlive it too).
class Leases
{
public:
    Leases(Database& db, platform::MessageSink& sink, platform::Host& host);

    void setHolder(const LeaseHolder& holder) { m_holder = holder; }
    void setTimeout(int seconds) { m_timeoutSeconds = seconds; }
    int timeoutSeconds() const { return m_timeoutSeconds; }
    // Forgets what it learnt of the connection (after it was opened anew).
    void reset();

    // Whether claims get leases: Requests has a key of one column, and the
    // lease table exists or could be made. Looked at once per connection; a
    // table that cannot be made is reported in one red line and claims then
    // go without leases. Throws platform::RunError (DatabaseError) when the
    // database cannot be read.
    bool inUse();

    // Gives back ("N") every request whose lease expired, or whose holder on
    // this host no longer runs, in one conditional statement each, so that
    // of several harvesters doing it at once only one succeeds. The lease
    // row stays, without token, for its count of attempts. A request whose
    // lease expired PoisonAttempts times is left "L" (reported once).
    // Reports one line per request; returns how many it gave back. Throws
    // like inUse.
    int handBackExpired();

    // handBackExpired, and also the requests "L" without a live lease (left
    // by an older version or set by hand), one line each. Never touches a
    // request under a live lease or a poison one. Returns how many it gave
    // back. Without leases in use it gives back nothing.
    int releaseStranded();

    // Within the claim's transaction: writes the lease of a request just
    // claimed (counting one more attempt) and sets claim.token.
    void take(Claim& claim);
    // Extends the lease. False when it is no longer this holder's: given
    // back, or taken by another harvester. Throws like inUse.
    bool renew(const Claim& claim);
    // Within the close's transaction: removes the lease when it is still
    // this holder's and answers true; false (nothing removed) when it is not,
    // and then the close must not commit.
    bool release(const Claim& claim);

private:
    bool handBack(const QString& request, const QString& token, bool expired);
    QString describe(const QString& request);

    Database& m_db;
    platform::MessageSink& m_sink;
    platform::Host& m_host;
    LeaseHolder m_holder;
    int m_timeoutSeconds = DefaultLeaseSeconds;
    enum class State
    {
        Unknown,
        InUse,
        Off
    } m_state = State::Unknown;
    QString m_keyColumn;
    QSet<QString> m_poisonReported;
};

} // namespace lookup
