// A fault-injecting TCP relay on a free loopback port in front of a real HTTP server (nginx), for
// the tests and the download benchmark: it plays the bad network between the client and the
// server. Each client connection gets its own upstream connection; the request is passed on with
// "Connection: close", the answer is relayed under the rules below. Runs threads of its own (exempt
// from the platform fault seam) and stops them when destroyed.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/net.h"

namespace testsupport {

struct FaultRules {
  int dropFirst = 0;                 // the first N connections are accepted and closed at once
  std::int64_t outageAfterBytes = -1;  // once this many answer bytes went through: an outage
  std::uint32_t outageMs = 0;          // ... that cuts every connection and refuses new ones this long
  std::int64_t resetMin = 0;         // every connection is cut after a random number of answer
  std::int64_t resetMax = 0;         //   bytes in [resetMin, resetMax] (0: never)
  bool stripRanges = false;          // the server never sees a Range line
  std::int64_t cutFirstAfter = -1;   // the first answer with a body is cut after this many bytes
  int throttled = -1;                // this connection (0-based, in order of acceptance) ...
  std::uint32_t throttleBytesPerSecond = 0;  // ... is limited to this rate
  std::uint32_t latencyMs = 0;       // one way: requests reach the server 3x later (connect, then
                                     // request), answers start 1x later
  unsigned seed = 1;
};

class FaultProxy {
 public:
  FaultProxy(std::uint16_t upstreamPort, FaultRules rules);
  ~FaultProxy();
  FaultProxy(const FaultProxy&) = delete;
  FaultProxy& operator=(const FaultProxy&) = delete;

  bool Listening() const { return port_ != 0; }
  std::uint16_t Port() const { return port_; }
  std::string Url(const std::string& path) const;
  int Connections() const { return connections_.load(); }
  // True once the outage has begun.
  bool OutageBegun() const { return outageBegun_.load(); }

 private:
  void AcceptLoop();
  void Relay(platform::Socket client, int index);
  bool InOutage() const;
  bool Cut() const;
  bool Wait(std::uint32_t ms) const;

  std::uint16_t upstreamPort_;
  FaultRules rules_;
  std::uint16_t port_ = 0;
  platform::Socket listener_ = platform::kInvalidSocket;
  std::atomic<bool> stop_{false};
  std::atomic<int> connections_{0};
  std::atomic<std::int64_t> answered_{0};
  std::atomic<bool> outageBegun_{false};
  std::atomic<std::uint32_t> outageEnds_{0};
  std::atomic<bool> firstCutDone_{false};
  std::mutex mutex_;
  std::vector<std::thread> threads_;
  std::thread acceptor_;
};

}  // namespace testsupport
