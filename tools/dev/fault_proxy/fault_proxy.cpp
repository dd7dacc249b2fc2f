// fault_proxy UPSTREAM_PORT [--throttle INDEX BYTES_PER_SECOND] [--latency MS]: the tests'
// fault-injecting relay as a program, for bench/download. Prints "port N" once it listens, then
// relays until it is terminated.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/clock.h"
#include "tests/core/support/fault_relay.h"

namespace {

volatile std::sig_atomic_t g_stop = 0;
void OnSignal(int) { g_stop = 1; }

int Usage() {
  std::fprintf(stderr, "usage: fault_proxy UPSTREAM_PORT [--throttle INDEX BYTES_PER_SECOND] [--latency MS]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  testsupport::FaultRules rules;
  for (int i = 2; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--throttle") && i + 2 < argc) {
      rules.throttled = std::atoi(argv[++i]);
      rules.throttleBytesPerSecond = static_cast<std::uint32_t>(std::strtoul(argv[++i], nullptr, 10));
    } else if (!std::strcmp(argv[i], "--latency") && i + 1 < argc) {
      rules.latencyMs = static_cast<std::uint32_t>(std::strtoul(argv[++i], nullptr, 10));
    } else {
      return Usage();
    }
  }
  std::signal(SIGTERM, OnSignal);
  std::signal(SIGINT, OnSignal);
  testsupport::FaultProxy proxy(static_cast<std::uint16_t>(std::atoi(argv[1])), rules);
  if (!proxy.Listening()) return 1;
  std::printf("port %u\n", proxy.Port());
  std::fflush(stdout);
  while (!g_stop) platform::SleepMs(50);
  return 0;
}
