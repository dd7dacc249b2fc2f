#include "tests/core/support/script_server.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <random>

#include "platform/clock.h"
#include "platform/fault.h"
#include "platform/hash.h"
#include "platform/text.h"

namespace testsupport {

std::uint16_t UnusedPort() {
  platform::NetLibrary library;  // Winsock must be up for Listen on Windows
  std::uint16_t port = 0;
  platform::UniqueSocket(Listen(0, port)).Reset();
  return port;
}

ScriptServer::ScriptServer(Handler handler) : handler_(std::move(handler)) {
  // The server side needs the socket library too (a no-op natively).
  (void)platform::NetStartup();
  listener_ = Listen(0, port_);
  if (listener_ != platform::kInvalidSocket) acceptor_ = std::thread([this] { AcceptLoop(); });
}

ScriptServer::~ScriptServer() {
  stop_.store(true);
  if (acceptor_.joinable()) acceptor_.join();
  for (std::thread& thread : threads_) thread.join();
  platform::CloseSocket(listener_);
  platform::NetCleanup();
}

std::vector<std::string> ScriptServer::Requests() {
  std::lock_guard<std::mutex> hold(mutex_);
  return requests_;
}

std::vector<std::size_t> ScriptServer::FirstReads() {
  std::lock_guard<std::mutex> hold(mutex_);
  return firstReads_;
}

bool ScriptServer::Wait(std::uint32_t ms) {
  const std::uint32_t start = platform::TickCount();
  while (!stop_.load()) {
    const std::uint32_t spent = platform::TickCount() - start;
    if (spent >= ms) return true;
    platform::SleepMs(std::min<std::uint32_t>(10, ms - spent));
  }
  return false;
}

void ScriptServer::AcceptLoop() {
  // The server plays the network's part: faults injected into the client must not hit it.
  platform::ExemptThreadFromFaults();
  while (!stop_.load()) {
    if (platform::WaitReadable(listener_, 20) != 1) continue;
    platform::Socket socket = Accept(listener_);
    if (socket == platform::kInvalidSocket) continue;
    const int index = connections_.fetch_add(1);
    threads_.emplace_back([this, socket, index] { Serve(socket, index); });
  }
}

void ScriptServer::Serve(platform::Socket socket, int index) {
  platform::ExemptThreadFromFaults();
  // A client that stops reading must not hold the server's destructor for long.
  (void)platform::SetTimeouts(socket, 5000, 5000);
  // The client sends a header and then waits: whatever one receive gets belongs to the request.
  std::string request;
  std::size_t firstRead = 0;
  char block[4096];
  while (!stop_.load() && request.find("\r\n\r\n") == std::string::npos) {
    const int ready = platform::WaitReadable(socket, 20);
    if (ready == 0) continue;
    const int n = ready < 0 ? -1 : platform::Receive(socket, block, sizeof block);
    if (n <= 0) break;
    if (request.empty()) firstRead = static_cast<std::size_t>(n);
    request.append(block, static_cast<std::size_t>(n));
  }
  {
    std::lock_guard<std::mutex> hold(mutex_);
    requests_.push_back(request);
    firstReads_.push_back(firstRead);
  }
  for (const Step& step : handler_(request, index)) {
    std::size_t done = 0;
    while (done < step.bytes.size() && !stop_.load()) {
      const int n = platform::Send(socket, step.bytes.data() + done, step.bytes.size() - done);
      if (n <= 0) break;
      done += static_cast<std::size_t>(n);
    }
    if (done < step.bytes.size() || !Wait(step.pauseMs)) break;  // the client has gone, or the server stops
  }
  ShutdownSend(socket);
  platform::CloseSocket(socket);
}

Script Slowly(const Script& served, std::size_t block, std::uint32_t pauseMs) {
  const std::string& bytes = served.at(0).bytes;
  const std::size_t body = bytes.find("\r\n\r\n") + 4;
  Script script{Send(bytes.substr(0, body))};
  for (std::size_t at = body; at < bytes.size(); at += block) {
    script.push_back(Send(bytes.substr(at, block)));
    script.push_back(Pause(pauseMs));
  }
  return script;
}

std::string Header(const std::string& status, const std::string& fields) {
  return "HTTP/1.1 " + status + "\r\n" + fields + "\r\n";
}

std::string RangeOf(const std::string& request) {
  const std::string name = "\r\nRange: bytes=";
  const std::size_t at = request.find(name);
  if (at == std::string::npos) return {};
  const std::size_t begin = at + name.size();
  return request.substr(begin, request.find("\r\n", begin) - begin);
}

Script ServeContent(const std::string& request, const std::string& content, const std::string& extraFields) {
  const std::string range = RangeOf(request);
  if (range.empty()) {
    return {Send(Header("200 OK", "Content-Length: " + std::to_string(content.size()) + "\r\n" + extraFields) +
                 content)};
  }
  long long first = 0, last = 0;
  if (std::sscanf(range.c_str(), "%lld-%lld", &first, &last) != 2 || first >= static_cast<long long>(content.size()))
    return {Send(Header("416 Range Not Satisfiable", "Content-Length: 0\r\n" + extraFields))};
  last = std::min<long long>(last, static_cast<long long>(content.size()) - 1);
  const std::size_t length = static_cast<std::size_t>(last - first + 1);
  return {Send(Header("206 Partial Content", "Content-Range: bytes " + std::to_string(first) + "-" +
                                                 std::to_string(last) + "/" + std::to_string(content.size()) +
                                                 "\r\nContent-Length: " + std::to_string(length) + "\r\n" +
                                                 extraFields) +
               content.substr(static_cast<std::size_t>(first), length))};
}

std::string MakeContent(std::size_t size, unsigned seed) {
  std::string content(size, '\0');
  std::minstd_rand random(seed);
  for (char& c : content) c = static_cast<char>(random() >> 8);
  return content;
}

std::string Md5Hex(const std::string& content) {
  platform::Digest digest(platform::DigestKind::kMd5);
  digest.Update(content.data(), content.size());
  std::string hex = platform::ToUtf8(platform::HexUpper(digest.Finish()));
  for (char& c : hex) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return hex;
}

}  // namespace testsupport
