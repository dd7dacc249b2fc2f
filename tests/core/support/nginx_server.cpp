#include "tests/core/support/nginx_server.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/clock.h"
#include "platform/net.h"
#include "tests/core/support/script_server.h"

namespace testsupport {

NginxServer::NginxServer() : root_((work_.Path() / "root").string()) {}

bool NginxServer::AddFile(const std::string& relative, const std::string& bytes) {
  const std::filesystem::path path = std::filesystem::path(root_) / relative;
  std::error_code error;
  std::filesystem::create_directories(path.parent_path(), error);
  std::ofstream out(path, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

#ifdef _WIN32

bool NginxServer::Start() {
  error_ = "nginx is not available under Wine";
  return false;
}
NginxServer::~NginxServer() = default;

#else

}  // namespace testsupport

#include <signal.h>

namespace testsupport {
namespace {

void Replace(std::string& text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
}

}  // namespace

bool NginxServer::Start() {
  std::ifstream in(std::string(TEST_SOURCE_DIR) + "/nginx/nginx.conf.in");
  std::stringstream config;
  config << in.rdbuf();
  std::string text = config.str();

  std::uint16_t port = 0;
  platform::CloseSocket(platform::Listen(Loopback(), 0, port));  // a port free a moment ago
  port_ = port;
  const std::string prefix = work_.Path().string();
  Replace(text, "@PREFIX@", prefix);
  Replace(text, "@ROOT@", root_);
  Replace(text, "@PORT@", std::to_string(port_));
  Replace(text, "@LIMIT@", "0");
  const std::string conf = prefix + "/nginx.conf";
  std::ofstream(conf) << text;

  std::error_code error;
  std::filesystem::create_directories(root_, error);
  // The worker processes run as an unprivileged user: the served tree must be readable to all.
  for (const auto& entry : std::filesystem::recursive_directory_iterator(work_.Path(), error))
    std::filesystem::permissions(entry.path(),
                                 entry.is_directory() ? std::filesystem::perms(0755) : std::filesystem::perms(0644),
                                 error);
  std::filesystem::permissions(work_.Path(), std::filesystem::perms(0755), error);

  const std::string command = "nginx -e " + prefix + "/error.log -p " + prefix + " -c " + conf + " 2>&1";
  std::FILE* output = popen(command.c_str(), "r");
  char line[512];
  while (output && std::fgets(line, sizeof line, output)) error_ += line;
  running_ = output && pclose(output) == 0;
  return running_;
}

NginxServer::~NginxServer() {
  if (!running_) return;
  std::ifstream pidFile(work_.Path() / "nginx.pid");
  long pid = 0;
  pidFile >> pid;
  if (pid <= 0) return;
  if (kill(static_cast<pid_t>(pid), SIGTERM) != 0) return;
  // Wait (bounded) until the master has gone, so its files can be removed.
  for (int i = 0; i < 200 && kill(static_cast<pid_t>(pid), 0) == 0; ++i) platform::SleepMs(20);
}

#endif

std::string NginxServer::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

}  // namespace testsupport
