#include "download/http_connection.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <climits>
#include <cstring>
#include <new>
#include <vector>

#include "download/download_result.h"
#include "download/engine.h"
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

DownloadResult HttpConnection::ReadThrough(const char* end, std::size_t limit, std::string& text) {
  // Peek at what has arrived and take exactly the bytes up to `end`, so what follows stays in the
  // socket without one receive call per byte.
  text.clear();
  const std::size_t endSize = std::strlen(end);
  char block[1024];
  while (text.size() < limit) {
    const DownloadResult waited = WaitForData();
    if (waited != DL_OK) return waited;
    const std::size_t room = std::min(sizeof block, limit - text.size());
    const int seen = platform::Peek(socket_.Get(), block, room);
    if (seen <= 0) return DL_RECV_FAILED;
    const std::size_t before = text.size();
    text.append(block, static_cast<std::size_t>(seen));
    const std::size_t at = text.find(end, before < endSize ? 0 : before - endSize + 1);
    const std::size_t take = at == std::string::npos ? static_cast<std::size_t>(seen) : at + endSize - before;
    text.resize(before + take);
    std::size_t taken = 0;
    while (taken < take) {
      const int n = platform::Receive(socket_.Get(), block, take - taken);
      if (n <= 0) return DL_RECV_FAILED;
      taken += static_cast<std::size_t>(n);
    }
    if (at != std::string::npos) return DL_OK;
  }
  return DL_RECV_FAILED;
}

DownloadResult HttpConnection::ReadHeader(std::string& header) {
  for (;;) {
    const DownloadResult code = ReadThrough("\r\n\r\n", kHeaderLimit, header);
    if (code != DL_OK) return code == DL_STOPPED ? DL_STOPPED : DL_HEADER_FAILED;
    // "100 Continue", "103 Early Hints": interim answers before the real one.
    const int status = StatusCode(header);
    if (status >= 100 && status < 200) continue;
    return SetFraming(header, status) ? DL_OK : DL_HEADER_FAILED;
  }
}

bool HttpConnection::SetFraming(const std::string& header, int status) {
  const std::wstring fields = platform::FromAnsi(header);
  std::wstring value;
  chunkStarted_ = ended_ = false;
  left_ = 0;
  if (status == 204 || status == 304) {
    framing_ = Framing::kLength;  // never a body
    return true;
  }
  if (CHttpGet::FindField(fields, L"Transfer-Encoding", value)) {
    // Chunked must be the last coding; any other transfer coding lasts until the close.
    const std::size_t comma = value.rfind(L',');
    std::wstring last = comma == std::wstring::npos ? value : value.substr(comma + 1);
    while (!last.empty() && (last.front() == L' ' || last.front() == L'\t')) last.erase(0, 1);
    while (!last.empty() && (last.back() == L' ' || last.back() == L'\t')) last.pop_back();
    framing_ = platform::EqualsIgnoringCase(last, L"chunked") ? Framing::kChunked : Framing::kClose;
    return true;
  }
  if (CHttpGet::FindField(fields, L"Content-Length", value)) {
    while (!value.empty() && (value.back() == L' ' || value.back() == L'\t')) value.pop_back();
    std::uint64_t length = 0;
    if (!platform::ParseDecimal(value, INT64_MAX, length)) return false;
    framing_ = Framing::kLength;
    left_ = static_cast<std::int64_t>(length);
    return true;
  }
  framing_ = Framing::kClose;
  return true;
}

DownloadResult HttpConnection::NextChunk() noexcept {
  try {
    std::string line;
    DownloadResult code;
    if (chunkStarted_ && ((code = ReadThrough("\r\n", 2, line)) != DL_OK || line != "\r\n"))
      return code == DL_STOPPED ? DL_STOPPED : DL_RECV_FAILED;
    chunkStarted_ = true;
    if ((code = ReadThrough("\r\n", 1024, line)) != DL_OK) return code;
    // Hexadecimal size, then optional blanks and extensions, which mean nothing here.
    std::int64_t size = 0;
    std::size_t i = 0;
    for (; i < line.size() && std::isxdigit(static_cast<unsigned char>(line[i])); ++i) {
      const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(line[i])));
      size = size * 16 + (c <= '9' ? c - '0' : c - 'a' + 10);
      if (size > kChunkLimit) return DL_RECV_FAILED;
    }
    if (i == 0 || (line[i] != ';' && line[i] != ' ' && line[i] != '\t' && line[i] != '\r')) return DL_RECV_FAILED;
    left_ = size;
    if (size > 0) return DL_OK;
    // The trailer: field lines up to an empty one, read and dropped.
    for (;;) {
      if ((code = ReadThrough("\r\n", kHeaderLimit, line)) != DL_OK) return code;
      if (line == "\r\n") return DL_OK;
    }
  } catch (const std::bad_alloc&) {
    return DL_NO_MEMORY;
  }
}

int HttpConnection::Receive(char* buffer, std::size_t size, DownloadResult& failure) noexcept {
  failure = DL_OK;
  if (ended_) return 0;
  if (framing_ == Framing::kChunked && left_ == 0) {
    if ((failure = NextChunk()) != DL_OK) return -1;
    if (left_ == 0) {
      ended_ = true;
      return 0;
    }
  }
  if (framing_ == Framing::kLength && left_ == 0) {
    ended_ = true;
    return 0;
  }
  if (framing_ != Framing::kClose) size = static_cast<std::size_t>(std::min<std::int64_t>(size, left_));
  failure = WaitForData();
  if (failure != DL_OK) return -1;
  const int n = platform::Receive(socket_.Get(), buffer, size);
  if (n < 0 || (n == 0 && framing_ != Framing::kClose)) {
    failure = DL_RECV_FAILED;  // an error, or the body cut before its framing's end
    return -1;
  }
  if (n == 0) ended_ = true;
  if (framing_ != Framing::kClose) left_ -= n;
  return n;
}
