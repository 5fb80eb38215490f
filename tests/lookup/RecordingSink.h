#pragma once

#include "platform/MessageSink.h"

#include <QStringList>

// Keeps every message, for tests that check what a routine reported.
class RecordingSink : public platform::MessageSink
{
public:
    QStringList lines;
    void AddMelding(const QString& MeldTxt, int, bool, quint32) override { lines << MeldTxt; }
};
