#include "platform/net.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace platform {
namespace {

int Fd(Socket socket) { return static_cast<int>(socket); }

timeval ToTimeval(std::uint32_t milliseconds) {
  timeval value{};
  value.tv_sec = static_cast<time_t>(milliseconds / 1000);
  value.tv_usec = static_cast<suseconds_t>((milliseconds % 1000) * 1000);
  return value;
}

}  // namespace

bool NetStartup() { return true; }
void NetCleanup() {}

int LastNetError() { return errno; }

Socket NewTcpSocket() {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  return fd < 0 ? kInvalidSocket : fd;
}

void CloseSocket(Socket socket) {
  if (socket != kInvalidSocket) close(Fd(socket));
}

bool SetTimeouts(Socket socket, std::uint32_t sendMs, std::uint32_t receiveMs) {
  const timeval send = ToTimeval(sendMs);
  const timeval receive = ToTimeval(receiveMs);
  return setsockopt(Fd(socket), SOL_SOCKET, SO_SNDTIMEO, &send, sizeof send) == 0 &&
         setsockopt(Fd(socket), SOL_SOCKET, SO_RCVTIMEO, &receive, sizeof receive) == 0;
}

bool ResolveIpv4(const std::string& host, std::vector<std::uint32_t>& addresses) {
  addresses.clear();
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* list = nullptr;
  if (getaddrinfo(host.c_str(), nullptr, &hints, &list) != 0) {
    errno = EHOSTUNREACH;
    return false;
  }
  for (addrinfo* item = list; item; item = item->ai_next) {
    if (item->ai_family != AF_INET) continue;
    const auto* in = reinterpret_cast<const sockaddr_in*>(item->ai_addr);
    addresses.push_back(in->sin_addr.s_addr);
  }
  freeaddrinfo(list);
  return !addresses.empty();
}

std::string DottedText(std::uint32_t address) {
  in_addr in{};
  in.s_addr = address;
  char text[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, &in, text, sizeof text);
  return text;
}

bool ParseDotted(const std::string& text, std::uint32_t& address) {
  in_addr in{};
  if (inet_pton(AF_INET, text.c_str(), &in) != 1) return false;
  address = in.s_addr;
  return true;
}

bool Connect(Socket socket, std::uint32_t address, std::uint16_t port) {
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(port);
  to.sin_addr.s_addr = address;
  int rc;
  do {
    rc = connect(Fd(socket), reinterpret_cast<const sockaddr*>(&to), sizeof to);
  } while (rc != 0 && errno == EINTR);
  return rc == 0;
}

int Send(Socket socket, const void* data, std::size_t size) {
  ssize_t n;
  do {
    n = send(Fd(socket), data, size, MSG_NOSIGNAL);
  } while (n < 0 && errno == EINTR);
  return n < 0 ? -1 : static_cast<int>(n);
}

int Receive(Socket socket, void* buffer, std::size_t size) {
  ssize_t n;
  do {
    n = recv(Fd(socket), buffer, size, 0);
  } while (n < 0 && errno == EINTR);
  return n < 0 ? -1 : static_cast<int>(n);
}

int WaitReadable(Socket socket, std::uint32_t milliseconds) {
  pollfd entry{Fd(socket), POLLIN, 0};
  int rc = poll(&entry, 1, static_cast<int>(milliseconds));
  if (rc < 0) return errno == EINTR ? 0 : -1;
  return rc > 0 ? 1 : 0;
}

Socket Listen(std::uint32_t address, std::uint16_t port, std::uint16_t& chosenPort) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return kInvalidSocket;
  const int yes = 1;
  // Reuse only helps a quick rebind after a test; failing to set it changes nothing else.
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in at{};
  at.sin_family = AF_INET;
  at.sin_port = htons(port);
  at.sin_addr.s_addr = address;
  socklen_t length = sizeof at;
  if (bind(fd, reinterpret_cast<const sockaddr*>(&at), sizeof at) != 0 || listen(fd, 64) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&at), &length) != 0) {
    close(fd);
    return kInvalidSocket;
  }
  chosenPort = ntohs(at.sin_port);
  return fd;
}

Socket Accept(Socket listener) {
  int fd;
  do {
    fd = accept4(Fd(listener), nullptr, nullptr, SOCK_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  return fd < 0 ? kInvalidSocket : fd;
}

void ShutdownSend(Socket socket) { shutdown(Fd(socket), SHUT_WR); }

}  // namespace platform
