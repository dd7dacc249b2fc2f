#include <gtest/gtest.h>

#include <set>

#include "download/socket_wrapper.h"
#include "platform/clock.h"
#include "tests/core/support/script_server.h"

namespace {

using testsupport::Loopback;
using testsupport::Script;
using testsupport::ScriptServer;

TEST(ConnectServer, RefusesEmptyHostsAndPortsOutOfRangeSilently) {
  CSocketWrapper sockets;
  std::wstring address = L"unchanged";
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(sockets.ConnectServer(L"127.0.0.1", 0, address), platform::kInvalidSocket);
  EXPECT_EQ(sockets.ConnectServer(L"127.0.0.1", 65536, address), platform::kInvalidSocket);
  EXPECT_EQ(sockets.ConnectServer(L"127.0.0.1", -80, address), platform::kInvalidSocket);
  EXPECT_EQ(sockets.ConnectServer(L"", 80, address), platform::kInvalidSocket);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(address, L"unchanged");
}

TEST(ConnectServer, ReportsAHostThatDoesNotResolve) {
  CSocketWrapper sockets;
  std::wstring address;
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(sockets.ConnectServer(L"no-such-host.invalid", 80, address), platform::kInvalidSocket);
  EXPECT_EQ(::testing::internal::GetCapturedStdout().rfind("Unable to get the host name. Error: ", 0), 0u);
}

TEST(ConnectServer, ReportsARefusedConnectionWithTheAddressTried) {
  CSocketWrapper sockets;
  std::uint16_t port = 0;
  platform::CloseSocket(platform::Listen(Loopback(), 0, port));  // a port nobody listens on
  std::wstring address;
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(sockets.ConnectServer(L"127.0.0.1", port, address), platform::kInvalidSocket);
  EXPECT_EQ(::testing::internal::GetCapturedStdout().rfind("Connecting to the server failed. Error: ", 0), 0u);
  EXPECT_EQ(address, L"127.0.0.1");
}

bool ThreeLoopbackAddresses(const std::string&, std::vector<std::uint32_t>& addresses) {
  addresses = {Loopback(1), Loopback(2), Loopback(3)};
  return true;
}

TEST(ConnectServer, SpreadsOverAllAddressesAndNamesTheOneUsed) {
  // Three servers on one port, one per loopback address; each answers with its own number.
  auto answer = [](const char* which) {
    return [which](const std::string&, int) { return Script{testsupport::Send(which)}; };
  };
  ScriptServer first(answer("1"), Loopback(1));
  ASSERT_TRUE(first.Listening());
  ScriptServer second(answer("2"), Loopback(2), first.Port());
  ScriptServer third(answer("3"), Loopback(3), first.Port());
  ASSERT_TRUE(second.Listening() && third.Listening()) << "port " << first.Port() << " taken on 127.0.0.2/3";

  CSocketWrapper sockets;
  sockets.m_pfnResolve = &ThreeLoopbackAddresses;
  std::set<std::wstring> seen;
  for (int i = 0; i < 300 && seen.size() < 3; ++i) {
    std::wstring address;
    platform::Socket socket = sockets.ConnectServer(L"three.test", first.Port(), address);
    ASSERT_NE(socket, platform::kInvalidSocket);
    ASSERT_TRUE(platform::Send(socket, "GET / HTTP/1.1\r\n\r\n", 18) == 18);
    char which = 0;
    ASSERT_EQ(platform::Receive(socket, &which, 1), 1);
    platform::CloseSocket(socket);
    EXPECT_EQ(address, L"127.0.0." + std::wstring(1, static_cast<wchar_t>(which)));
    seen.insert(address);
    platform::SleepMs(2);  // a new tick, so a new seed
  }
  EXPECT_EQ(seen.size(), 3u);
}

TEST(ConnectServer, ASilentServerMakesReceiveFailAfterTheTimeOut) {
  ScriptServer server([](const std::string&, int) { return Script{testsupport::Stall(5000)}; });
  CSocketWrapper sockets;
  sockets.m_nReceiveTimeoutMs = 200;
  std::wstring address;
  platform::Socket socket = sockets.ConnectServer(L"127.0.0.1", server.Port(), address);
  ASSERT_NE(socket, platform::kInvalidSocket);
  ASSERT_EQ(platform::Send(socket, "GET / HTTP/1.1\r\n\r\n", 18), 18);
  char byte;
  EXPECT_EQ(platform::Receive(socket, &byte, 1), -1);
  platform::CloseSocket(socket);
}

}  // namespace
