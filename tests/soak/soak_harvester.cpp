// The harvester exactly as `straatwijs` runs it, except that the pauses
// toward the site are skipped: page polls still wait, every longer pause
// only lets pending events run. For soak runs against the local site only;
// the program itself never shortens a pause.
#include "app/Startup.h"
#include "lookup/PageWalk.h"
#include "platform/Env.h"

#include <QCoreApplication>

namespace {

class SkippingWait : public platform::Wait
{
public:
    explicit SkippingWait(const platform::StopRequest* stop) : m_stop(stop) {}
    qint32 MsgWaitObj(qint32 Milliseconds) override
    {
        const qint32 ms = Milliseconds <= lookup::PagePollMs ? Milliseconds : 0;
        return platform::MsgWaitObj(ms, m_clock, m_events, 0, m_stop);
    }

private:
    const platform::StopRequest* m_stop;
    platform::SystemTickClock m_clock;
    platform::QtEventWait m_events;
};

} // namespace

int main(int argc, char** argv)
{
    const auto parsed = app::parseCommandLine(app::arguments(argc, argv));
    if (const auto* exit = std::get_if<app::Exit>(&parsed))
        return app::finish(*exit);
    return app::runProgram(argc, argv, std::get<app::Options>(parsed), [](platform::Env& env) {
        static SkippingWait wait(env.stop);
        env.wait = &wait;
    });
}
