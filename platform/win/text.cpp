#include "platform/text.h"

#include <windows.h>

namespace platform {
namespace {

std::string Narrow(UINT codePage, const std::wstring& text) {
  if (text.empty()) return {};
  int size = WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                 nullptr, nullptr);
  std::string out(static_cast<size_t>(size > 0 ? size : 0), '\0');
  if (size > 0)
    WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                        nullptr, nullptr);
  return out;
}

std::wstring Widen(UINT codePage, const std::string& bytes) {
  if (bytes.empty()) return {};
  int size = MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(size > 0 ? size : 0), L'\0');
  if (size > 0)
    MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), out.data(), size);
  return out;
}

}  // namespace

std::string ToAnsi(const std::wstring& text) { return Narrow(CP_THREAD_ACP, text); }
std::wstring FromAnsi(const std::string& bytes) { return Widen(CP_THREAD_ACP, bytes); }
std::string ToUtf8(const std::wstring& text) { return Narrow(CP_UTF8, text); }
std::wstring FromUtf8(const std::string& bytes) { return Widen(CP_UTF8, bytes); }

}  // namespace platform
