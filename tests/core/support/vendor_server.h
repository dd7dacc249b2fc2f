// tools/fixtures/server/vendor-server (nginx) serving one package on a free loopback port,
// natively only.
#pragma once

#include <cstdlib>
#include <string>

#include "tests/core/support/script_server.h"

namespace testsupport {

class VendorServer {
 public:
  explicit VendorServer(const std::string& package) {
    if (!WriteAll(work_.File(L"TavoPhoneAx.zip"), package)) return;
    // A port found free may be taken before nginx binds it: a few tries.
    for (int attempt = 0; attempt < 3 && !started_; ++attempt) {
      port_ = UnusedPort();
      started_ = Run("start --port " + std::to_string(port_) + " --root '" + (work_.Path() / "www").string() +
                     "' --package '" + (work_.Path() / "TavoPhoneAx.zip").string() + "' --no-sig >/dev/null") == 0;
    }
  }
  ~VendorServer() { if (started_) Run("stop"); }
  VendorServer(const VendorServer&) = delete;
  VendorServer& operator=(const VendorServer&) = delete;

  std::uint16_t Port() const { return started_ ? port_ : 0; }  // 0: not started
  std::string Url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port_) + path; }

 private:
  int Run(const std::string& arguments) const {
    return std::system((std::string(TEST_SOURCE_DIR) + "/../tools/fixtures/server/vendor-server " + arguments +
                        " --state '" + (work_.Path() / "state").string() + "'").c_str());
  }

  TempDir work_;
  std::uint16_t port_ = 0;
  bool started_ = false;
};

}  // namespace testsupport
