#include "tests/core/support/vendor_server.h"

#include <cstdlib>

#include "tests/core/support/script_server.h"

namespace testsupport {

VendorServer::VendorServer(const std::string& package) {
#ifndef _WIN32
  if (!WriteAll(work_.File(L"TavoPhoneAx.zip"), package)) return;
  // A port found free may be taken before nginx binds it: a few tries.
  for (int attempt = 0; attempt < 3 && !started_; ++attempt) {
    port_ = UnusedPort();
    started_ = Run("start --port " + std::to_string(port_) + " --root '" + (work_.Path() / "www").string() +
                   "' --package '" + (work_.Path() / "TavoPhoneAx.zip").string() + "' --no-sig >/dev/null") == 0;
  }
#endif
}

VendorServer::~VendorServer() {
  if (started_) Run("stop");
}

int VendorServer::Run(const std::string& arguments) const {
  return std::system((std::string(TEST_SOURCE_DIR) + "/../tools/server/vendor-server " + arguments + " --state '" +
                      (work_.Path() / "state").string() + "'")
                         .c_str());
}

}  // namespace testsupport
