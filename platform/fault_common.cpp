#include "platform/fault.h"

#include <atomic>

namespace platform {
namespace {

std::atomic<std::uint64_t> g_armed{0};  // the failing call's number, 0 when off
std::atomic<std::uint64_t> g_counted{0};
std::atomic<bool> g_fired{false};
thread_local bool t_exempt = false;

}  // namespace

void ArmFault(std::uint64_t nth) {
  g_armed.store(0);
  g_counted.store(0);
  g_fired.store(false);
  g_armed.store(nth);
}

std::uint64_t FaultCallsCounted() { return g_counted.load(); }
bool FaultFired() { return g_fired.load(); }
void ExemptThreadFromFaults() { t_exempt = true; }

bool FaultHere(FaultPoint) {
  // One relaxed load when nobody armed the seam: the product pays nothing else.
  const std::uint64_t armed = g_armed.load(std::memory_order_relaxed);
  if (armed == 0 || t_exempt) return false;
  if (g_counted.fetch_add(1) + 1 != armed) return false;
  g_fired.store(true);
  return true;
}

}  // namespace platform
