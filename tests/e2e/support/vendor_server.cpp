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
  return text;
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

int RunUnix(const std::wstring& commandLine, DWORD timeoutMs) {
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  std::wstring line = commandLine;
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    return -1;
  DWORD code = static_cast<DWORD>(-1);
  if (WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_OBJECT_0) GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return static_cast<int>(code);
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
  running_ = RunUnix(command) == 0;
  return running_;
}

void VendorServer::Stop() {
  if (!running_) return;
  RunUnix(L"/bin/bash " + std::wstring(UNIX_SOURCE_DIR) + L"/tools/server/vendor-server stop --state " +
          BuildUnixPath(kServerState));
  running_ = false;
}

std::uint64_t VendorServer::PackageBytesSent() const {
  std::uint64_t total = 0;
  ForEachPackageRequest([&](std::uint64_t bytes, const std::string&) { total += bytes; });
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
