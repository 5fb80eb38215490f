#pragma once

// What the fuzz targets share. A broken property aborts, so libFuzzer keeps
// the input as a crash like any fault the sanitizers find.

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace fuzz {

inline QByteArray bytes(const std::uint8_t* data, std::size_t size)
{
    return QByteArray(reinterpret_cast<const char*>(data), qsizetype(size));
}

inline void require(bool holds, const char* property, const QString& detail = {})
{
    if (holds)
        return;
    std::fprintf(stderr, "\nproperty broken: %s\n%s\n", property, detail.toUtf8().constData());
    std::abort();
}

} // namespace fuzz
