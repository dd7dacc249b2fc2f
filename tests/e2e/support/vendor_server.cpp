#include "tests/e2e/support/vendor_server.h"

#include <sstream>

#include "tests/e2e/support/system_state.h"

namespace e2e {
namespace {

const std::wstring kServerState = L"e2e/server";

std::wstring ServerHost() {
  const std::wstring server = VENDOR_SERVER;
  const size_t colon = server.rfind(L':');
  return colon == std::wstring::npos ? server : server.substr(0, colon);
}

std::wstring ServerPort() {
  const std::wstring server = VENDOR_SERVER;
  const size_t colon = server.rfind(L':');
  return colon == std::wstring::npos ? L"80" : server.substr(colon + 1);
}

std::string Trim(std::string text) {
  while (!text.empty() && isspace(static_cast<unsigned char>(text.back()))) text.pop_back();
  size_t first = 0;
  while (first < text.size() && isspace(static_cast<unsigned char>(text[first]))) ++first;
  return text.substr(first);
}

// Each access-log line ends: "GET /download/TavoPhoneAx.zip?md5=... HTTP/1.1" 206 123 "bytes=0-1"
template <typename Visit>
void ForEachPackageRequest(Visit visit) {
  std::istringstream log(ReadFileBytes(BuildWindowsPath(kServerState + L"/access.log")));
  std::string line;
  while (std::getline(log, line)) {
    if (line.find("\"GET /download/TavoPhoneAx.zip") == std::string::npos) continue;
    const size_t requestEnd = line.find("\" ", line.find("\"GET "));
    if (requestEnd == std::string::npos) continue;
    std::istringstream rest(line.substr(requestEnd + 2));
    int status = 0;
    std::uint64_t bytes = 0;
    std::string range;
    rest >> status >> bytes;
    std::getline(rest, range);
    visit(bytes, Trim(range));
  }
}

}  // namespace

// Wine starts the Unix program but cannot wait for it: the process handle it returns is signalled
// at once. So the command runs under /bin/sh, which writes the exit status into a file that is
// polled through drive Z:.
int RunUnix(const std::wstring& commandLine, DWORD timeoutMs) {
  static int counter = 0;
  const std::wstring name = L"e2e/unix-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++counter);
  const std::wstring statusWindows = BuildWindowsPath(name);
  CreateDirectoryW(BuildWindowsPath(L"e2e").c_str(), nullptr);
  DeleteFileW(statusWindows.c_str());
  std::wstring line = L"Z:\\bin\\sh -c \"" + commandLine + L" >/dev/null 2>&1; echo $? >" + BuildUnixPath(name) +
                      L".tmp && mv " + BuildUnixPath(name) + L".tmp " + BuildUnixPath(name) + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    return -1;
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  std::string status;
  const DWORD start = GetTickCount();
  while ((status = ReadFileBytes(statusWindows)).empty()) {
    if (GetTickCount() - start > timeoutMs) return -1;
    Sleep(50);
  }
  DeleteFileW(statusWindows.c_str());
  return atoi(status.c_str());
}

std::wstring BuildUnixPath(const std::wstring& relative) { return std::wstring(UNIX_BINARY_DIR) + L"/" + relative; }

std::wstring BuildWindowsPath(const std::wstring& relative) {
  std::wstring path = BuildUnixPath(relative);
  for (wchar_t& c : path)
    if (c == L'/') c = L'\\';
  return L"Z:" + path;
}

const DemoPackage& TheDemoPackage(bool* ok) {
  static DemoPackage package;
  static bool built = false;
  if (!built) {
    const std::wstring command = L"/usr/bin/python3 " + std::wstring(UNIX_SOURCE_DIR) +
                                 L"/tools/package/make-package --bin " + BuildUnixPath(L"bin") + L" --out " +
                                 BuildUnixPath(L"e2e/package") + L" --size 12 --files 300";
    built = RunUnix(command) == 0;
    package.unixPath = BuildUnixPath(L"e2e/package/TavoPhoneAx.zip");
    package.windowsPath = BuildWindowsPath(L"e2e/package/TavoPhoneAx.zip");
    package.treePath = BuildWindowsPath(L"e2e/package/tree/TavoPhoneAx");
    const std::string md5 = Trim(ReadFileBytes(BuildWindowsPath(L"e2e/package/TavoPhoneAx.zip.md5")));
    package.md5.assign(md5.begin(), md5.begin() + std::min<size_t>(md5.size(), 32));
    package.size = ReadFileBytes(package.windowsPath).size();
    built = built && package.md5.size() == 32 && package.size > 0;
  }
  *ok = built;
  return package;
}

bool SignFile(const std::wstring& fileUnixPath, bool otherKey) {
  std::wstring key = std::wstring(UNIX_SOURCE_DIR) + L"/build/keys/vendor-dev.key.pem";
  if (otherKey) {
    key = BuildUnixPath(L"e2e/other-vendor.key.pem");
    if (RunUnix(L"test -s " + key + L" || /usr/bin/openssl ecparam -name prime256v1 -genkey -noout -out " + key) != 0)
      return false;
  }
  return RunUnix(L"/usr/bin/openssl dgst -sha256 -sign " + key + L" -out " + fileUnixPath + L".sig " + fileUnixPath) ==
         0;
}

bool VendorServer::Start(const Options& options) {
  Stop();
  DeleteFileW(BuildWindowsPath(kServerState + L"/access.log").c_str());
  std::wstring command = L"/bin/bash " + std::wstring(UNIX_SOURCE_DIR) + L"/tools/server/vendor-server start" +
                         L" --host " + ServerHost() + L" --port " + ServerPort() + L" --root " +
                         BuildUnixPath(kServerState + L"/www") + L" --state " + BuildUnixPath(kServerState) +
                         L" --package " + options.packageUnixPath + L" --offline " +
                         BuildUnixPath(L"Install.exe");
  if (!options.md5.empty()) command += L" --md5 " + options.md5;
  if (!options.limitRate.empty()) command += L" --limit-rate " + options.limitRate;
  if (options.sigUnixPath == L"none") command += L" --no-sig";
  else if (!options.sigUnixPath.empty()) command += L" --sig " + options.sigUnixPath;
  running_ = RunUnix(command) == 0;
  return running_;
}

void VendorServer::Stop() {
  if (!running_) return;
  RunUnix(L"/bin/bash " + std::wstring(UNIX_SOURCE_DIR) + L"/tools/server/vendor-server stop --state " +
          BuildUnixPath(kServerState));
  running_ = false;
}

std::uint64_t VendorServer::SegmentBytesSent() const {
  std::uint64_t total = 0;
  ForEachPackageRequest([&](std::uint64_t bytes, const std::string& range) {
    if (range != "\"-\"" && range != "\"bytes=0-1\"") total += bytes;
  });
  return total;
}

int VendorServer::SegmentRequests() const {
  int count = 0;
  ForEachPackageRequest([&](std::uint64_t, const std::string& range) {
    if (range != "\"-\"" && range != "\"bytes=0-1\"") ++count;
  });
  return count;
}

}  // namespace e2e
