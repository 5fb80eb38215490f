#pragma once

#include "platform/MessageSink.h"

#include <QList>
#include <QStringList>

namespace testing_support {

// Keeps every message reported, one entry each, with its colour.
class RecordingSink : public platform::MessageSink
{
public:
    QStringList lines;
    QList<quint32> colours;
    void AddMelding(const QString& MeldTxt, int, bool, quint32 Kleur) override
    {
        lines << MeldTxt;
        colours << Kleur;
    }
};

} // namespace testing_support
