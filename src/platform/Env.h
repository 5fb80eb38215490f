#pragma once

#include "platform/Clock.h"
#include "platform/HostIdentity.h"
#include "platform/MsgWaitObj.h"
#include "platform/NumberedFiles.h"
#include "platform/Prompts.h"
#include "platform/Random.h"
#include "platform/Settings.h"
#include "platform/Stop.h"

class QNetworkAccessManager;

namespace platform {

// Everything the program's logic asks of the outside world, in one place.
// The pointers are not owned; systemEnv() gives the real ones. Tests build
// their own Env from systemEnv() and replace what they need to control.
struct Env
{
    TickClock* tick = nullptr;
    DayClock* day = nullptr;
    Wait* wait = nullptr;
    RandomSource* random = nullptr;
    SettingsStore* settings = nullptr;
    Prompts* prompts = nullptr;
    NumberedFiles* files = nullptr;
    QNetworkAccessManager* network = nullptr;
    StopRequest* stop = nullptr; // raised: end the work under way; the wait honours it
    Host* host = nullptr;        // this host's address and name, its processes, the locale
};

// The real environment: system clocks, MsgWaitObj on the Qt event loop
// (ended early by the stop request), a random sequence seeded from the time
// and the process id (so harvesters on several hosts do not pause in
// lock-step), the INI settings store, console prompts, the process's
// numbered files and a network access manager. Needs a QCoreApplication;
// lives until exit. Callers with a display replace `prompts` with widget
// prompts.
Env systemEnv();

} // namespace platform
