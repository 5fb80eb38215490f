#include "lookup/Pause.h"

#include "platform/MsgWaitObj.h"

#include <algorithm>

namespace lookup {

bool pauseFor(platform::Wait& wait, qint32 milliseconds, qint32 sliceMs,
              const std::function<bool()>& goOn)
{
    qint32 left = milliseconds;
    do {
        const qint32 slice = sliceMs > 0 ? std::min(left, sliceMs) : left;
        wait.MsgWaitObj(slice);
        left -= slice;
        if (!goOn())
            return false;
    } while (left > 0);
    return true;
}

} // namespace lookup
