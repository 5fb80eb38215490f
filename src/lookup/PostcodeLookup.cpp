#include "lookup/PostcodeLookup.h"

#include "lookup/RequestQueue.h"
#include "lookup/ResultStore.h"
#include "platform/MessageSink.h"
#include "platform/RunError.h"

namespace lookup {

namespace {

const QString DoQuerySource = QStringLiteral("DoQuery");
using platform::Red;

// Renews a claim's lease while the walk waits for the site: every quarter
// of the lease time by the tick clock, so a renewal is never more than a
// third of the lease away.
class LeaseHeartbeat : public Heartbeat
{
public:
    LeaseHeartbeat(Leases& leases, const Claim& claim, platform::TickClock& tick)
        : m_leases(leases), m_claim(claim), m_tick(tick), m_last(tick.GetTickCount()),
          m_interval(quint32(leases.timeoutSeconds()) * 1000 / 4)
    {
    }
    qint32 intervalMs() const override { return qint32(m_interval); }
    bool beat() override
    {
        const quint32 now = m_tick.GetTickCount();
        if (now - m_last < m_interval)
            return true;
        m_last = now;
        return m_leases.renew(m_claim);
    }

private:
    Leases& m_leases;
    const Claim& m_claim;
    platform::TickClock& m_tick;
    quint32 m_last;
    const quint32 m_interval;
};

} // namespace

PostcodeLookup::PostcodeLookup(platform::Env env, platform::MessageSink& sink, QObject* parent)
    : QObject(parent), m_env(env), m_sink(sink), m_database(sink),
      m_leases(m_database, sink, *env.host), m_browser(*env.network), m_walk(env, sink, m_browser)
{
    connect(&m_walk, &PageWalk::pageRead, this, &PostcodeLookup::pageRead);
    connect(&m_walk, &PageWalk::pauseStarted, this, &PostcodeLookup::pauseStarted);
}

PostcodeLookup::~PostcodeLookup() = default;

void PostcodeLookup::load(const MainWindowValues& values)
{
    ValidURL = true;
    m_values = values;
    m_leases.reset();
    m_leases.setHolder(thisHolder(*m_env.host, values.IpAddress));
    m_leases.setTimeout(values.LeaseSeconds);
    platform::skipOnError([this] { m_database.OpenDb(m_values.Connection); });
    m_loaded = true;
}

void PostcodeLookup::unload()
{
    m_database.CloseDB();
    ValidURL = false;
    m_loaded = false;
}

void PostcodeLookup::beginCommand()
{
    ValidURL = true;
    m_passedOverReported = false;
}

RequestResult PostcodeLookup::DoQuery(const QString& Typenaam)
{
    m_env.wait->MsgWaitObj(0);
    if (!m_passedOverReported) {
        m_passedOverReported = true;
        if (const int n = countPassedOver(m_database, Typenaam); n > 0)
            m_sink.AddMelding(
                QStringLiteral("%1 open verzoek(en) zonder zoektekst of type overgeslagen").arg(n));
    }
    m_leases.handBackExpired();
    const Claim claim = SearchQuery(m_database, Typenaam, &m_leases);
    if (!claim.taken)
        return {};
    emit requestStarted(claim.Query);
    LeaseHeartbeat heartbeat(m_leases, claim, *m_env.tick);
    const WalkResult walk = m_walk.GetPostcodes(m_values.Url, claim.Query, claim.Type,
                                                claim.token.isEmpty() ? nullptr : &heartbeat);
    m_env.wait->MsgWaitObj(0);

    RequestResult result{walk.outcome, claim.Query, claim.Type, 0};
    if (walk.outcome == Outcome::Done)
        result.rows = int(walk.records.size());
    else if (walk.outcome == Outcome::Blocked)
        ValidURL = false;
    const bool done = result.outcome == Outcome::Done;
    if (result.outcome == Outcome::LeaseLost ||
        !close(claim, done ? walk.records : PostcodeCollection(), done)) {
        // Another harvester took the request back meanwhile: it is its now.
        m_sink.AddMelding(QStringLiteral("%1 (%2): 0 rijen opgeslagen, lease verloren: een andere "
                                         "harvester heeft het verzoek overgenomen")
                              .arg(claim.Query, claim.Type),
                          0, false, Red);
        return {Outcome::LeaseLost, claim.Query, claim.Type, 0};
    }
    m_sink.AddMelding(QStringLiteral("%1 (%2): %3 rijen opgeslagen, status %4")
                          .arg(claim.Query, claim.Type)
                          .arg(result.rows)
                          .arg(done ? QLatin1Char('Y') : QLatin1Char('N')));
    return result;
}

// The rows, the request's new status and the end of its lease are
// committed together, so a failure halfway (a lost server, a full disk)
// leaves no partial set of rows behind and the request stays "L" until its
// lease expires. The lease goes first: it is the fence that keeps a
// harvester that slept past its lease from storing what another one took
// back. A conflict with another transaction runs it again, with the same
// records; the fence holds each time. False: fenced out, nothing changed.
bool PostcodeLookup::close(const Claim& claim, const PostcodeCollection& records, bool done)
{
    return m_database.inTransaction(DoQuerySource, [&] {
        if (!claim.token.isEmpty() && !m_leases.release(claim))
            return false;
        storeRecords(m_database, records, m_values.IpAddress);
        ResetQuery(m_database, claim, done);
        return true;
    });
}

} // namespace lookup
