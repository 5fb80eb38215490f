#pragma once

#include "platform/Env.h"

#include <QObject>
#include <QString>
#include <QVariant>
#include <functional>
#include <optional>

namespace platform {
class MessageSink;
}
namespace lookup {
class PostcodeLookup;
}

namespace shell {

// The harvest commands of the main window and its start-up timer: one big
// request, or a batch of small or minimal ones with a random pause after
// each. A batch ends early when the site blocks searching (after the pause
// that follows the request), at once when a page fails to load, and at once
// when the stop request is raised (by a signal, "Stoppen" or closing the
// window; a line names which), and at once when the queue has no open
// request of its type left. Only one command runs at a time; a menu command given during a
// batch starts nothing, a timer tick during one runs the autostart batch
// when it ends.
class Harvest : public QObject
{
    Q_OBJECT
public:
    // How the last command ended.
    enum class Outcome
    {
        Done,        // ran to its end
        Blocked,     // the site blocked searching
        Unreachable, // a page failed to load
        Interrupted, // the stop request ended it
    };
    // The program is to end now, with this status.
    using Ending = std::optional<int>;

    // `lookup` gives the lookup engine, loading it on first use.
    Harvest(platform::Env env, platform::MessageSink& log,
            std::function<lookup::PostcodeLookup&()> lookup, QObject* parent = nullptr);

    Ending mnuDoBig_Click();
    Ending mnuDoSmall_Click();
    Ending mnuDoMinimal_Click();
    Ending DoSmall(const QVariant& Aantal, const QString& Typenaam);

    // The timer's one tick. With autostart: the batch of 32 "S" requests,
    // then 10 s, then the program ends (status 0). During another command
    // that batch follows the command. Without autostart: nothing, and the
    // caller switches the timer off.
    Ending Timer1_Timer(bool autostart);

    bool running() const { return m_running; }
    Outcome outcome() const { return m_outcome; }

signals:
    void runningChanged(bool running);
    // Request i of n (n is 1 for a big request).
    void requestStarted(int i, int n);
    // A pause between requests begins.
    void pauseStarted(qint32 milliseconds);
    // The lookup form is to dock itself (RequestedHeight, Position, ParmSetFocus).
    void repositionLookup(const QVariant& RequestedHeight, const QString& Position,
                          bool ParmSetFocus);

private:
    class Busy;
    Ending askAndRun(const QString& Typenaam);
    void runBatch(const QVariant& Aantal, const QString& Typenaam);
    Ending finish(Ending ending);
    bool pause(qint32 milliseconds);
    bool stopped() const;
    QString stopName() const;
    QString stamp() const;

    platform::Env m_env;
    platform::MessageSink& m_log;
    std::function<lookup::PostcodeLookup&()> m_lookup;
    bool m_running = false;
    bool m_autostartPending = false;
    Outcome m_outcome = Outcome::Done;
};

} // namespace shell
