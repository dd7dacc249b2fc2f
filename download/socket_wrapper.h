// TCP connections of one download engine. Building a CSocketWrapper starts the socket library,
// destroying it cleans up; ConnectServer makes one blocking connection with send and receive
// time-outs to one of the host's IPv4 addresses, chosen at random.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/net.h"

class CSocketWrapper {
 public:
  using ResolveFunction = bool (*)(const std::string& host, std::vector<std::uint32_t>& addresses);

  CSocketWrapper();
  CSocketWrapper(const CSocketWrapper&) = delete;
  CSocketWrapper& operator=(const CSocketWrapper&) = delete;
  virtual ~CSocketWrapper();

  // A connected socket, or kInvalidSocket. `address` receives the dotted text of the address
  // picked, before the connection is tried (so also when it then fails). Failures after the
  // argument check print one diagnostic line on standard output. The caller closes the socket.
  platform::Socket ConnectServer(const std::wstring& host, int port, std::wstring& address);

  // Time-outs applied to every socket; tests shorten them.
  std::uint32_t m_nSendTimeoutMs = 10000;
  std::uint32_t m_nReceiveTimeoutMs = 10000;
  // Name resolution; tests substitute one that yields several addresses.
  ResolveFunction m_pfnResolve = &platform::ResolveIpv4;

 private:
  bool m_bStarted = false;
};
