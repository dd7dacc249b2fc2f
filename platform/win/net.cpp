#include "platform/net.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <cstring>

#include "platform/fault.h"

namespace platform {
namespace {

SOCKET Handle(Socket socket) { return static_cast<SOCKET>(socket); }

}  // namespace

bool NetStartup() {
  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return false;
  if (data.wVersion != MAKEWORD(2, 2)) {
    WSACleanup();
    return false;
  }
  return true;
}

void NetCleanup() { WSACleanup(); }

int LastNetError() { return WSAGetLastError(); }

void CloseSocket(Socket socket) {
  if (socket != kInvalidSocket) closesocket(Handle(socket));
}

bool SetTimeouts(Socket socket, std::uint32_t sendMs, std::uint32_t receiveMs) {
  const DWORD send = sendMs;
  const DWORD receive = receiveMs;
  return setsockopt(Handle(socket), SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&send),
                    sizeof send) == 0 &&
         setsockopt(Handle(socket), SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&receive),
                    sizeof receive) == 0;
}

int Send(Socket socket, const void* data, std::size_t size) {
  if (FaultHere(FaultPoint::kSend)) return -1;
  int n = send(Handle(socket), static_cast<const char*>(data), static_cast<int>(size), 0);
  return n == SOCKET_ERROR ? -1 : n;
}

int Receive(Socket socket, void* buffer, std::size_t size) {
  if (FaultHere(FaultPoint::kReceive)) return -1;
  int n = recv(Handle(socket), static_cast<char*>(buffer), static_cast<int>(size), 0);
  return n == SOCKET_ERROR ? -1 : n;
}

int WaitReadable(Socket socket, std::uint32_t milliseconds) {
  fd_set readable;
  FD_ZERO(&readable);
  FD_SET(Handle(socket), &readable);
  timeval wait;
  wait.tv_sec = static_cast<long>(milliseconds / 1000);
  wait.tv_usec = static_cast<long>((milliseconds % 1000) * 1000);
  int rc = select(0, &readable, nullptr, nullptr, &wait);
  if (rc == SOCKET_ERROR) return -1;
  return rc > 0 ? 1 : 0;
}

bool SetNoDelay(Socket socket) {
  const BOOL yes = TRUE;
  return setsockopt(Handle(socket), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&yes), sizeof yes) == 0;
}

int Peek(Socket socket, void* buffer, std::size_t size) {
  if (FaultHere(FaultPoint::kReceive)) return -1;
  int n = recv(Handle(socket), static_cast<char*>(buffer), static_cast<int>(size), MSG_PEEK);
  return n == SOCKET_ERROR ? -1 : n;
}

bool ResolveAll(const std::string& host, std::uint16_t port, std::vector<NetAddress>& addresses) {
  addresses.clear();
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* list = nullptr;
  if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &list) != 0) return false;
  for (addrinfo* item = list; item; item = item->ai_next) {
    if ((item->ai_family != AF_INET && item->ai_family != AF_INET6) || item->ai_addrlen > sizeof(NetAddress::bytes))
      continue;
    NetAddress address;
    std::memcpy(address.bytes, item->ai_addr, item->ai_addrlen);
    address.length = static_cast<int>(item->ai_addrlen);
    char text[NI_MAXHOST] = {};
    if (getnameinfo(item->ai_addr, static_cast<socklen_t>(item->ai_addrlen), text, sizeof text, nullptr, 0,
                    NI_NUMERICHOST) == 0)
      address.text = text;
    addresses.push_back(address);
  }
  freeaddrinfo(list);
  return !addresses.empty();
}

Socket StartConnect(const NetAddress& address) {
  if (address.length <= 0 || FaultHere(FaultPoint::kConnect)) return kInvalidSocket;
  const auto* to = reinterpret_cast<const sockaddr*>(address.bytes);
  SOCKET s = socket(to->sa_family, SOCK_STREAM, 0);
  if (s == INVALID_SOCKET) return kInvalidSocket;
  u_long nonBlocking = 1;
  if (ioctlsocket(s, FIONBIO, &nonBlocking) != 0 ||
      (connect(s, to, address.length) != 0 && WSAGetLastError() != WSAEWOULDBLOCK)) {
    closesocket(s);
    return kInvalidSocket;
  }
  return static_cast<Socket>(s);
}

int FinishConnect(Socket socket, std::uint32_t milliseconds) {
  fd_set writable, failed;
  FD_ZERO(&writable);
  FD_ZERO(&failed);
  FD_SET(Handle(socket), &writable);
  FD_SET(Handle(socket), &failed);
  timeval wait;
  wait.tv_sec = static_cast<long>(milliseconds / 1000);
  wait.tv_usec = static_cast<long>((milliseconds % 1000) * 1000);
  const int rc = select(0, nullptr, &writable, &failed, &wait);
  if (rc == SOCKET_ERROR) return -1;
  if (rc == 0) return 0;
  if (FD_ISSET(Handle(socket), &failed)) return -1;
  u_long nonBlocking = 0;
  if (ioctlsocket(Handle(socket), FIONBIO, &nonBlocking) != 0) return -1;
  (void)SetNoDelay(socket);  // a socket without it still works, only slower
  return 1;
}

}  // namespace platform
