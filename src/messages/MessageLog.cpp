#include "messages/MessageLog.h"

#include "platform/RunError.h"

namespace messages {

namespace {
const QString CrLf = QStringLiteral("\r\n");
}

MessageLog::MessageLog(platform::Prompts& prompts, platform::Wait* wait, QObject* parent)
    : QObject(parent), m_prompts(prompts), m_wait(wait)
{
}

void MessageLog::AddMelding(const QString& MeldTxt, int Fase, bool Startpunt, quint32 Kleur)
{
    try {
        if (LogFileNumber > 0 && (LogFileCommandMode & 1) && m_logWriter)
            m_logWriter(LogFileNumber, MeldTxt);

        if (m_text.size() > MaxLength) {
            const int lf = m_text.indexOf(QLatin1Char('\n'), TrimFrom - 1);
            if (lf >= 0) {
                const QString removed = m_text.left(lf + 1);
                m_text.remove(0, lf + 1);
                emit prefixRemoved(removed);
            }
            insert(true, QStringLiteral(">") + CrLf, 0);
        }

        const QString line = (Fase & 8) ? MeldTxt : MeldTxt + CrLf;
        insert(Startpunt, line, Kleur);
        if (m_echo)
            m_echo((Fase & 8) ? MeldTxt : MeldTxt + QLatin1Char('\n'));
    } catch (const std::exception&) {
        // A message that cannot be logged is dropped quietly.
    }
    letEventsRun();
}

void MessageLog::insert(bool atStart, const QString& text, quint32 colour)
{
    if (atStart)
        m_text.prepend(text);
    else
        m_text.append(text);
    emit textInserted(atStart, text, colour);
}

void MessageLog::letEventsRun()
{
    if (m_wait)
        m_wait->MsgWaitObj(0);
}

void MessageLog::AddMsgBoxMelding(const QString& MeldTxt1, const QString& MeldTxt2, int SoortBox,
                                  bool Startpunt, quint32 Kleur, bool MsgBoxMelding)
{
    if (MeldTxt2.isEmpty())
        AddMelding(MeldTxt1, 0, Startpunt, Kleur);
    else
        AddMelding(MeldTxt2 + CrLf + MeldTxt1, 0, Startpunt, Kleur);
    if (MsgBoxMelding)
        m_prompts.MsgBox(MeldTxt1, SoortBox, MeldTxt2);
}

qint32 MessageLog::AddMsgBoxMeldingJN(const QString& MeldTxt1, const QString& MeldTxt2,
                                      int SoortBox, bool Startpunt, quint32 Kleur)
{
    if (MeldTxt2.isEmpty())
        AddMelding(MeldTxt1, 0, Startpunt, Kleur);
    else
        AddMelding(MeldTxt2 + CrLf + MeldTxt1, 0, Startpunt, Kleur);
    const qint32 answer = m_prompts.MsgBox(MeldTxt1, SoortBox | platform::box::YesNo, MeldTxt2);
    letEventsRun();
    return answer;
}

void MessageLog::ClearAlg()
{
    m_text.clear();
    emit cleared();
}

} // namespace messages
