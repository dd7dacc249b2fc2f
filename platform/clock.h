// Milliseconds for time-outs, throttles and seeds.
#pragma once

#include <cstdint>

namespace platform {

// Milliseconds since an arbitrary start, wrapping at 2^32 like GetTickCount.
std::uint32_t TickCount();

void SleepMs(std::uint32_t milliseconds);

}  // namespace platform
