#include "shell/Harvest.h"

#include "platform/Convert.h"

#include <QLocale>
#include <cmath>

namespace shell {

namespace {
const QString Top = QStringLiteral("Top");
const QString ThreeQuarters = QStringLiteral("75%");
} // namespace

// Marks a batch as running for its lifetime, also when it ends by a failure.
class Harvest::Busy
{
public:
    explicit Busy(Harvest& h) : m_h(h)
    {
        m_h.m_running = true;
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
                 std::function<LookupForm&()> frmPostcode, QObject* parent)
    : QObject(parent), m_env(env), m_log(log), m_frmPostcode(std::move(frmPostcode))
{
}

QString Harvest::stamp() const
{
    const QDateTime now = m_env.day->Now();
    const QLocale locale = QLocale::system();
    QString timeFormat = locale.timeFormat(QLocale::LongFormat);
    timeFormat.remove(QLatin1Char('t'));
    return locale.toString(now.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
           locale.toString(now.time(), timeFormat.trimmed());
}

void Harvest::mnuDoBig_Click()
{
    if (m_running)
        return;
    Busy busy(*this);
    m_log.AddMelding(QStringLiteral("DoBig"));
    LookupForm& form = m_frmPostcode();
    form.Reposition(ThreeQuarters, Top, false);
    emit requestStarted(1, 1);
    form.DoQuery(QString(), QStringLiteral("B"));
    m_env.wait->MsgWaitObj(3000);
}

void Harvest::mnuDoSmall_Click()
{
    askAndRun(QStringLiteral("S"));
}

void Harvest::mnuDoMinimal_Click()
{
    askAndRun(QStringLiteral("M"));
}

void Harvest::askAndRun(const QString& Typenaam)
{
    if (m_running)
        return;
    const std::optional<QString> answer =
        m_env.prompts->InputBox(QStringLiteral("Aantal"), QString(), QStringLiteral("32"));
    DoSmall(answer.value_or(QString()), Typenaam);
}

void Harvest::DoSmall(const QVariant& Aantal, const QString& Typenaam)
{
    if (m_running)
        return;
    Busy busy(*this);
    m_log.AddMelding(stamp() + QStringLiteral(" DoSmall started."));
    LookupForm& form = m_frmPostcode();
    form.Reposition(ThreeQuarters, Top, false);
    const double n = platform::Val(Aantal.toString());
    const int count = n > 0 ? int(std::min(std::floor(n), 1e9)) : 0;
    for (int i = 1; i <= count; ++i) {
        emit requestStarted(i, count);
        form.DoQuery(QString(), Typenaam);
        const qint32 pause = qint32(std::floor(m_env.random->Rnd() * 10000 + 2000));
        m_env.wait->MsgWaitObj(pause);
        if (!form.ValidURL())
            break;
    }
    m_log.AddMelding(stamp() + QStringLiteral(" DoSmall ended."));
}

bool Harvest::Timer1_Timer(bool autostart)
{
    if (!autostart)
        return false;
    if (m_running)
        return false; // the autostart batch is already under way
    DoSmall(32, QStringLiteral("S"));
    m_env.wait->MsgWaitObj(10000);
    return true;
}

} // namespace shell
