#pragma once

#include "platform/MessageSink.h"

#include <QStringList>

namespace testing_support {

// Keeps every message reported, one entry each.
class RecordingSink : public platform::MessageSink
{
public:
    QStringList lines;
    void AddMelding(const QString& MeldTxt, int, bool, quint32) override { lines << MeldTxt; }
};

} // namespace testing_support
