// The run's diagnostic log: one line per step (connections, requests, retries, verification,
// extraction, registration), so that support staff can tell why an installation failed.
//
// The portable core and the shell write lines with Log(); whoever runs the installation installs
// a sink that timestamps and stores them (the installer appends to %TEMP%\TavoInstall.log).
// Without a sink lines go nowhere. Callable from any thread; a sink receives whole lines and must
// keep lines of different threads from interleaving. Never log anything secret.
#pragma once

#include <string>

namespace platform {

class ILogSink {
 public:
  // One line of UTF-8 text without its line end.
  virtual void WriteLine(const std::string& line) = 0;

 protected:
  ~ILogSink() = default;
};

// Installs the sink for the whole process (nullptr: none). The caller keeps ownership and
// removes it before the sink dies, after every thread that logs has ended.
void SetLogSink(ILogSink* sink);

// printf-style formatting (UTF-8; wide text goes through ToUtf8 first), then one line to the sink.
void Log(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

}  // namespace platform
