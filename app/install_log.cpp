#include "app/install_log.h"

#include <cstdio>

#include "platform/text.h"

namespace {

const wchar_t kLogName[] = L"TavoInstall.log";

std::string Timestamp() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  char text[32];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u.%03u", now.wYear, now.wMonth, now.wDay, now.wHour,
                now.wMinute, now.wSecond, now.wMilliseconds);
  return text;
}

// The file version from the program's own version resource.
std::string ProgramVersion() {
  wchar_t path[MAX_PATH] = {};
  if (GetModuleFileNameW(nullptr, path, MAX_PATH) == 0) return "?";
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(path, &ignored);
  std::string data(size, '\0');
  VS_FIXEDFILEINFO* info = nullptr;
  UINT length = 0;
  if (size == 0 || !GetFileVersionInfoW(path, 0, size, data.data()) ||
      !VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &length) || !info)
    return "?";
  char text[48];
  std::snprintf(text, sizeof text, "%lu.%lu.%lu.%lu", HIWORD(info->dwFileVersionMS), LOWORD(info->dwFileVersionMS),
                HIWORD(info->dwFileVersionLS), LOWORD(info->dwFileVersionLS));
  return text;
}

// The real Windows version: GetVersionEx answers what the manifest claims, RtlGetVersion does not.
std::string WindowsVersion() {
  using RtlGetVersionFunction = LONG(WINAPI*)(OSVERSIONINFOW*);
  OSVERSIONINFOW version{};
  version.dwOSVersionInfoSize = sizeof(version);
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");  // always loaded; not to be freed
  auto rtlGetVersion =
      ntdll ? reinterpret_cast<RtlGetVersionFunction>(reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")))
            : nullptr;
  if (!rtlGetVersion || rtlGetVersion(&version) != 0) return "?";
  char text[48];
  std::snprintf(text, sizeof text, "%lu.%lu.%lu", version.dwMajorVersion, version.dwMinorVersion,
                version.dwBuildNumber);
  return text;
}

}  // namespace

std::wstring CInstallLog::DefaultPath() {
  wchar_t temp[MAX_PATH] = {};
  const DWORD length = GetTempPathW(MAX_PATH, temp);
  if (length == 0 || length >= MAX_PATH) return kLogName;
  return std::wstring(temp) + kLogName;
}

CInstallLog::CInstallLog(std::wstring path, const std::wstring& commandLine) : path_(std::move(path)) {
  Open();
  WriteLine("Install.exe " + ProgramVersion() + " on Windows " + WindowsVersion() +
            ", command line: " + platform::ToUtf8(commandLine));
  platform::SetLogSink(this);
}

CInstallLog::~CInstallLog() { platform::SetLogSink(nullptr); }

void CInstallLog::Open() {
  // Shared for reading and writing: a support tool may read the log while the run writes it.
  file_.reset(CreateFileW(path_.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                          FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER size{};
  size_ = file_ && GetFileSizeEx(file_.get(), &size) ? static_cast<std::uint64_t>(size.QuadPart) : 0;
}

void CInstallLog::WriteLine(const std::string& line) {
  char thread[16];
  std::snprintf(thread, sizeof thread, " [%lu] ", GetCurrentThreadId());
  std::string text = Timestamp() + thread + line;
  // One line is one line: line ends inside the text would forge lines of their own.
  for (char& c : text)
    if (c == '\r' || c == '\n') c = ' ';
  Append(text + "\r\n");
}

void CInstallLog::Append(const std::string& text) {
  std::lock_guard<std::mutex> hold(mutex_);
  if (size_ + text.size() > kMaxBytes) {
    file_.reset();
    // The older file goes; when the rename fails the log starts over in place.
    if (!MoveFileExW(path_.c_str(), (path_ + L".1").c_str(), MOVEFILE_REPLACE_EXISTING)) DeleteFileW(path_.c_str());
    Open();
  }
  if (!file_) return;
  DWORD written = 0;
  if (WriteFile(file_.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr)) size_ += written;
}
