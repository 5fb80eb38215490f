#include "platform/Random.h"

namespace platform {

double SequenceRandom::Rnd()
{
    // 24 bits of the generator give an exact double in [0, 1).
    return double(m_engine() >> 8) / double(1u << 24);
}

} // namespace platform
