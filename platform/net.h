// TCP sockets for the download engine and for the tests' loopback servers.
//
// Blocking IPv4 stream sockets: Winsock on Windows, BSD sockets elsewhere. A Socket is the
// platform's handle widened to intptr_t; kInvalidSocket (-1) marks "none" and doubles as the
// failure result of the calls that make one. Addresses are IPv4 in network byte order.
//
// Who owns what: a socket returned by NewTcpSocket, Listen or Accept belongs to the caller, who
// releases it with CloseSocket exactly once. Nothing here prints; failures are the documented
// results, and LastNetError() tells the error number of the calling thread's last failed call.
// Sending never raises a signal when the peer has gone (the send just fails).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

using Socket = std::intptr_t;
constexpr Socket kInvalidSocket = -1;

// Starts the socket library (Winsock 1.1 on Windows; nothing elsewhere). Every successful
// NetStartup is matched by one NetCleanup. False when the library could not be started or did
// not grant version 1.1 (it is then already cleaned up again).
bool NetStartup();
void NetCleanup();

int LastNetError();

Socket NewTcpSocket();
void CloseSocket(Socket socket);

// Send and receive time-outs in milliseconds: a send or receive that waits longer fails.
bool SetTimeouts(Socket socket, std::uint32_t sendMs, std::uint32_t receiveMs);

// All IPv4 addresses of a host name (ANSI/UTF-8 bytes), in the resolver's order. False when the
// name does not resolve; `addresses` is then empty.
bool ResolveIpv4(const std::string& host, std::vector<std::uint32_t>& addresses);

// "a.b.c.d" of an address in network byte order.
std::string DottedText(std::uint32_t address);
// The address of "a.b.c.d" in network byte order; false when the text is not one.
bool ParseDotted(const std::string& text, std::uint32_t& address);

// Blocking connect with the system's own connection time-out.
bool Connect(Socket socket, std::uint32_t address, std::uint16_t port);

// One send or receive call. Send: bytes accepted or -1. Receive: bytes stored, 0 when the peer
// closed the connection, -1 on error or time-out.
int Send(Socket socket, const void* data, std::size_t size);
int Receive(Socket socket, void* buffer, std::size_t size);

// Waits up to `milliseconds` for the socket to become readable (data, end of stream or error).
// 1 readable, 0 time-out, -1 failure of the wait itself.
int WaitReadable(Socket socket, std::uint32_t milliseconds);

// Server side (tests and tools): a listening socket on `address`:`port` (port 0 lets the
// system choose); `chosenPort` receives the port actually bound. kInvalidSocket on failure.
Socket Listen(std::uint32_t address, std::uint16_t port, std::uint16_t& chosenPort);
// The next connection of a listening socket; kInvalidSocket on failure.
Socket Accept(Socket listener);
// Ends sending on a connection (the peer reads end of stream) while receiving stays possible.
void ShutdownSend(Socket socket);

}  // namespace platform
