#include "tests/core/support/loopback_sockets.h"

#include <vector>

#ifdef _WIN32
#include <winsock2.h>
using Native = SOCKET;
using socklen_t = int;
#define SHUT_WR SD_SEND
#define SOCK_CLOEXEC 0
#else
#include <netinet/in.h>
#include <sys/socket.h>

#include <cerrno>
using Native = int;
#endif

namespace testsupport {

using platform::kInvalidSocket;
using platform::Socket;

// INVALID_SOCKET and -1 both widen to kInvalidSocket.
Socket Listen(std::uint16_t port, std::uint16_t& chosenPort) {
  platform::UniqueSocket s(static_cast<Socket>(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)));
  if (!s.Valid()) return kInvalidSocket;
  const Native fd = static_cast<Native>(s.Get());
#ifndef _WIN32
  const int yes = 1;
  // Reuse only helps a quick rebind after a test; failing to set it changes nothing else.
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
#endif
  sockaddr_in at{};
  at.sin_family = AF_INET;
  at.sin_port = htons(port);
  at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof at;
  if (bind(fd, reinterpret_cast<const sockaddr*>(&at), sizeof at) != 0 || listen(fd, 64) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&at), &length) != 0)
    return kInvalidSocket;
  chosenPort = ntohs(at.sin_port);
  return s.Release();
}

Socket Accept(Socket listener) {
#ifdef _WIN32
  return static_cast<Socket>(accept(static_cast<Native>(listener), nullptr, nullptr));
#else
  int fd;
  do fd = accept4(static_cast<Native>(listener), nullptr, nullptr, SOCK_CLOEXEC);
  while (fd < 0 && errno == EINTR);
  return fd;
#endif
}

void ShutdownSend(Socket socket) { shutdown(static_cast<Native>(socket), SHUT_WR); }

Socket ConnectLoopback(std::uint16_t port) {
  std::vector<platform::NetAddress> addresses;
  if (!platform::ResolveAll("127.0.0.1", port, addresses) || addresses.empty()) return kInvalidSocket;
  platform::UniqueSocket s(platform::StartConnect(addresses.front()));
  if (!s.Valid() || platform::FinishConnect(s.Get(), 10000) != 1) return kInvalidSocket;
  return s.Release();
}

}  // namespace testsupport
