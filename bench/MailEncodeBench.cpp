// EncodeBase64Bytes (Qt's encoding plus our 76-character line layout) beside
// QByteArray::toBase64 on the same bytes: one attachment chunk of 11400
// bytes, and 1 MiB at once. And a whole message composed: headers, a body
// of 200 lines and a 1 MiB attachment read from a file, into a sink.
#include "mail/Composition.h"
#include "mail/Encoders.h"

#include <QFile>
#include <QTemporaryDir>
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

class CountingWriter : public mail::MessageWriter
{
public:
    qint64 bytes = 0;
    bool send(const QByteArray& piece) override
    {
        bytes += piece.size();
        return true;
    }
};

void composeMessage(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("verslag.pdf"));
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(bytes(1 << 20));
    file.close();
    mail::MailMessage m;
    m.from = QStringLiteral("jan@voorbeeld.nl");
    m.FromDisplayName = QStringLiteral("Jürgen Müller");
    m.Recipient = {QStringLiteral("piet@voorbeeld.nl"), QStringLiteral("anne@voorbeeld.nl")};
    m.RecipientDisplayName = {QStringLiteral("Piet"), QStringLiteral("Anne")};
    m.Subject = QStringLiteral("Grüße uit Zwolle");
    QString body;
    for (int i = 0; i < 200; ++i)
        body += QStringLiteral("Regel %1 van het verslag, met wat tekst erbij.\n").arg(i);
    m.Message = mail::PrepareMessage(body);
    m.AttachmentPaths = {path};
    m.AttachmentNames = {QStringLiteral("verslag.pdf")};
    m.AttachmentEmbedded = {false};
    m.AttachmentBytes = 1 << 20;
    mail::SendValues values;
    values.UseMultipart = true;
    values.now = QDateTime(QDate(2026, 12, 6), QTime(14, 30, 15));
    values.Boundary = mail::makeBoundary(values.now);
    values.TimeZoneOffset = QStringLiteral("+0100");
    for (auto _ : state) {
        CountingWriter out;
        if (!mail::writeMessageStream(m, values, out).complete)
            state.SkipWithError("the message was not composed");
        benchmark::DoNotOptimize(out.bytes);
    }
    state.SetBytesProcessed(state.iterations() * (1 << 20));
}

} // namespace

BENCHMARK(composeMessage)->Unit(benchmark::kMillisecond);
BENCHMARK(encodeBase64Bytes)->Arg(11400)->Arg(1 << 20);
BENCHMARK(qtToBase64)->Arg(11400)->Arg(1 << 20);
BENCHMARK_MAIN();
