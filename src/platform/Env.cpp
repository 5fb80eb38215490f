#include "platform/Env.h"

#include <QNetworkAccessManager>
#include <chrono>
#include <unistd.h>

namespace platform {

namespace {
std::uint32_t processSeed()
{
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    const auto ns =
        std::uint64_t(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count());
    return std::uint32_t(ns ^ (ns >> 32) ^ (std::uint64_t(::getpid()) * 2654435761u));
}
} // namespace

Env systemEnv()
{
    static SystemTickClock tick;
    static SystemDayClock day;
    static QtEventWait events;
    static StopRequest stop;
    static CooperativeWait wait(tick, events, &stop);
    static SequenceRandom random(processSeed());
    static IniSettingsStore settings;
    static ConsolePrompts prompts;
    static NumberedFiles files;
    static QNetworkAccessManager* network = new QNetworkAccessManager();
    static SystemHost host;
    return Env{&tick, &day, &wait, &random, &settings, &prompts, &files, network, &stop, &host};
}

} // namespace platform
