#include "platform/Env.h"

#include <QNetworkAccessManager>

namespace platform {

Env systemEnv()
{
    static SystemTickClock tick;
    static SystemDayClock day;
    static QtEventWait events;
    static CooperativeWait wait(tick, events);
    static SequenceRandom random;
    static IniSettingsStore settings;
    static ConsolePrompts prompts;
    static NumberedFiles files;
    static QNetworkAccessManager* network = new QNetworkAccessManager();
    return Env{&tick, &day, &wait, &random, &settings, &prompts, &files, network};
}

} // namespace platform
