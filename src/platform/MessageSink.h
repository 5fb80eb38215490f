#pragma once

#include "platform/Prompts.h"

#include <QString>
#include <QtGlobal>

namespace platform {

// The colour of a line that reports a failure (Kleur, 0x00BBGGRR).
inline constexpr quint32 Red = 0x0000FF;

// Where every part of the program reports: the message log implements it.
class MessageSink
{
public:
    virtual ~MessageSink() = default;
    // One message. Fase bit 8: no line end. Startpunt: insert at the top.
    // Kleur: 0x00BBGGRR text colour. Never throws.
    virtual void AddMelding(const QString& MeldTxt, int Fase = 0, bool Startpunt = false,
                            quint32 Kleur = 0) = 0;

    // Logs MeldTxt1 (below the title MeldTxt2 when that is not empty) and,
    // when MsgBoxMelding, shows it in a message box of style SoortBox titled
    // MeldTxt2. A sink without a user to ask only logs.
    virtual void AddMsgBoxMelding(const QString& MeldTxt1, const QString& MeldTxt2 = {},
                                  int SoortBox = 0, bool Startpunt = false, quint32 Kleur = 0,
                                  bool MsgBoxMelding = false)
    {
        Q_UNUSED(SoortBox);
        Q_UNUSED(MsgBoxMelding);
        AddMelding(boxTrace(MeldTxt1, MeldTxt2), 0, Startpunt, Kleur);
    }
    // Logs the message as AddMsgBoxMelding does and asks it as a yes/no
    // question (SoortBox with the yes/no buttons); returns 6 (yes) or 7 (no).
    // A sink without a user to ask takes the default button's answer.
    virtual qint32 AddMsgBoxMeldingJN(const QString& MeldTxt1, const QString& MeldTxt2 = {},
                                      int SoortBox = 0, bool Startpunt = false, quint32 Kleur = 0)
    {
        AddMelding(boxTrace(MeldTxt1, MeldTxt2), 0, Startpunt, Kleur);
        return box::defaultAnswer(SoortBox | box::YesNo);
    }

protected:
    // The log's trace of a message box: the title on a line above the text.
    static QString boxTrace(const QString& MeldTxt1, const QString& MeldTxt2)
    {
        return MeldTxt2.isEmpty() ? MeldTxt1 : MeldTxt2 + QStringLiteral("\r\n") + MeldTxt1;
    }
};

} // namespace platform
