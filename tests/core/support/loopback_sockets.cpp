#include "tests/core/support/loopback_sockets.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace testsupport {

using platform::kInvalidSocket;
using platform::Socket;

std::uint32_t Loopback() { return htonl(INADDR_LOOPBACK); }

namespace {

sockaddr_in Ipv4(std::uint32_t address, std::uint16_t port) {
  sockaddr_in at{};
  at.sin_family = AF_INET;
  at.sin_port = htons(port);
  at.sin_addr.s_addr = address;
  return at;
}

}  // namespace

#ifdef _WIN32

namespace {

SOCKET Handle(Socket socket) { return static_cast<SOCKET>(socket); }
Socket Wrap(SOCKET s) { return s == INVALID_SOCKET ? kInvalidSocket : static_cast<Socket>(s); }

}  // namespace

Socket NewTcpSocket() { return Wrap(socket(AF_INET, SOCK_STREAM, 0)); }

bool Connect(Socket socket, std::uint32_t address, std::uint16_t port) {
  const sockaddr_in to = Ipv4(address, port);
  return connect(Handle(socket), reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0;
}

Socket Listen(std::uint32_t address, std::uint16_t port, std::uint16_t& chosenPort) {
  SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
  if (s == INVALID_SOCKET) return kInvalidSocket;
  sockaddr_in at = Ipv4(address, port);
  int length = sizeof at;
  if (bind(s, reinterpret_cast<const sockaddr*>(&at), sizeof at) != 0 || listen(s, 64) != 0 ||
      getsockname(s, reinterpret_cast<sockaddr*>(&at), &length) != 0) {
    closesocket(s);
    return kInvalidSocket;
  }
  chosenPort = ntohs(at.sin_port);
  return static_cast<Socket>(s);
}

Socket Accept(Socket listener) { return Wrap(accept(Handle(listener), nullptr, nullptr)); }

void ShutdownSend(Socket socket) { shutdown(Handle(socket), SD_SEND); }

#else

namespace {

int Fd(Socket socket) { return static_cast<int>(socket); }

}  // namespace

Socket NewTcpSocket() {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  return fd < 0 ? kInvalidSocket : fd;
}

bool Connect(Socket socket, std::uint32_t address, std::uint16_t port) {
  const sockaddr_in to = Ipv4(address, port);
  int rc;
  do {
    rc = connect(Fd(socket), reinterpret_cast<const sockaddr*>(&to), sizeof to);
  } while (rc != 0 && errno == EINTR);
  return rc == 0;
}

Socket Listen(std::uint32_t address, std::uint16_t port, std::uint16_t& chosenPort) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return kInvalidSocket;
  const int yes = 1;
  // Reuse only helps a quick rebind after a test; failing to set it changes nothing else.
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in at = Ipv4(address, port);
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

#endif

}  // namespace testsupport
