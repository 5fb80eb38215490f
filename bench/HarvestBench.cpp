// Harvest overhead per page: one "S" request of three result pages ("1012",
// 25 results) through DoQuery into an SQLite file, against the local site
// running as its own process, with the pauses skipped. FetchOnly loads the
// same three pages with nothing else, so the difference between the two is
// what the harvester itself adds (parsing, bookkeeping, storing).
//   build/bench/harvest_bench
#include "lookup/PageWalk.h"
#include "lookup/PostcodeLookup.h"
#include "platform/Env.h"
#include "support/RecordingSink.h"
#include "support/TestDatabase.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <benchmark/benchmark.h>

using namespace testing_support;

namespace {

QString siteUrl;

// Skips the pauses; a page poll ends at the first event instead of after
// its full 10 ms, so only the harvester's own time is measured.
class EventDrivenWait : public platform::Wait
{
public:
    qint32 MsgWaitObj(qint32 Milliseconds) override
    {
        if (Milliseconds <= lookup::PagePollMs)
            m_events.waitForInput(Milliseconds);
        m_events.processPending();
        return platform::WaitTimeout;
    }

private:
    platform::QtEventWait m_events;
};

const QStringList Pages = {
    "/index?action=search&goto=postcoderesult&TreeID=1&address=1012",
    "/index.php?goto=postcoderesult&action=page&pagenum=1&address=1012&TreeID=1",
    "/index.php?goto=postcoderesult&action=page&pagenum=2&address=1012&TreeID=1",
};

void DoQueryThreePages(benchmark::State& state)
{
    EventDrivenWait wait;
    platform::Env env = platform::systemEnv();
    env.wait = &wait;
    TestDatabase t(Backend::SQLite);
    RecordingSink sink;
    lookup::PostcodeLookup engine(env, sink);
    engine.load({t.values(), siteUrl, "192.0.2.7"});
    for (auto _ : state) {
        state.PauseTiming();
        t.addRequest("1012", "S");
        state.ResumeTiming();
        if (engine.DoQuery("S").rows != 25)
            state.SkipWithError("the request was not harvested");
    }
}

void FetchOnlyThreePages(benchmark::State& state)
{
    QNetworkAccessManager network;
    for (auto _ : state) {
        for (const QString& path : Pages) {
            QNetworkReply* reply = network.get(QNetworkRequest(QUrl(siteUrl + path)));
            QEventLoop loop;
            QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
            loop.exec();
            benchmark::DoNotOptimize(reply->readAll());
            reply->deleteLater();
        }
    }
}

} // namespace

BENCHMARK(DoQueryThreePages)->Unit(benchmark::kMillisecond);
BENCHMARK(FetchOnlyThreePages)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QProcess site;
    site.start(QStringLiteral(POSTCODE_SITE_PROGRAM), {"--port", "0"});
    if (!site.waitForStarted() || !site.waitForReadyRead(5000)) {
        fprintf(stderr, "the local postcode site did not start\n");
        return 1;
    }
    siteUrl =
        QStringLiteral("http://127.0.0.1:%1").arg(QString::fromUtf8(site.readLine()).trimmed());
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    site.kill();
    site.waitForFinished();
    return 0;
}
