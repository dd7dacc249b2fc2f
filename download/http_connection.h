// One HTTP/1.1 exchange on one TCP connection, with every wait cut into short slices so that a
// stop request is seen within 50 ms and a silent peer is given up after the silence limit.
//
// Opening tries every address of the host (IPv4 and IPv6, in the resolver's order, starting at
// a chosen one so that parallel workers spread over them) before it fails. A request leaves in
// one send on a TCP_NODELAY socket. The header is read up to its blank line (interim 1xx answers
// are skipped) and the body stays in the socket; Receive then hands out the body's own bytes as
// its framing says (chunked, Content-Length or up to the close) and takes no byte past its end.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>

#include "download/download_result.h"
#include "platform/net.h"

// Manual-reset stop signal shared by the probes, the workers and the ticker.
class StopSignal {
 public:
  void Set();
  bool IsSet() const { return set_.load(); }
  // True as soon as the signal is set; false after `milliseconds` without it.
  bool Wait(std::uint32_t milliseconds);

 private:
  std::atomic<bool> set_{false};
  std::mutex mutex_;
  std::condition_variable changed_;
};

struct ConnectionLimits {
  std::uint32_t connectMs = 10000;  // per address
  std::uint32_t silenceMs = 10000;  // a header or body read that gets nothing for this long fails
};

class HttpConnection {
 public:
  static constexpr std::uint32_t kSliceMs = 50;
  static constexpr std::size_t kHeaderLimit = 10239;

  HttpConnection(const StopSignal& stop, const ConnectionLimits& limits) : stop_(&stop), limits_(limits) {}

  // Connects to `host`:`port`: DL_OK, or DL_CONNECT_FAILED (no address answered) or DL_STOPPED.
  // `address` receives the text of the address connected to (or of the last one tried).
  [[nodiscard]] DownloadResult Open(const std::wstring& host, int port, unsigned firstAddress, std::string& address);
  // Sends the whole request: DL_OK or DL_SEND_FAILED.
  [[nodiscard]] DownloadResult Send(const std::string& request) noexcept;
  // The final response header up to and including its blank line, after any 1xx: DL_OK,
  // DL_HEADER_FAILED (cut, silent, longer than 10,239 bytes, unusable framing fields) or
  // DL_STOPPED.
  [[nodiscard]] DownloadResult ReadHeader(std::string& header);
  // Up to `size` body bytes: the count (> 0), 0 at the end of the body, -1 on a failure, with its
  // code (DL_RECV_FAILED or DL_STOPPED) in `failure` (DL_OK otherwise). A body cut before its
  // framing's end or with a broken chunk fails.
  [[nodiscard]] int Receive(char* buffer, std::size_t size, DownloadResult& failure) noexcept;
  bool IsOpen() const { return socket_.Valid(); }
  void Close() { socket_.Reset(); }

 private:
  enum class Framing { kClose, kLength, kChunked };
  static constexpr std::int64_t kChunkLimit = std::int64_t{1} << 40;  // a larger chunk is refused

  // Waits in slices until the socket is readable: DL_OK, or the code that ends the wait.
  [[nodiscard]] DownloadResult WaitForData() noexcept;
  // Takes bytes up to and including `end` (exactly, none after it) into `text`: DL_OK, or
  // DL_RECV_FAILED when cut, silent or longer than `limit`, or DL_STOPPED.
  [[nodiscard]] DownloadResult ReadThrough(const char* end, std::size_t limit, std::string& text);
  // Learns the body's framing from a final header; false for unusable framing fields.
  [[nodiscard]] bool SetFraming(const std::string& header, int status);
  // Before a chunk's data: the CRLF that ends the previous chunk, then the size line (and the
  // trailer after the last chunk). DL_OK with left_ set (0: the body is over) or the failure.
  [[nodiscard]] DownloadResult NextChunk() noexcept;

  const StopSignal* stop_;
  ConnectionLimits limits_;
  platform::UniqueSocket socket_;
  Framing framing_ = Framing::kClose;
  std::int64_t left_ = 0;      // body bytes (kLength) or bytes of the current chunk (kChunked) to come
  bool chunkStarted_ = false;  // a chunk's data came before: its CRLF is due
  bool ended_ = false;         // the framing's end was reached
};
