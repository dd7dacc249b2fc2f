// The engine's lock: one recursive in-process lock, entered and left by its user around the
// guarded statements (std::lock_guard on m_cs). The engine never holds two of them at once.
#pragma once

#include <mutex>

class CSyncMutex {
 public:
  CSyncMutex() = default;
  CSyncMutex(const CSyncMutex&) = delete;
  CSyncMutex& operator=(const CSyncMutex&) = delete;
  virtual ~CSyncMutex() = default;

  std::recursive_mutex m_cs;
};
