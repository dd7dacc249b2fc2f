#include "unzip/zip_names.h"

#include <string_view>

#include "unzip/zip_reader.h"

namespace {

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// One pass of the classic rules: what remains after drive prefixes, leading separators and
// everything up to a "..", as long as one of them applies.
std::wstring StripPrefixes(const std::wstring& name) {
  static constexpr std::wstring_view kParentPatterns[] = {L"\\..\\", L"\\../", L"/../", L"/..\\"};
  std::size_t start = 0;
  for (;;) {
    const std::wstring_view rest = std::wstring_view(name).substr(start);
    if (rest.size() >= 2 && rest[1] == L':') {
      start += 2;
      continue;
    }
    if (!rest.empty() && IsSeparator(rest[0])) {
      start += 1;
      continue;
    }
    bool dropped = false;
    for (std::wstring_view pattern : kParentPatterns) {
      const std::size_t at = rest.find(pattern);
      if (at != std::wstring_view::npos) {
        start += at + pattern.size();
        dropped = true;
        break;
      }
    }
    if (!dropped) return name.substr(start);
  }
}

// Removes each "." and ".." segment together with the separator after it.
std::wstring DropDotSegments(const std::wstring& name) {
  std::wstring out;
  out.reserve(name.size());
  std::size_t begin = 0;
  while (begin <= name.size()) {
    std::size_t end = begin;
    while (end < name.size() && !IsSeparator(name[end])) ++end;
    const std::wstring_view segment = std::wstring_view(name).substr(begin, end - begin);
    const bool dots = segment == L"." || segment == L"..";
    if (!dots) out.append(name, begin, end - begin);
    if (end == name.size()) break;
    if (!dots) out += name[end];
    begin = end + 1;
  }
  return out;
}

bool IsDeviceName(std::wstring_view component) {
  std::wstring_view base = component.substr(0, component.find(L'.'));
  while (!base.empty() && base.back() == L' ') base.remove_suffix(1);
  std::wstring upper;
  for (wchar_t c : base) upper += (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - L'a' + L'A') : c;
  if (upper == L"CON" || upper == L"PRN" || upper == L"AUX" || upper == L"NUL" || upper == L"CONIN$" ||
      upper == L"CONOUT$")
    return true;
  if (upper.size() == 4 && (upper.compare(0, 3, L"COM") == 0 || upper.compare(0, 3, L"LPT") == 0)) {
    const wchar_t digit = upper[3];
    return (digit >= L'1' && digit <= L'9') || digit == 0xB9 || digit == 0xB2 || digit == 0xB3;
  }
  return false;
}

// Checks each component; dot segments are allowed only when allowDots is set.
bool ComponentsAreSafe(std::wstring_view path, bool allowDots) {
  std::size_t begin = 0;
  while (begin <= path.size()) {
    std::size_t end = begin;
    while (end < path.size() && !IsSeparator(path[end])) ++end;
    const std::wstring_view component = path.substr(begin, end - begin);
    if (component == L"." || component == L"..") {
      if (!allowDots) return false;
    } else if (!component.empty()) {
      if (component.find(L':') != std::wstring_view::npos || component.find(L'\0') != std::wstring_view::npos)
        return false;
      if (component.back() == L'.' || component.back() == L' ') return false;
      if (IsDeviceName(component)) return false;
    }
    begin = end + 1;
  }
  return true;
}

}  // namespace

std::wstring SanitizeItemName(const std::wstring& name) {
  std::wstring cleaned = name;
  for (;;) {
    std::wstring next = DropDotSegments(StripPrefixes(cleaned));
    if (next == cleaned) return cleaned;
    cleaned.swap(next);
  }
}

bool IsSafeItemName(const std::wstring& name) {
  return Utf16Length(name) <= kZipMaxPath && !IsAbsoluteItemPath(name) && ComponentsAreSafe(name, false);
}

bool IsSafeAbsolutePath(const std::wstring& path) {
  std::wstring_view rest(path);
  if (rest.size() >= 2 && rest[1] == L':') rest.remove_prefix(2);
  return ComponentsAreSafe(rest, true);
}

bool IsAbsoluteItemPath(const std::wstring& path) {
  return (!path.empty() && IsSeparator(path[0])) || (path.size() >= 2 && path[1] == L':');
}

std::size_t Utf16Length(const std::wstring& text) {
  std::size_t units = text.size();
  if constexpr (sizeof(wchar_t) > 2) {
    for (wchar_t c : text) units += (static_cast<std::uint32_t>(c) >> 16) != 0 ? 1 : 0;
  }
  return units;
}
