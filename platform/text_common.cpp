// The parts of text.h that are the same on every platform.
#include "platform/text.h"

namespace platform {

namespace {
wchar_t AsciiUpper(wchar_t c) { return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c; }
}  // namespace

bool EqualsIgnoringCase(const std::wstring& a, const std::wstring& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
  return true;
}

bool ParseDecimal(const std::wstring& digits, std::uint64_t max, std::uint64_t& value) {
  if (digits.empty()) return false;
  std::uint64_t result = 0;
  for (wchar_t c : digits) {
    if (c < L'0' || c > L'9') return false;
    const std::uint64_t digit = static_cast<std::uint64_t>(c - L'0');
    if (result > (max - digit) / 10) return false;
    result = result * 10 + digit;
  }
  value = result;
  return true;
}

}  // namespace platform
