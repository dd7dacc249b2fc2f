#include "platform/log.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <vector>

namespace platform {

namespace {
std::atomic<ILogSink*> g_sink{nullptr};
}  // namespace

void SetLogSink(ILogSink* sink) { g_sink.store(sink); }

void Log(const char* format, ...) {
  ILogSink* sink = g_sink.load();
  if (!sink) return;
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  const int length = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  if (length >= 0) {
    std::vector<char> text(static_cast<std::size_t>(length) + 1);
    std::vsnprintf(text.data(), text.size(), format, again);
    sink->WriteLine(std::string(text.data(), static_cast<std::size_t>(length)));
  }
  va_end(again);
}

}  // namespace platform
