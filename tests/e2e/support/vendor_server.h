// The vendor's file server and the demo package, driven from the Windows side of the tests.
//
// Wine starts Unix programs given to CreateProcess directly, so the tests run the project's own
// scripts (tools/package/make-package, tools/server/vendor-server) and read their files through
// drive Z:. The server listens on the address Install.exe was built for (VENDOR_SERVER).
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace e2e {

// Runs a Unix program (absolute path first) and returns its exit code, or -1 when it could not
// be started or did not end within `timeoutMs`.
int RunUnix(const std::wstring& commandLine, DWORD timeoutMs = 180000);

// A Unix path under the build directory, and the same place seen from Windows.
std::wstring BuildUnixPath(const std::wstring& relative);
std::wstring BuildWindowsPath(const std::wstring& relative);

struct DemoPackage {
  std::wstring unixPath;     // the zip, for the server
  std::wstring windowsPath;  // the same file through drive Z:
  std::wstring treePath;     // Windows path of the staged TavoPhoneAx folder the zip was made from
  std::wstring md5;          // lower-case hexadecimal
  std::uint64_t size = 0;
};

// Builds the demo package once per test program (a small one, about 12 MiB of content, so the
// download takes two segments) and returns it; `ok` is false when the package tool failed.
const DemoPackage& TheDemoPackage(bool* ok);

// Signs `fileUnixPath` into `fileUnixPath`.sig with a P-256 key, as the vendor's release pipeline
// does: the build's development key (the one Install.exe trusts), or with `otherKey` a key made
// once for the tests that Install.exe does not know. False when openssl failed.
bool SignFile(const std::wstring& fileUnixPath, bool otherKey = false);

class VendorServer {
 public:
  struct Options {
    std::wstring packageUnixPath;  // the file served as the package
    std::wstring md5;              // served in the redirect instead of the package's own
    std::wstring limitRate;        // per connection, nginx syntax ("1m")
    std::wstring sigUnixPath;      // the signature served beside it; empty: the package's own .sig,
                                   // L"none": no signature at all
  };

  VendorServer() = default;
  ~VendorServer() { Stop(); }
  VendorServer(const VendorServer&) = delete;
  VendorServer& operator=(const VendorServer&) = delete;

  [[nodiscard]] bool Start(const Options& options);
  void Stop();

  // Body bytes sent for segment requests of the package file (not the probes: the redirect probe
  // reads only the header, but the server may have pushed some of the body before it saw the close).
  [[nodiscard]] std::uint64_t SegmentBytesSent() const;
  // Requests for the package file that asked for a range other than the two-byte size probe.
  [[nodiscard]] int SegmentRequests() const;

 private:
  bool running_ = false;
};

}  // namespace e2e
