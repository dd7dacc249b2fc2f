// nginx on a free loopback port serving a private directory, started and stopped by the test
// (natively only: under Wine there is no nginx). Config: tests/nginx/nginx.conf.in.
#pragma once

#include <string>

#include "tests/core/support/temp_dir.h"

namespace testsupport {

class NginxServer {
 public:
  NginxServer();
  ~NginxServer();
  NginxServer(const NginxServer&) = delete;
  NginxServer& operator=(const NginxServer&) = delete;

  // Puts a file under the served directory (path relative to it, "/"-separated).
  bool AddFile(const std::string& relative, const std::string& bytes);
  // Starts the server; false (with the reason in Error()) when nginx could not start.
  bool Start();
  std::string Url(const std::string& path) const;
  int Port() const { return port_; }
  // The server's private directory; the served files are under its "root".
  const std::filesystem::path& Path() const { return work_.Path(); }
  const std::string& Error() const { return error_; }

 private:
  TempDir work_;
  std::string root_;
  int port_ = 0;
  bool running_ = false;
  std::string error_;
};

}  // namespace testsupport
