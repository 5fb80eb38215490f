#pragma once

#include "platform/Env.h"
#include "platform/MessageSink.h"

namespace filelib {

// What the library's routines reach the outside world through: the user's
// prompts, the settings store, the numbered files and the clocks of `env`,
// and the message log `sink`. Nothing is owned.
struct Context
{
    platform::Env env;
    platform::MessageSink& sink;

    platform::Prompts& prompts() const { return *env.prompts; }
    platform::NumberedFiles& files() const { return *env.files; }
    platform::SettingsStore& settings() const { return *env.settings; }
};

} // namespace filelib
