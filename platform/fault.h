// Test-only fault injection at the operating-system seam (the way SQLite tests its OS layer).
//
// Off unless a test arms it: ArmFault(n) makes the nth counted call from then on fail, once, as if
// the system had refused it (a connect that is refused, a send or receive that errs, a file that
// does not open, a short read or write, a rename or delete that does not happen). Calls are
// counted process-wide over every kind below, from any thread, except threads that declared
// themselves exempt (the tests' own servers run in the same process and must not be faulted).
// The platform implementations ask FaultHere() before the real call; nothing else does.
#pragma once

#include <cstdint>

namespace platform {

enum class FaultPoint { kConnect, kSend, kReceive, kOpen, kRead, kWrite, kRename, kRemove };

// Arms the seam: the nth counted call (1-based) fails. 0 disarms it and stops counting.
void ArmFault(std::uint64_t nth);
// Counted calls since the last ArmFault.
std::uint64_t FaultCallsCounted();
// True once the armed call has failed.
bool FaultFired();
// The calling thread's calls are never counted nor failed.
void ExemptThreadFromFaults();

// For the implementations behind platform/: true when this call must fail.
bool FaultHere(FaultPoint point);

}  // namespace platform
