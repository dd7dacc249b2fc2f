// One HTTP/1.1 exchange on one TCP connection, with every wait cut into short slices so that a
// stop request is seen within 50 ms and a silent peer is given up after the silence limit.
//
// Opening tries every address of the host (IPv4 and IPv6, in the resolver's order, starting at
// a chosen one so that parallel workers spread over them) before it fails. A request leaves in
// one send on a TCP_NODELAY socket. The header is read up to its blank line and the body stays
// in the socket.
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
  // The response header up to and including its blank line: DL_OK, DL_HEADER_FAILED (cut,
  // silent, longer than 10,239 bytes) or DL_STOPPED.
  [[nodiscard]] DownloadResult ReadHeader(std::string& header);
  // Up to `size` body bytes: the count (> 0), 0 at the end of the stream, -1 on a failure, with
  // its code (DL_RECV_FAILED or DL_STOPPED) in `failure` (DL_OK otherwise).
  [[nodiscard]] int Receive(char* buffer, std::size_t size, DownloadResult& failure) noexcept;
  bool IsOpen() const { return socket_.Valid(); }
  void Close() { socket_.Reset(); }

 private:
  // Waits in slices until the socket is readable: DL_OK, or the code that ends the wait.
  [[nodiscard]] DownloadResult WaitForData() noexcept;

  const StopSignal* stop_;
  ConnectionLimits limits_;
  platform::UniqueSocket socket_;
};
