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

QString MessageLog::copyToLogFile(const QString& MeldTxt)
{
    if (LogFileNumber <= 0 || !(LogFileCommandMode & 1) || !m_logWriter)
        return {};
    QByteArray line;
    line.reserve(MeldTxt.size() + 2);
    for (const char32_t c : QStringView(MeldTxt).toUcs4())
        line.append(c <= 0xFF ? char(c) : '?');
    line.append("\r\n");
    try {
        m_logWriter(LogFileNumber, line);
        return {};
    } catch (const std::exception& e) {
        const QString why = QStringLiteral("Log file %1 could not be written (%2); messages are no "
                                           "longer copied to it.")
                                .arg(LogFileNumber)
                                .arg(QString::fromUtf8(e.what()));
        LogFileNumber = 0;
        return why;
    }
}

void MessageLog::AddMelding(const QString& MeldTxt, int Fase, bool Startpunt, quint32 Kleur)
{
    // A log file that fails must not silence the run: the message still
    // reaches the pane, followed by the reason the copy stopped.
    const QString logFileFailure = copyToLogFile(MeldTxt);
    try {
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
    if (!logFileFailure.isEmpty())
        AddMelding(logFileFailure);
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
    AddMelding(boxTrace(MeldTxt1, MeldTxt2), 0, Startpunt, Kleur);
    if (MsgBoxMelding)
        m_prompts.MsgBox(MeldTxt1, SoortBox, MeldTxt2);
}

qint32 MessageLog::AddMsgBoxMeldingJN(const QString& MeldTxt1, const QString& MeldTxt2,
                                      int SoortBox, bool Startpunt, quint32 Kleur)
{
    AddMelding(boxTrace(MeldTxt1, MeldTxt2), 0, Startpunt, Kleur);
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
