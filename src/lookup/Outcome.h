#pragma once

namespace lookup {

// How a page walk, a request or a harvest command ended. A walk ends Done,
// Blocked, Unreachable, Interrupted or LeaseLost; a request adds NoRequest;
// a command ends Done or with what ended it early (Blocked, Unreachable,
// Interrupted), since an empty queue or a lost lease ends one request only.
enum class Outcome
{
    Done,        // ran to its end: every page read, the request stored and closed "Y"
    NoRequest,   // the queue had no open request of the wanted type
    Blocked,     // the site refuses searches for a while: nothing stored, "N" again
    Unreachable, // a page failed to load: nothing stored, "N" again
    Interrupted, // the stop request ended it: nothing stored, "N" again
    LeaseLost,   // another harvester took the request back: nothing stored, not touched
};

} // namespace lookup
