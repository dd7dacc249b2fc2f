#include "platform/net.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/fault.h"

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
  if (FaultHere(FaultPoint::kSend)) return -1;
  ssize_t n;
  do {
    n = send(Fd(socket), data, size, MSG_NOSIGNAL);
  } while (n < 0 && errno == EINTR);
  return n < 0 ? -1 : static_cast<int>(n);
}

int Receive(Socket socket, void* buffer, std::size_t size) {
  if (FaultHere(FaultPoint::kReceive)) return -1;
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

bool SetNoDelay(Socket socket) {
  const int yes = 1;
  return setsockopt(Fd(socket), IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes) == 0;
}

int Peek(Socket socket, void* buffer, std::size_t size) {
  if (FaultHere(FaultPoint::kReceive)) return -1;
  ssize_t n;
  do {
    n = recv(Fd(socket), buffer, size, MSG_PEEK);
  } while (n < 0 && errno == EINTR);
  return n < 0 ? -1 : static_cast<int>(n);
}

bool ResolveAll(const std::string& host, std::uint16_t port, std::vector<NetAddress>& addresses) {
  addresses.clear();
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICSERV;
  addrinfo* list = nullptr;
  if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &list) != 0) return false;
  for (addrinfo* item = list; item; item = item->ai_next) {
    if ((item->ai_family != AF_INET && item->ai_family != AF_INET6) || item->ai_addrlen > sizeof(NetAddress::bytes))
      continue;
    NetAddress address;
    std::memcpy(address.bytes, item->ai_addr, item->ai_addrlen);
    address.length = static_cast<int>(item->ai_addrlen);
    char text[NI_MAXHOST] = {};
    if (getnameinfo(item->ai_addr, item->ai_addrlen, text, sizeof text, nullptr, 0, NI_NUMERICHOST) == 0)
      address.text = text;
    addresses.push_back(address);
  }
  freeaddrinfo(list);
  return !addresses.empty();
}

Socket StartConnect(const NetAddress& address) {
  if (address.length <= 0 || FaultHere(FaultPoint::kConnect)) return kInvalidSocket;
  const auto* to = reinterpret_cast<const sockaddr*>(address.bytes);
  int fd = socket(to->sa_family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return kInvalidSocket;
  if (connect(fd, to, static_cast<socklen_t>(address.length)) != 0 && errno != EINPROGRESS) {
    close(fd);
    return kInvalidSocket;
  }
  return fd;
}

int FinishConnect(Socket socket, std::uint32_t milliseconds) {
  pollfd entry{Fd(socket), POLLOUT, 0};
  const int rc = poll(&entry, 1, static_cast<int>(milliseconds));
  if (rc < 0) return errno == EINTR ? 0 : -1;
  if (rc == 0) return 0;
  int error = 0;
  socklen_t length = sizeof error;
  if (getsockopt(Fd(socket), SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0) return -1;
  const int flags = fcntl(Fd(socket), F_GETFL);
  if (flags < 0 || fcntl(Fd(socket), F_SETFL, flags & ~O_NONBLOCK) != 0) return -1;
  (void)SetNoDelay(socket);  // a socket without it still works, only slower
  return 1;
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
