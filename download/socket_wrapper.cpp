#include "download/socket_wrapper.h"

#include <cstdio>
#include <cstdlib>

#include "platform/clock.h"
#include "platform/text.h"

CSocketWrapper::CSocketWrapper() : m_bStarted(platform::NetStartup()) {}

CSocketWrapper::~CSocketWrapper() {
  if (m_bStarted) platform::NetCleanup();
}

platform::Socket CSocketWrapper::ConnectServer(const std::wstring& host, int port, std::wstring& address) {
  if (host.empty() || port < 1 || port > 65535) return platform::kInvalidSocket;

  platform::Socket socket = platform::NewTcpSocket();
  if (socket == platform::kInvalidSocket) {
    std::printf("Allocating socket failed. Error: %d\n", platform::LastNetError());
    return platform::kInvalidSocket;
  }
  // Without the time-outs a silent server would hold a worker for ever; a socket that refuses
  // them still works, so the result is not checked.
  (void)platform::SetTimeouts(socket, m_nSendTimeoutMs, m_nReceiveTimeoutMs);

  std::vector<std::uint32_t> addresses;
  if (!m_pfnResolve(platform::ToAnsi(host), addresses) || addresses.empty()) {
    std::printf("Unable to get the host name. Error: %d\n", platform::LastNetError());
    platform::CloseSocket(socket);
    return platform::kInvalidSocket;
  }

  // Each call seeds its own pick, so parallel workers spread over the host's addresses unless
  // they start within the same millisecond.
  std::srand(platform::TickCount());
  const std::uint32_t chosen = addresses[static_cast<std::size_t>(std::rand()) % addresses.size()];
  address = platform::FromAnsi(platform::DottedText(chosen));

  if (!platform::Connect(socket, chosen, static_cast<std::uint16_t>(port))) {
    std::printf("Connecting to the server failed. Error: %d\n", platform::LastNetError());
    platform::CloseSocket(socket);
    return platform::kInvalidSocket;
  }
  return socket;
}
