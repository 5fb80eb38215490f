#pragma once

#include <QString>
#include <QtGlobal>

namespace platform {

// Where every part of the program reports: the message log implements it.
class MessageSink
{
public:
    virtual ~MessageSink() = default;
    // One message. Fase bit 8: no line end. Startpunt: insert at the top.
    // Kleur: 0x00BBGGRR text colour. Never throws.
    virtual void AddMelding(const QString& MeldTxt, int Fase = 0, bool Startpunt = false,
                            quint32 Kleur = 0) = 0;
};

} // namespace platform
