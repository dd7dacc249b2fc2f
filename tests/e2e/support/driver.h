// The end-to-end tests' driver: the demo package and the vendor's file server (the project's own
// scripts, run from the Windows side), the real Install.exe started, its windows and message boxes
// found, read and clicked, and the fixture every installation test starts from, which removes
// whatever an installation may leave before and after each test.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <string>

#include "tests/win/support/system.h"

namespace testsupport {

// Wine starts Unix programs given to CreateProcess, so the tests run the project's own scripts
// (tools/fixtures/package/make-package, tools/fixtures/server/vendor-server) and read their files
// through drive Z:. A path below the build directory, as Unix and as Windows sees it.
std::wstring BuildUnixPath(const std::wstring& relative);
std::wstring BuildWindowsPath(const std::wstring& relative);

struct DemoPackage {
  std::wstring unixPath = BuildUnixPath(L"e2e/package/TavoPhoneAx.zip");  // for the server
  std::wstring windowsPath = BuildWindowsPath(L"e2e/package/TavoPhoneAx.zip");
  std::wstring treePath = BuildWindowsPath(L"e2e/package/tree/TavoPhoneAx");  // what it was made from
  std::uint64_t size = 0;
};

// The demo package, made once per test program (a small one, about 12 MiB of content, so the
// download takes two segments); null when the package tool failed.
const DemoPackage* TheDemoPackage();

// Signs `fileUnixPath` into `fileUnixPath`.sig as the vendor's release pipeline does: with the
// build's development key (the one Install.exe trusts), or with `otherKey` a key made once for
// the tests that Install.exe does not know.
bool SignFile(const std::wstring& fileUnixPath, bool otherKey = false);

// A copy of the demo package with one byte of an item's data changed, under build/e2e/NAME/.
std::wstring AlteredPackage(const DemoPackage& package, const std::wstring& name);

// The vendor's file server at the address Install.exe was built for (VENDOR_SERVER).
class VendorServer {
 public:
  struct Options {
    std::wstring packageUnixPath = {};  // the file served as the package
    std::wstring md5 = {};              // served in the redirect instead of the package's own
    std::wstring limitRate = {};        // per connection, nginx syntax ("1m")
    std::wstring sigUnixPath = {};      // the signature served beside it; empty: the package's own .sig,
                                        // L"none": no signature at all
  };
  ~VendorServer() { Stop(); }

  bool Start(const Options& options);
  void Stop();

  // Requests for the package file that asked for a range other than the two-byte size probe, and
  // the body bytes they were sent (not the probes': the server may push some of the body before
  // it sees the close).
  struct Segments {
    int requests = 0;
    std::uint64_t bytes = 0;
  };
  Segments SegmentsServed() const;

 private:
  const std::wstring kState = L"e2e/server";
  bool running_ = false;
};

// ---- the installer's windows ----

// A visible top-level window of the process.
HWND VisibleWindowOf(DWORD processId);
// A message box of the process other than `except`, once shown; null when none came in time.
HWND WaitForMessageBox(DWORD processId, DWORD timeoutMs = 15000, HWND except = nullptr);
// The text a message box shows: its longest static text (the icon's static has none).
std::wstring MessageBoxText(HWND box);

bool Visible(HWND window, int id);
std::wstring Text(HWND window, int id);
// The download percentage shown, or -1 while none is.
int DownloadPercent(HWND window);
bool Extracting(HWND window);
bool OnFinishPage(HWND window);

// Waits until the window's thread has finished what it is handling (a sent message is answered
// only between two handlers), paints the window now and saves it as NAME.png.
void Shoot(HWND window, const wchar_t* name);

// Install.exe, given up on a server that is down after 2 s without a byte instead of 120.
struct Installer : Process {
  explicit Installer(const std::wstring& arguments = L"") : Process(INSTALL_EXE, L"/RETRY=2 " + arguments) {}
  // Its window, once shown; null when none came.
  HWND Window() const;
  // Waits for the end; with `visible`, records whether a window of it was ever seen, by Windows
  // or on the X display. The exit code, or -1 when it did not end.
  int Result(bool* visible = nullptr, DWORD timeoutMs = 180000) const;
  // Answers the next message box with `button` after checking its text (when one is given).
  void Answer(HWND window, const std::wstring& text, int button) const;
  void ExpectExit(DWORD expected, DWORD withinMs = 10000) const;
};

int RunSilently(const std::wstring& arguments);

// The folder the tests install into unless they use the default one.
const std::wstring kBase = L"C:\\e2e-install";

class InstallFlow : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Everything an installation may leave: the package and its parts, the log, the registration,
  // the folders the tests install into.
  void Clean();

  void StartServer(VendorServer::Options options = {});

  // Clicks the caption of an option box and waits until the box shows unticked.
  static void Untick(HWND window, int caption, int box);

  // Opens the custom-install options, types `directory` into the directory field, unticks the
  // option box `box` by its caption (when given) and presses the install button; without a
  // directory only presses the button.
  static void Install(HWND window, const std::wstring& directory = L"", int caption = 0, int box = 0);

  void ExpectInstalledInto(const std::wstring& directory) const;

  const DemoPackage* package_ = nullptr;
  const std::wstring temp_ = TempDirectory();
  VendorServer server_;
  bool keepInstallation_ = false;
};

}  // namespace testsupport
