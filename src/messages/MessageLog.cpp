#include "messages/MessageLog.h"

#include "platform/RunError.h"

#include <algorithm>

namespace messages {

namespace {
const QString CrLf = QStringLiteral("\r\n");

bool isControl(char16_t c)
{
    return c < 0x20 || (c >= 0x7F && c < 0xA0) || c == 0x2028 || c == 0x2029;
}
} // namespace

QString MessageLog::escapeControls(const QString& text)
{
    if (std::none_of(text.begin(), text.end(), [](QChar c) { return isControl(c.unicode()); }))
        return text;
    QString out;
    out.reserve(text.size() + 16);
    for (const QChar ch : text) {
        const char16_t c = ch.unicode();
        if (!isControl(c))
            out += ch;
        else if (c == u'\n')
            out += QLatin1String("\\n");
        else if (c == u'\r')
            out += QLatin1String("\\r");
        else if (c == u'\t')
            out += QLatin1String("\\t");
        else if (c < 0x100)
            out += QStringLiteral("\\x%1").arg(int(c), 2, 16, QLatin1Char('0'));
        else
            out += QStringLiteral("\\u%1").arg(int(c), 4, 16, QLatin1Char('0'));
    }
    return out;
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
    add(escapeControls(MeldTxt), Fase, Startpunt, Kleur);
}

void MessageLog::add(const QString& MeldTxt, int Fase, bool Startpunt, quint32 Kleur)
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

// A box's trace keeps its title on a line of its own; title and text are
// escaped like any message.
QString MessageLog::trace(const QString& MeldTxt1, const QString& MeldTxt2)
{
    return boxTrace(escapeControls(MeldTxt1), escapeControls(MeldTxt2));
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
    add(trace(MeldTxt1, MeldTxt2), 0, Startpunt, Kleur);
    if (MsgBoxMelding)
        m_prompts.MsgBox(MeldTxt1, SoortBox, MeldTxt2);
}

qint32 MessageLog::AddMsgBoxMeldingJN(const QString& MeldTxt1, const QString& MeldTxt2,
                                      int SoortBox, bool Startpunt, quint32 Kleur)
{
    add(trace(MeldTxt1, MeldTxt2), 0, Startpunt, Kleur);
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
