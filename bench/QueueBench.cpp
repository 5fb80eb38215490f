// One claim + give-back round trip of the request queue, on the embedded
// SQLite file and (with STRAATWIJS_TEST_MARIADB set, see
// tests/support/mariadb-fixture) on a local MariaDB server over TCP.
#include "lookup/Database.h"
#include "lookup/RequestQueue.h"
#include "support/RecordingSink.h"
#include "support/TestDatabase.h"

#include <QCoreApplication>
#include <benchmark/benchmark.h>

using namespace testing_support;

static void claimAndReset(benchmark::State& state, Backend backend)
{
    if (!TestDatabase::available(backend)) {
        state.SkipWithError("no test MariaDB server (STRAATWIJS_TEST_MARIADB)");
        return;
    }
    TestDatabase t(backend);
    t.connection().transaction();
    for (int i = 0; i < 1000; ++i)
        t.addRequest(QStringLiteral("Plaats %1").arg(i), "S");
    t.connection().commit();
    RecordingSink sink;
    lookup::Database db(sink);
    db.OpenDb(t.values());
    for (auto _ : state) {
        const lookup::Claim claim = lookup::SearchQuery(db, "S");
        lookup::ResetQuery(db, claim, false);
    }
}
BENCHMARK_CAPTURE(claimAndReset, SQLite, Backend::SQLite)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(claimAndReset, MariaDB, Backend::MariaDB)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
