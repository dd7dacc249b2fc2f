// TCP sockets for the download engine: the client side only (the installer never listens).
//
// Stream sockets: Winsock 2.2 on Windows, BSD sockets elsewhere. A Socket is the platform's
// handle widened to intptr_t; kInvalidSocket (-1) marks "none" and doubles as the failure result
// of the calls that make one. A host is resolved to all its IPv4 and IPv6 addresses (NetAddress)
// and connected to one address at a time without blocking the caller for longer than it asks.
//
// Who owns what: a socket returned by StartConnect belongs to the caller, who releases it exactly
// once, best by handing it to a UniqueSocket. Connecting, sending and receiving go through the
// fault seam (fault.h). Nothing here prints; failures are the documented results, and
// LastNetError() tells the error number of the calling thread's last failed call. Sending never
// raises a signal when the peer has gone (the send just fails).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/owned.h"

namespace platform {

using Socket = std::intptr_t;
constexpr Socket kInvalidSocket = -1;

// Starts the socket library (Winsock 2.2 on Windows, which getaddrinfo and IPv6 need; nothing
// elsewhere). Every successful NetStartup is matched by one NetCleanup. False when the library
// could not be started or did not grant version 2.2 (it is then already cleaned up again).
bool NetStartup();
void NetCleanup();

int LastNetError();

void CloseSocket(Socket socket);

// Send and receive time-outs in milliseconds: a send or receive that waits longer fails.
bool SetTimeouts(Socket socket, std::uint32_t sendMs, std::uint32_t receiveMs);

// One send or receive call. Send: bytes accepted or -1. Receive: bytes stored, 0 when the peer
// closed the connection, -1 on error or time-out.
int Send(Socket socket, const void* data, std::size_t size);
int Receive(Socket socket, void* buffer, std::size_t size);

// Waits up to `milliseconds` for the socket to become readable (data, end of stream or error).
// 1 readable, 0 time-out, -1 failure of the wait itself.
int WaitReadable(Socket socket, std::uint32_t milliseconds);

// Sets TCP_NODELAY: a request leaves at once instead of waiting for the previous segment's ACK.
bool SetNoDelay(Socket socket);

// Like Receive, but the bytes stay in the socket for the next Receive.
int Peek(Socket socket, void* buffer, std::size_t size);

// One address of a host with its port, as the system's resolver gave it (IPv4 or IPv6).
struct NetAddress {
  unsigned char bytes[28] = {};  // the sockaddr_in or sockaddr_in6
  int length = 0;
  std::string text;  // "a.b.c.d" or the IPv6 text, for logs and callbacks
};

// Every IPv4 and IPv6 address of `host` with `port`, in the resolver's order; false (and none)
// when the name does not resolve.
bool ResolveAll(const std::string& host, std::uint16_t port, std::vector<NetAddress>& addresses);

// Starts a connection without waiting for it: a socket whose connection is under way, or
// kInvalidSocket when it failed at once. Finish it with FinishConnect.
Socket StartConnect(const NetAddress& address);
// Waits up to `milliseconds` for a connection that StartConnect began: 1 connected (the socket
// now blocks again and has TCP_NODELAY), 0 still under way, -1 failed (refused, unreachable).
int FinishConnect(Socket socket, std::uint32_t milliseconds);

struct SocketTraits {
  using Handle = Socket;
  static Handle Invalid() { return kInvalidSocket; }
  static void Close(Handle h) { CloseSocket(h); }
};

// The one owner of a socket: closes it when destroyed or reset.
class UniqueSocket {
 public:
  UniqueSocket() = default;
  explicit UniqueSocket(Socket socket) : socket_(socket) {}

  Socket Get() const { return socket_.get(); }
  bool Valid() const { return socket_.valid(); }
  Socket Release() { return socket_.release(); }
  void Reset(Socket socket = kInvalidSocket) { socket_.reset(socket); }

 private:
  Owned<SocketTraits> socket_;
};

// Keeps the socket library started for its lifetime (Winsock on Windows).
class NetLibrary {
 public:
  NetLibrary() : started_(NetStartup()) {}
  NetLibrary(const NetLibrary&) = delete;
  NetLibrary& operator=(const NetLibrary&) = delete;
  ~NetLibrary() {
    if (started_) NetCleanup();
  }
  bool Started() const { return started_; }

 private:
  bool started_;
};

}  // namespace platform
