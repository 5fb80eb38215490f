#include "lookup/PostcodeLookup.h"

#include "lookup/RequestQueue.h"
#include "lookup/ResultStore.h"
#include "platform/MessageSink.h"
#include "platform/RunError.h"

#include <QSqlError>

namespace lookup {

namespace {
const QString DoQuerySource = QStringLiteral("DoQuery");
} // namespace

PostcodeLookup::PostcodeLookup(platform::Env env, platform::MessageSink& sink, QObject* parent)
    : QObject(parent), m_env(env), m_sink(sink), m_database(sink), m_browser(*env.network),
      m_walk(env, sink, m_browser)
{
    connect(&m_walk, &PageWalk::pageRead, this, &PostcodeLookup::pageRead);
    connect(&m_walk, &PageWalk::pauseStarted, this, &PostcodeLookup::pauseStarted);
}

PostcodeLookup::~PostcodeLookup() = default;

void PostcodeLookup::load(const MainWindowValues& values)
{
    ValidURL = true;
    m_values = values;
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
    const Claim claim = SearchQuery(m_database, Typenaam);
    if (!claim.taken)
        return {};
    emit requestStarted(claim.Query);
    const WalkResult walk = m_walk.GetPostcodes(m_values.Url, claim.Query, claim.Type);
    m_env.wait->MsgWaitObj(0);

    RequestResult result{RequestResult::Done, claim.Query, claim.Type, 0};
    switch (walk.outcome) {
    case WalkResult::Complete:
        result.rows = int(walk.records.size());
        break;
    case WalkResult::Blocked:
        ValidURL = false;
        result.outcome = RequestResult::Blocked;
        break;
    case WalkResult::Failed:
        result.outcome = RequestResult::Unreachable;
        break;
    case WalkResult::Interrupted:
        result.outcome = RequestResult::Interrupted;
        break;
    }
    const bool done = result.outcome == RequestResult::Done;
    close(claim, done ? walk.records : PostcodeCollection(), done);
    m_sink.AddMelding(QStringLiteral("%1 (%2): %3 rijen opgeslagen, status %4")
                          .arg(claim.Query, claim.Type)
                          .arg(result.rows)
                          .arg(done ? QLatin1Char('Y') : QLatin1Char('N')));
    return result;
}

// The rows and the request's new status are committed together, so a
// failure halfway (a lost server, a full disk) leaves no partial set of rows
// behind and the request stays "L" for someone to look at.
void PostcodeLookup::close(const Claim& claim, const PostcodeCollection& records, bool done)
{
    QSqlDatabase& db = m_database.connection(DoQuerySource);
    if (!db.transaction())
        m_database.fail(DoQuerySource, db.lastError().text());
    try {
        storeRecords(m_database, records, m_values.IpAddress);
        ResetQuery(m_database, claim, done);
        if (!db.commit())
            m_database.fail(DoQuerySource, db.lastError().text());
    } catch (...) {
        db.rollback();
        throw;
    }
}

} // namespace lookup
