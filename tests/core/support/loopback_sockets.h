// The tests' own side of loopback connections: the listening end of their servers (ScriptServer,
// FaultProxy), which the installer never needs. Connecting goes through platform/net.h, as the
// installer does; the servers' threads are exempt from the fault seam. Sockets belong to the
// caller (best handed to a platform::UniqueSocket); on Windows the socket library must be started.
#pragma once

#include <cstdint>

#include "platform/net.h"

namespace testsupport {

// Listens on 127.0.0.1:`port` (0: the system chooses); `chosenPort` receives the port bound.
platform::Socket Listen(std::uint16_t port, std::uint16_t& chosenPort);
platform::Socket Accept(platform::Socket listener);
// Ends sending on a connection (the peer reads end of stream) while receiving stays possible.
void ShutdownSend(platform::Socket socket);
// A connection to 127.0.0.1:`port` made with the installer's own connect; kInvalidSocket on failure.
platform::Socket ConnectLoopback(std::uint16_t port);

}  // namespace testsupport
