// Arbitrary bytes as a DNS reply datagram: the answers are walked as the
// lookup walks them (from the question at offset 12, as many as the header
// counts), and every name in it is read. Nothing may be read past the
// datagram (the sanitizers see to that), and what comes out must be sane.
#include "Fuzz.h"
#include "mail/modMXQuery.h"

#include <QtEndian>
#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray reply = fuzz::bytes(data, size);
    if (reply.size() >= 12) {
        const int count = qFromBigEndian<quint16>(reply.constData() + 6);
        QList<mail::MXRecord> list;
        const QString best = mail::ParseMXAnswers(reply, 12, count, list);
        fuzz::require(list.size() <= count, "no more records than answers");
        fuzz::require(best == (list.isEmpty() ? QString() : list.first().Host),
                      "the best exchanger heads the list", best);
        for (qsizetype i = 1; i < list.size(); ++i)
            fuzz::require(list[i - 1].Preference <= list[i].Preference,
                          "the list is sorted by preference");
        for (const mail::MXRecord& r : list)
            fuzz::require(!r.Host.trimmed().isEmpty(), "no record without a host");
    }
    // A name may start anywhere a pointer can aim, within the 2048 bytes a
    // reply is received into.
    for (qsizetype start = 0; start < std::min<qsizetype>(reply.size(), 2048); ++start) {
        qsizetype position = start;
        QString name;
        if (mail::ReadDnsName(reply, position, name)) {
            fuzz::require(position >= start && position <= reply.size(),
                          "the position stays inside the reply", name);
            fuzz::require(name.size() <= reply.size() * 64, "a name is bounded by the reply");
        }
    }
    return 0;
}
