#include "platform/net.h"

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

void CloseSocket(Socket socket) {
  if (socket != kInvalidSocket) close(Fd(socket));
}

bool SetTimeouts(Socket socket, std::uint32_t sendMs, std::uint32_t receiveMs) {
  const timeval send = ToTimeval(sendMs);
  const timeval receive = ToTimeval(receiveMs);
  return setsockopt(Fd(socket), SOL_SOCKET, SO_SNDTIMEO, &send, sizeof send) == 0 &&
         setsockopt(Fd(socket), SOL_SOCKET, SO_RCVTIMEO, &receive, sizeof receive) == 0;
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

}  // namespace platform
