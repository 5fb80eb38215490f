#include "shell/Harvest.h"

#include "lookup/Pause.h"
#include "lookup/PostcodeLookup.h"
#include "platform/Convert.h"
#include "platform/MessageSink.h"

#include <QLocale>
#include <cmath>
#include <csignal>

namespace shell {

namespace {
const QString Top = QStringLiteral("Top");
const QString ThreeQuarters = QStringLiteral("75%");
constexpr int AutostartCount = 32;
constexpr qint32 AfterBigMs = 3000;
constexpr qint32 AfterAutostartMs = 10000;

// What a request's end makes of its command's: an empty queue or a lost
// lease ends that request only.
Harvest::Outcome commandOutcome(lookup::Outcome request)
{
    if (request == lookup::Outcome::NoRequest || request == lookup::Outcome::LeaseLost)
        return lookup::Outcome::Done;
    return request;
}
} // namespace

// Marks a command as running for its lifetime, also when it ends by a
// failure, and starts it afresh: a stop the user asked for earlier is
// forgotten, ValidURL is true again.
class Harvest::Busy
{
public:
    explicit Busy(Harvest& h) : m_h(h)
    {
        m_h.m_running = true;
        m_h.m_outcome = Outcome::Done;
        if (m_h.m_env.stop && m_h.m_env.stop->reason() == platform::StopRequest::ByUser)
            m_h.m_env.stop->clear();
        emit m_h.runningChanged(true);
    }
    ~Busy()
    {
        m_h.m_running = false;
        emit m_h.runningChanged(false);
    }

private:
    Harvest& m_h;
};

Harvest::Harvest(platform::Env env, platform::MessageSink& log,
                 std::function<lookup::PostcodeLookup&()> lookup, QObject* parent)
    : QObject(parent), m_env(env), m_log(log), m_lookup(std::move(lookup))
{
}

QString Harvest::stamp() const
{
    const QDateTime now = m_env.day->Now();
    const QLocale locale = m_env.host->locale();
    QString timeFormat = locale.timeFormat(QLocale::LongFormat);
    timeFormat.remove(QLatin1Char('t'));
    return locale.toString(now.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
           locale.toString(now.time(), timeFormat.trimmed());
}

// What raised the stop, for the line that says why a command ended.
QString Harvest::stopName() const
{
    const int signal = m_env.stop ? m_env.stop->signal() : 0;
    if (signal == SIGTERM)
        return QStringLiteral("SIGTERM");
    if (signal == SIGINT)
        return QStringLiteral("SIGINT");
    if (signal > 0)
        return QStringLiteral("signaal %1").arg(signal);
    return QStringLiteral("Stoppen");
}

bool Harvest::stopped() const
{
    return m_env.stop && m_env.stop->requested();
}

bool Harvest::pause(qint32 milliseconds)
{
    emit pauseStarted(milliseconds);
    return lookup::pauseFor(*m_env.wait, milliseconds, 0, [this] { return !stopped(); });
}

// After a command: a signal ends the program; an autostart tick that came
// during the command runs its batch now, and the program ends after it,
// unless the command was stopped.
Harvest::Ending Harvest::finish(Ending ending)
{
    if (m_env.stop && m_env.stop->signal())
        return platform::signalStatus(m_env.stop->signal());
    if (stopped())
        m_autostartPending = false;
    if (m_autostartPending && !ending) {
        m_autostartPending = false;
        return autostartTick(true);
    }
    return ending;
}

Harvest::Ending Harvest::runBig()
{
    if (m_running || (m_env.stop && m_env.stop->signal()))
        return {};
    {
        Busy busy(*this);
        m_log.AddMelding(QStringLiteral("DoBig"));
        lookup::PostcodeLookup& engine = m_lookup();
        engine.beginCommand();
        emit repositionLookup(ThreeQuarters, Top, false);
        emit requestStarted(1, 1);
        const lookup::RequestResult r = engine.DoQuery(QStringLiteral("B"));
        m_outcome = commandOutcome(r.outcome);
        if (m_outcome != Outcome::Unreachable && m_outcome != Outcome::Interrupted &&
            !pause(AfterBigMs))
            m_outcome = Outcome::Interrupted;
        if (m_outcome == Outcome::Interrupted)
            m_log.AddMelding(QStringLiteral("DoBig gestopt (%1)").arg(stopName()));
    }
    return finish({});
}

Harvest::Ending Harvest::runSmall()
{
    return askCountAndRun(QStringLiteral("S"));
}

Harvest::Ending Harvest::runMinimal()
{
    return askCountAndRun(QStringLiteral("M"));
}

Harvest::Ending Harvest::askCountAndRun(const QString& Typenaam)
{
    if (m_running)
        return {};
    const std::optional<QString> answer =
        m_env.prompts->InputBox(QStringLiteral("Aantal"), QString(), QStringLiteral("32"));
    return runBatch(answer.value_or(QString()), Typenaam);
}

Harvest::Ending Harvest::runBatch(const QVariant& Aantal, const QString& Typenaam)
{
    if (m_running || (m_env.stop && m_env.stop->signal()))
        return {};
    harvestBatch(Aantal, Typenaam);
    return finish({});
}

void Harvest::harvestBatch(const QVariant& Aantal, const QString& Typenaam)
{
    Busy busy(*this);
    m_log.AddMelding(stamp() + QStringLiteral(" DoSmall started."));
    lookup::PostcodeLookup& engine = m_lookup();
    engine.beginCommand();
    emit repositionLookup(ThreeQuarters, Top, false);
    const double n = platform::Val(Aantal.toString());
    const int count = n > 0 ? int(std::min(std::floor(n), 1e9)) : 0;
    for (int i = 1; i <= count; ++i) {
        emit requestStarted(i, count);
        const lookup::RequestResult r = engine.DoQuery(Typenaam);
        // Nothing left to take: pausing through the remaining turns would
        // only hold the run.
        if (r.outcome == lookup::Outcome::NoRequest) {
            m_log.AddMelding(
                QStringLiteral("DoSmall: geen open verzoeken van type %1 meer").arg(Typenaam));
            break;
        }
        m_outcome = commandOutcome(r.outcome);
        // A site that cannot be reached, or a stop, ends the batch at once.
        if (m_outcome == Outcome::Unreachable || m_outcome == Outcome::Interrupted)
            break;
        const qint32 ms = qint32(std::floor(m_env.random->Rnd() * 10000 + 2000));
        if (!pause(ms)) {
            m_outcome = Outcome::Interrupted;
            break;
        }
        if (!engine.ValidURL)
            break;
    }
    if (m_outcome == Outcome::Interrupted)
        m_log.AddMelding(QStringLiteral("DoSmall gestopt (%1)").arg(stopName()));
    m_log.AddMelding(stamp() + QStringLiteral(" DoSmall ended."));
}

Harvest::Ending Harvest::autostartTick(bool autostart)
{
    if (!autostart)
        return {};
    if (m_running) {
        m_autostartPending = true;
        return {};
    }
    if (m_env.stop && m_env.stop->signal())
        return platform::signalStatus(m_env.stop->signal());
    harvestBatch(AutostartCount, QStringLiteral("S"));
    pause(AfterAutostartMs);
    return finish(0);
}

} // namespace shell
