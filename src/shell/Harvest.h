#pragma once

#include "lookup/Outcome.h"
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
    using Outcome = lookup::Outcome;
    // The program is to end now, with this status (0, or
    // platform::signalStatus after a signal).
    using Ending = std::optional<int>;

    // `lookup` gives the lookup engine, loading it on first use.
    Harvest(platform::Env env, platform::MessageSink& log,
            std::function<lookup::PostcodeLookup&()> lookup, QObject* parent = nullptr);

    // One big ("B") request, then 3 s.
    Ending runBig();
    // Asks for the count ("Aantal", 32 offered), then runs a batch of small
    // ("S") or minimal ("M") requests.
    Ending runSmall();
    Ending runMinimal();
    // A batch of Aantal requests of type Typenaam (the whole part of the
    // number Aantal starts with; none when it is not positive).
    Ending runBatch(const QVariant& Aantal, const QString& Typenaam);

    // The start-up timer's one tick. With autostart: the batch of 32 "S"
    // requests, then 10 s, then the program ends (status 0). During another
    // command that batch follows the command. Without autostart: nothing,
    // and the caller switches the timer off.
    Ending autostartTick(bool autostart);

    bool running() const { return m_running; }
    // How the last command ended: Done, or Blocked, Unreachable or
    // Interrupted when that ended it early.
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
    Ending askCountAndRun(const QString& Typenaam);
    void harvestBatch(const QVariant& Aantal, const QString& Typenaam);
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
