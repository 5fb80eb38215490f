// The request queue under load: claim + close round trips of 1 to 16
// harvesters at once (each its own connection, as separate processes
// would have), and storing a request's 1000 rows in one transaction. On the
// embedded SQLite file, and with STRAATWIJS_TEST_MARIADB set (see
// tests/support/mariadb-fixture) on a local MariaDB server over TCP.
//   build/bench/queue_bench
#include "lookup/Database.h"
#include "lookup/RequestQueue.h"
#include "lookup/ResultStore.h"
#include "support/RecordingSink.h"
#include "support/TestDatabase.h"

#include <QCoreApplication>
#include <QSqlDatabase>
#include <benchmark/benchmark.h>
#include <memory>

using namespace testing_support;

namespace {

constexpr int RoundTripsPerThread = 400;
std::unique_ptr<TestDatabase> shared; // the queue of one benchmark run

// A queue with enough open requests for every thread's round trips.
void fillQueue(Backend backend, int requests)
{
    shared = std::make_unique<TestDatabase>(backend);
    shared->exec(backend == Backend::MariaDB
                     ? QStringLiteral("INSERT INTO Requests (Query, Type) SELECT CONCAT('Plaats ', "
                                      "seq), 'S' FROM seq_1_to_%1")
                           .arg(requests)
                     : QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 "
                                      "FROM n WHERE i < %1) INSERT INTO Requests (Query, Type) "
                                      "SELECT 'Plaats ' || i, 'S' FROM n")
                           .arg(requests));
}

template <Backend backend> void setUp(const benchmark::State& state)
{
    if (TestDatabase::available(backend))
        fillQueue(backend, RoundTripsPerThread * state.threads() + 100);
}

void tearDown(const benchmark::State&)
{
    shared.reset();
}

// One harvester: takes a request and closes it, on a connection of its own.
void claimAndClose(benchmark::State& state)
{
    if (!shared) {
        state.SkipWithError("no test MariaDB server (STRAATWIJS_TEST_MARIADB)");
        return;
    }
    RecordingSink sink;
    lookup::Database db(sink);
    db.OpenDb(shared->values());
    for (auto _ : state) {
        const lookup::Claim claim = lookup::SearchQuery(db, "S");
        if (!claim.taken) {
            state.SkipWithError("the queue ran dry");
            break;
        }
        lookup::ResetQuery(db, claim, true);
    }
    state.SetItemsProcessed(state.iterations());
}

// A request's rows: 1000 records in one transaction.
void store1000Rows(benchmark::State& state, Backend backend)
{
    if (!TestDatabase::available(backend)) {
        state.SkipWithError("no test MariaDB server (STRAATWIJS_TEST_MARIADB)");
        return;
    }
    TestDatabase t(backend);
    RecordingSink sink;
    lookup::Database db(sink);
    db.OpenDb(t.values());
    lookup::PostcodeCollection records;
    for (int i = 0; i < 1000; ++i) {
        auto r = std::make_shared<lookup::clsPostcode>();
        r->Query = QStringLiteral("1012");
        r->Typenaam = QStringLiteral("S");
        r->Postcode = QStringLiteral("1012 %1").arg(i);
        r->Straat = QStringLiteral("Damrak");
        r->SplitNr(i % 3 ? QStringLiteral("%1 t/m %2").arg(i).arg(i + 22) : QString());
        r->Woonplaats = QStringLiteral("Amsterdam");
        r->Resultaten = 1000.0;
        records.append(r);
    }
    for (auto _ : state) {
        QSqlDatabase& c = db.connection(QStringLiteral("bench"));
        c.transaction();
        lookup::storeRecords(db, records, QStringLiteral("192.0.2.7"));
        c.commit();
    }
    state.SetItemsProcessed(state.iterations() * 1000);
}

} // namespace

BENCHMARK(claimAndClose)
    ->Name("claimAndClose/MariaDB")
    ->Setup(setUp<Backend::MariaDB>)
    ->Teardown(tearDown)
    ->Iterations(RoundTripsPerThread)
    ->ThreadRange(1, 16)
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(claimAndClose)
    ->Name("claimAndClose/SQLite")
    ->Setup(setUp<Backend::SQLite>)
    ->Teardown(tearDown)
    ->Iterations(RoundTripsPerThread)
    ->ThreadRange(1, 16)
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(store1000Rows, MariaDB, Backend::MariaDB)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(store1000Rows, SQLite, Backend::SQLite)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
