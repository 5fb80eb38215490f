#pragma once

#include "platform/MessageSink.h"
#include "platform/MsgWaitObj.h"
#include "platform/Prompts.h"

#include <QObject>
#include <QString>
#include <functional>

namespace messages {

// The running message log behind the message window: the text and its
// bounded growth, the message-box variants and the log-file copy. Widget
// free; the window mirrors it through the signals, a headless run echoes
// every message to a stream.
class MessageLog : public QObject, public platform::MessageSink
{
    Q_OBJECT
public:
    static constexpr int MaxLength = 128000;
    static constexpr int TrimFrom = 32000; // 1-based position of the trim's search start

    // After each message the log lets pending events run through `wait`
    // (0 ms), so the window shows it at once; without one it does not.
    explicit MessageLog(platform::Prompts& prompts, platform::Wait* wait = nullptr,
                        QObject* parent = nullptr);

    void AddMelding(const QString& MeldTxt, int Fase = 0, bool Startpunt = false,
                    quint32 Kleur = 0) override;
    // The box goes through the prompts, so a run without a window answers
    // it on the console.
    void AddMsgBoxMelding(const QString& MeldTxt1, const QString& MeldTxt2 = {}, int SoortBox = 0,
                          bool Startpunt = false, quint32 Kleur = 0,
                          bool MsgBoxMelding = false) override;
    qint32 AddMsgBoxMeldingJN(const QString& MeldTxt1, const QString& MeldTxt2 = {},
                              int SoortBox = 0, bool Startpunt = false, quint32 Kleur = 0) override;
    void ClearAlg();

    // Every message is one line, whatever its text holds: control
    // characters and line separators are written as \n, \r, \t, \xNN or
    // \uNNNN (in the pane, on the echo and in the log file alike).
    static QString escapeControls(const QString& text);

    const QString& text() const { return m_text; }

    // Headless runs: every message is written to this function as it is
    // logged (with "\n" unless Fase 8).
    void setEcho(std::function<void(const QString&)> echo) { m_echo = std::move(echo); }

    // Log file copy: while LogFileNumber > 0 and bit 1 of
    // LogFileCommandMode is set, every message goes to the writer as one
    // line: its text in ISO-8859-1 (other characters as "?") and CR LF.
    // When the writer throws, the copy is switched off (LogFileNumber 0)
    // and one message says why; the message itself is still logged.
    // OpenLogFile (LogFile.h) sets the numbers and the writer.
    qint16 logFileNumber() const { return LogFileNumber; }
    qint16 logFileCommandMode() const { return LogFileCommandMode; }
    void setLogFile(qint16 fileNumber, qint16 commandMode)
    {
        LogFileNumber = fileNumber;
        LogFileCommandMode = commandMode;
    }
    void setLogWriter(std::function<void(qint16 fileNumber, const QByteArray& line)> writer)
    {
        m_logWriter = std::move(writer);
    }

signals:
    // The view mirrors the text: removal of a prefix, insertion at the start
    // or the end, clearing.
    void prefixRemoved(const QString& removed);
    void textInserted(bool atStart, const QString& text, quint32 colour);
    void cleared();

private:
    void add(const QString& MeldTxt, int Fase, bool Startpunt, quint32 Kleur);
    static QString trace(const QString& MeldTxt1, const QString& MeldTxt2);
    void insert(bool atStart, const QString& text, quint32 colour);
    // Copies the message to the log file; the reason when that failed.
    QString copyToLogFile(const QString& MeldTxt);
    void letEventsRun();

    qint16 LogFileNumber = 0;
    qint16 LogFileCommandMode = 0;
    platform::Prompts& m_prompts;
    platform::Wait* m_wait;
    QString m_text;
    std::function<void(const QString&)> m_echo;
    std::function<void(qint16, const QByteArray&)> m_logWriter;
};

} // namespace messages
