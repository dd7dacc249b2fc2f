#include "download/http_connection.h"

#include <algorithm>
#include <chrono>
#include <vector>

#include "download/download_result.h"
#include "platform/clock.h"
#include "platform/text.h"

void StopSignal::Set() {
  {
    std::lock_guard<std::mutex> hold(mutex_);
    set_.store(true);
  }
  changed_.notify_all();
}

bool StopSignal::Wait(std::uint32_t milliseconds) {
  std::unique_lock<std::mutex> hold(mutex_);
  return changed_.wait_for(hold, std::chrono::milliseconds(milliseconds), [this] { return set_.load(); });
}

DownloadResult HttpConnection::Open(const std::wstring& host, int port, unsigned firstAddress, std::string& address) {
  socket_.Reset();
  if (host.empty() || port < 1 || port > 65535) return DL_CONNECT_FAILED;
  std::vector<platform::NetAddress> addresses;
  if (!platform::ResolveAll(platform::ToAnsi(host), static_cast<std::uint16_t>(port), addresses)) {
    address = platform::ToAnsi(host);
    return DL_CONNECT_FAILED;
  }
  for (std::size_t i = 0; i < addresses.size(); ++i) {
    const platform::NetAddress& candidate = addresses[(firstAddress + i) % addresses.size()];
    address = candidate.text;
    platform::UniqueSocket socket(platform::StartConnect(candidate));
    if (!socket.Valid()) continue;
    const std::uint32_t start = platform::TickCount();
    int state = 0;
    while (state == 0) {
      if (stop_->IsSet()) return DL_STOPPED;
      if (platform::TickCount() - start >= limits_.connectMs) break;
      state = platform::FinishConnect(socket.Get(), kSliceMs);
    }
    if (state != 1) continue;
    // The time-outs only back up the sliced waits; a socket that refuses them still works.
    (void)platform::SetTimeouts(socket.Get(), limits_.silenceMs, limits_.silenceMs);
    socket_ = std::move(socket);
    return DL_OK;
  }
  return DL_CONNECT_FAILED;
}

DownloadResult HttpConnection::Send(const std::string& request) noexcept {
  // One send normally takes all of it; a short send is continued rather than cut off.
  std::size_t done = 0;
  while (done < request.size()) {
    const int n = platform::Send(socket_.Get(), request.data() + done, request.size() - done);
    if (n <= 0) {
      socket_.Reset();
      return DL_SEND_FAILED;
    }
    done += static_cast<std::size_t>(n);
  }
  return DL_OK;
}

DownloadResult HttpConnection::WaitForData() noexcept {
  const std::uint32_t start = platform::TickCount();
  for (;;) {
    if (stop_->IsSet()) return DL_STOPPED;
    const int ready = platform::WaitReadable(socket_.Get(), kSliceMs);
    if (ready > 0) return DL_OK;
    if (ready < 0 || platform::TickCount() - start >= limits_.silenceMs) return DL_RECV_FAILED;
  }
}

DownloadResult HttpConnection::ReadHeader(std::string& header) {
  // Peek at what has arrived and take exactly the header's bytes, so the body stays in the socket
  // without one receive call per header byte.
  header.clear();
  char block[1024];
  while (header.size() < kHeaderLimit) {
    const DownloadResult waited = WaitForData();
    if (waited != DL_OK) return waited == DL_STOPPED ? DL_STOPPED : DL_HEADER_FAILED;
    const std::size_t room = std::min(sizeof block, kHeaderLimit - header.size());
    const int seen = platform::Peek(socket_.Get(), block, room);
    if (seen <= 0) return DL_HEADER_FAILED;
    const std::size_t before = header.size();
    header.append(block, static_cast<std::size_t>(seen));
    const std::size_t end = header.find("\r\n\r\n", before < 3 ? 0 : before - 3);
    const std::size_t take = end == std::string::npos ? static_cast<std::size_t>(seen) : end + 4 - before;
    header.resize(before + take);
    std::size_t taken = 0;
    while (taken < take) {
      const int n = platform::Receive(socket_.Get(), block, take - taken);
      if (n <= 0) return DL_HEADER_FAILED;
      taken += static_cast<std::size_t>(n);
    }
    if (end != std::string::npos) return DL_OK;
  }
  return DL_HEADER_FAILED;
}

int HttpConnection::Receive(char* buffer, std::size_t size, DownloadResult& failure) noexcept {
  failure = WaitForData();
  if (failure != DL_OK) return -1;
  const int n = platform::Receive(socket_.Get(), buffer, size);
  if (n < 0) failure = DL_RECV_FAILED;
  return n;
}
