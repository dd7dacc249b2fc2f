#include "tests/core/support/fault_relay.h"

#include <algorithm>
#include <random>

#include "platform/clock.h"
#include "platform/fault.h"
#include "tests/core/support/loopback_sockets.h"

namespace testsupport {
namespace {

bool SendAll(platform::Socket socket, const char* data, std::size_t size) {
  while (size > 0) {
    const int n = platform::Send(socket, data, size);
    if (n <= 0) return false;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

// Drops the Range field and asks the server to close after its answer.
std::string Rewritten(const std::string& request, bool stripRanges) {
  std::string out;
  std::size_t at = 0;
  while (at < request.size()) {
    std::size_t end = request.find("\r\n", at);
    if (end == std::string::npos) end = request.size();
    const std::string line = request.substr(at, end - at);
    at = end + 2;
    if (line.empty()) break;
    if (stripRanges && line.compare(0, 6, "Range:") == 0) continue;
    if (line.compare(0, 11, "Connection:") == 0) continue;
    out += line + "\r\n";
  }
  return out + "Connection: close\r\n\r\n";
}

}  // namespace

FaultProxy::FaultProxy(std::uint16_t upstreamPort, FaultRules rules) : upstreamPort_(upstreamPort), rules_(rules) {
  (void)platform::NetStartup();
  listener_ = Listen(0, port_);
  if (listener_ == platform::kInvalidSocket) {
    port_ = 0;
    return;
  }
  acceptor_ = std::thread([this] { AcceptLoop(); });
}

FaultProxy::~FaultProxy() {
  stop_.store(true);
  if (acceptor_.joinable()) acceptor_.join();
  for (std::thread& thread : threads_) thread.join();
  platform::CloseSocket(listener_);
  platform::NetCleanup();
}

std::string FaultProxy::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

bool FaultProxy::Wait(std::uint32_t ms) const {
  const std::uint32_t start = platform::TickCount();
  while (!stop_.load()) {
    const std::uint32_t spent = platform::TickCount() - start;
    if (spent >= ms) return true;
    platform::SleepMs(std::min<std::uint32_t>(5, ms - spent));
  }
  return false;
}

bool FaultProxy::InOutage() const {
  return outageBegun_.load() && static_cast<std::int32_t>(platform::TickCount() - outageEnds_.load()) < 0;
}

bool FaultProxy::Cut() const { return stop_.load() || InOutage(); }

void FaultProxy::AcceptLoop() {
  platform::ExemptThreadFromFaults();
  while (!stop_.load()) {
    if (InOutage() && listener_ != platform::kInvalidSocket) {
      // The outage: nothing listens, so connections are refused rather than left waiting.
      platform::CloseSocket(listener_);
      listener_ = platform::kInvalidSocket;
    }
    if (listener_ == platform::kInvalidSocket) {
      if (InOutage()) {
        platform::SleepMs(10);
        continue;
      }
      std::uint16_t same = port_;
      listener_ = Listen(port_, same);
      if (listener_ == platform::kInvalidSocket) platform::SleepMs(10);
      continue;
    }
    if (platform::WaitReadable(listener_, 10) != 1) continue;
    platform::Socket client = Accept(listener_);
    if (client == platform::kInvalidSocket) continue;
    const int index = connections_.fetch_add(1);
    std::lock_guard<std::mutex> hold(mutex_);
    threads_.emplace_back([this, client, index] { Relay(client, index); });
  }
}

void FaultProxy::Relay(platform::Socket clientSocket, int index) {
  platform::ExemptThreadFromFaults();
  platform::UniqueSocket client(clientSocket);
  if (index < rules_.dropFirst) return;
  std::mt19937_64 random(rules_.seed * 1000003u + static_cast<unsigned>(index));

  std::string request;
  char block[16384];
  while (!Cut() && request.find("\r\n\r\n") == std::string::npos) {
    const int ready = platform::WaitReadable(client.Get(), 20);
    if (ready == 0) continue;
    const int n = ready < 0 ? -1 : platform::Receive(client.Get(), block, sizeof block);
    if (n <= 0) return;
    request.append(block, static_cast<std::size_t>(n));
  }
  if (Cut() || (rules_.latencyMs && !Wait(3 * rules_.latencyMs))) return;

  platform::UniqueSocket upstream(ConnectLoopback(upstreamPort_));
  if (!upstream.Valid()) return;
  const std::string forwarded = Rewritten(request, rules_.stripRanges);
  if (!SendAll(upstream.Get(), forwarded.data(), forwarded.size())) return;

  std::int64_t limit = -1;
  if (rules_.resetMax > 0)
    limit = std::uniform_int_distribution<std::int64_t>(rules_.resetMin, rules_.resetMax)(random);
  const bool throttled = index == rules_.throttled && rules_.throttleBytesPerSecond > 0;
  const std::uint32_t start = platform::TickCount();
  std::int64_t relayed = 0;
  bool first = true;
  while (!Cut()) {
    const int ready = platform::WaitReadable(upstream.Get(), 20);
    if (ready == 0) {
      // A client that has gone ends the relay too.
      if (platform::WaitReadable(client.Get(), 0) == 1 && platform::Receive(client.Get(), block, sizeof block) <= 0)
        return;
      continue;
    }
    std::size_t want = throttled ? std::min<std::size_t>(sizeof block, 4096) : sizeof block;
    if (limit >= 0) want = static_cast<std::size_t>(std::min<std::int64_t>(static_cast<std::int64_t>(want), limit - relayed));
    if (want == 0) return;  // reset here
    const int n = ready < 0 ? -1 : platform::Receive(upstream.Get(), block, want);
    if (n <= 0) return;
    if (first && rules_.latencyMs && !Wait(rules_.latencyMs)) return;
    first = false;
    std::size_t pass = static_cast<std::size_t>(n);
    if (rules_.cutFirstAfter >= 0 && !firstCutDone_.load()) {
      // The first answer that gets this far is cut after so many bytes (its header included).
      if (relayed + n >= rules_.cutFirstAfter && !firstCutDone_.exchange(true)) {
        pass = static_cast<std::size_t>(std::max<std::int64_t>(0, rules_.cutFirstAfter - relayed));
        (void)SendAll(client.Get(), block, pass);
        return;
      }
    }
    if (!SendAll(client.Get(), block, pass)) return;
    relayed += n;
    const std::int64_t total = answered_.fetch_add(n) + n;
    if (rules_.outageAfterBytes >= 0 && total >= rules_.outageAfterBytes && !outageBegun_.exchange(true)) {
      outageEnds_.store(platform::TickCount() + rules_.outageMs);
      return;
    }
    if (throttled) {
      // Hold the pace: the bytes so far may not have taken less than their share of time.
      const std::uint64_t due = static_cast<std::uint64_t>(relayed) * 1000u / rules_.throttleBytesPerSecond;
      const std::uint32_t spent = platform::TickCount() - start;
      if (due > spent && !Wait(static_cast<std::uint32_t>(due - spent))) return;
    }
  }
}

}  // namespace testsupport
