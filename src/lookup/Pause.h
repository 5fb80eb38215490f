#pragma once

#include <QtGlobal>
#include <functional>

namespace platform {
class Wait;
}

namespace lookup {

// A pause toward the site: waits `milliseconds` through `wait`, in slices
// of at most `sliceMs` when that is positive (whole otherwise), and asks
// `goOn` after each slice, so that a stop or a lease that needs renewing is
// seen within a slice. True once the whole pause passed; false as soon as
// `goOn` answers false.
bool pauseFor(platform::Wait& wait, qint32 milliseconds, qint32 sliceMs,
              const std::function<bool()>& goOn);

} // namespace lookup
