// The tests' own side of loopback connections: the listening end of their servers (ScriptServer,
// FaultProxy) and plain blocking IPv4 connects for probes and relays. The installer never listens
// and connects through platform/net.h alone, so these live beside the fault relay, compiled only
// into the tests and fault_proxy.
//
// Sockets are platform::Socket values that the caller owns (best handed to a
// platform::UniqueSocket); addresses are IPv4 in network byte order. On Windows the socket library
// must be started first (platform::NetLibrary). Nothing here goes through the fault seam.
#pragma once

#include <cstdint>

#include "platform/net.h"

namespace testsupport {

std::uint32_t Loopback();  // 127.0.0.1 in network byte order

// A TCP socket for Connect; kInvalidSocket on failure.
platform::Socket NewTcpSocket();
// Blocking connect with the system's own connection time-out.
bool Connect(platform::Socket socket, std::uint32_t address, std::uint16_t port);

// A listening socket on `address`:`port` (port 0 lets the system choose); `chosenPort` receives
// the port actually bound. kInvalidSocket on failure.
platform::Socket Listen(std::uint32_t address, std::uint16_t port, std::uint16_t& chosenPort);
// The next connection of a listening socket; kInvalidSocket on failure.
platform::Socket Accept(platform::Socket listener);
// Ends sending on a connection (the peer reads end of stream) while receiving stays possible.
void ShutdownSend(platform::Socket socket);

}  // namespace testsupport
