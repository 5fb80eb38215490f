// EncodeBase64Bytes (Qt's encoding plus our 76-character line layout) beside
// QByteArray::toBase64 on the same bytes: one attachment chunk of 11400
// bytes, and 1 MiB at once.
#include "mail/Encoders.h"

#include <benchmark/benchmark.h>

namespace {

QByteArray bytes(qsizetype size)
{
    QByteArray data(size, Qt::Uninitialized);
    quint32 x = 2463534242u;
    for (char& c : data) { // xorshift: incompressible, reproducible
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        c = char(x);
    }
    return data;
}

void encodeBase64Bytes(benchmark::State& state)
{
    const QByteArray data = bytes(state.range(0));
    for (auto _ : state)
        benchmark::DoNotOptimize(mail::EncodeBase64Bytes(data));
    state.SetBytesProcessed(state.iterations() * data.size());
}

void qtToBase64(benchmark::State& state)
{
    const QByteArray data = bytes(state.range(0));
    for (auto _ : state)
        benchmark::DoNotOptimize(data.toBase64());
    state.SetBytesProcessed(state.iterations() * data.size());
}

} // namespace

BENCHMARK(encodeBase64Bytes)->Arg(11400)->Arg(1 << 20);
BENCHMARK(qtToBase64)->Arg(11400)->Arg(1 << 20);
BENCHMARK_MAIN();
