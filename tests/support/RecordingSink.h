#pragma once

#include "platform/MessageSink.h"
#include "platform/Prompts.h"

#include <QList>
#include <QStringList>

namespace testing_support {

// Keeps every message reported, one entry each with its colour (a box's
// trace as the log writes it). Boxes go to `prompts` when one is given;
// without, nothing is shown and a question takes its default answer.
class RecordingSink : public platform::MessageSink
{
public:
    RecordingSink() = default;
    explicit RecordingSink(platform::Prompts& prompts) : m_prompts(&prompts) {}

    QStringList lines;
    QList<quint32> colours;
    void AddMelding(const QString& MeldTxt, int, bool, quint32 Kleur) override
    {
        lines << MeldTxt;
        colours << Kleur;
    }
    void AddMsgBoxMelding(const QString& MeldTxt1, const QString& MeldTxt2, int SoortBox,
                          bool Startpunt, quint32 Kleur, bool MsgBoxMelding) override
    {
        MessageSink::AddMsgBoxMelding(MeldTxt1, MeldTxt2, SoortBox, Startpunt, Kleur);
        if (MsgBoxMelding && m_prompts)
            m_prompts->MsgBox(MeldTxt1, SoortBox, MeldTxt2);
    }
    qint32 AddMsgBoxMeldingJN(const QString& MeldTxt1, const QString& MeldTxt2, int SoortBox,
                              bool Startpunt, quint32 Kleur) override
    {
        const qint32 fallback =
            MessageSink::AddMsgBoxMeldingJN(MeldTxt1, MeldTxt2, SoortBox, Startpunt, Kleur);
        return m_prompts ? m_prompts->MsgBox(MeldTxt1, SoortBox | platform::box::YesNo, MeldTxt2)
                         : fallback;
    }

private:
    platform::Prompts* m_prompts = nullptr;
};

} // namespace testing_support
