// A scripted HTTP server on a free loopback port: per connection it records the request, plays
// the handler's script of bytes and pauses, and closes.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "download/http_get.h"
#include "platform/net.h"
#include "platform/text.h"
#include "tests/core/support/temp_dir.h"
#include "tests/core/support/loopback_sockets.h"

namespace testsupport {

// Bytes sent, then silence for pauseMs (or until the server stops).
struct Step {
  std::string bytes;
  std::uint32_t pauseMs = 0;
};
using Script = std::vector<Step>;

inline Step Send(std::string bytes) { return {std::move(bytes), 0}; }
inline Step Pause(std::uint32_t ms) { return {{}, ms}; }

std::uint16_t UnusedPort();  // a loopback port that nothing listens on (it was free a moment ago)

class ScriptServer {
 public:
  // Called on each connection's thread (so possibly at once) with its request and index (0, 1, ...).
  using Handler = std::function<Script(const std::string& request, int index)>;

  explicit ScriptServer(Handler handler);
  ~ScriptServer();
  ScriptServer(const ScriptServer&) = delete;
  ScriptServer& operator=(const ScriptServer&) = delete;

  std::uint16_t Port() const { return port_; }
  std::string Url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port_) + path; }
  std::vector<std::string> Requests();
  // Per request, how many bytes the first receive got: all of them when it was sent in one piece.
  std::vector<std::size_t> FirstReads();

 private:
  void AcceptLoop();
  void Serve(platform::Socket socket, int index);
  bool Wait(std::uint32_t ms);

  Handler handler_;
  platform::Socket listener_ = platform::kInvalidSocket;
  std::uint16_t port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<int> connections_{0};
  std::mutex mutex_;
  std::vector<std::string> requests_;
  std::vector<std::size_t> firstReads_;
  std::vector<std::thread> threads_;
  std::thread acceptor_;
};

// A status line with fields and the blank line; `fields` are complete lines ending in "\r\n".
std::string Header(const std::string& status, const std::string& fields = "");
// The value of "Range: bytes=A-B" in a request ("A-B"), or empty.
std::string RangeOf(const std::string& request);

// `content` as a web server serves it: 206 for a Range request (clamped), else 200.
Script ServeContent(const std::string& request, const std::string& content, const std::string& extraFields = "");

// The same answer with its body in blocks and a pause after each, so a test can act mid-transfer.
Script Slowly(const Script& served, std::size_t block = 65536, std::uint32_t pauseMs = 30);

// Deterministic test content of `size` bytes that differs with `seed`.
std::string MakeContent(std::size_t size, unsigned seed = 1);
// Its MD5 in lower-case hex, as the vendor's redirect carries it.
std::string Md5Hex(const std::string& content);

// Downloads url into the directory, retrying at once until retryBudgetMs pass without progress.
inline DownloadResult Download(const std::string& url, const std::wstring& saveLocation,
                               std::uint32_t retryBudgetMs = 20000, IDownloadCallBack* callback = nullptr,
                               DownloadOutcome* outcome = nullptr) {
  DownloadRequest request;
  request.url = platform::FromUtf8(url);
  request.saveLocation = saveLocation;
  request.callback = callback;
  request.timing.firstPauseMs = 5;
  request.timing.maxPauseMs = 20;
  request.timing.retryBudgetMs = retryBudgetMs;
  DownloadOutcome ignored;
  return DownloadWithOutcome(request, outcome ? *outcome : ignored);
}

}  // namespace testsupport
