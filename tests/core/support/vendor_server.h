// The vendor's file server (tools/server/vendor-server: nginx) on a free loopback port, serving
// one package at "/download/TavoPhoneAx.zip" and its redirect at "/consezip/TavoPhoneAx.zip";
// stopped when the object dies. Natively only: under Wine there is no nginx.
#pragma once

#include <string>

#include "tests/core/support/temp_dir.h"

namespace testsupport {

class VendorServer {
 public:
  explicit VendorServer(const std::string& package);
  ~VendorServer();
  VendorServer(const VendorServer&) = delete;
  VendorServer& operator=(const VendorServer&) = delete;

  bool Started() const { return started_; }
  std::uint16_t Port() const { return port_; }
  std::string Url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port_) + path; }

 private:
  int Run(const std::string& arguments) const;

  TempDir work_;
  std::uint16_t port_ = 0;
  bool started_ = false;
};

}  // namespace testsupport
