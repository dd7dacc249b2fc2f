// URL splitting and the header fields the engine acts on. No connection is made here.
#include <algorithm>
#include <climits>
#include <cstdint>

#include "download/http_get.h"
#include "platform/text.h"

namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n' || c == L'\v' || c == L'\f'; }

wchar_t LowerAscii(wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

// Leading decimal digits as a port; no digits give 0, and a value too large for any port stays
// too large instead of wrapping into a valid one.
int LeadingPort(const std::wstring& text) {
  long long value = 0;
  for (wchar_t c : text) {
    if (c < L'0' || c > L'9') break;
    value = value * 10 + (c - L'0');
    if (value > INT_MAX) return INT_MAX;
  }
  return static_cast<int>(value);
}

// A size is a decimal from 1 to 2^63 - 1 after optional blanks and sign; reading stops at the
// first non-digit. Anything else (no digits, negative, too large) is no size.
std::int64_t ParseSizeValue(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  std::int64_t value = 0;
  bool digits = false;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    digits = true;
    if (value > (INT64_MAX - (text[i] - '0')) / 10) return 0;
    value = value * 10 + (text[i] - '0');
  }
  if (!digits || negative) return 0;
  return value;
}

}  // namespace

void CHttpGet::ParseUrl(const std::wstring& url, std::wstring& host, std::wstring& path, std::wstring& fileName,
                        int& port) {
  std::size_t first = 0;
  std::size_t last = url.size();
  while (first < last && IsBlank(url[first])) ++first;
  while (last > first && IsBlank(url[last - 1])) --last;
  std::wstring text = url.substr(first, last - first);

  const std::size_t scheme = text.find(L"http://");
  if (scheme != std::wstring::npos) text.erase(0, scheme + 7);
  text.erase(std::min(text.find(L'#'), text.size()));  // a fragment never leaves the client

  const std::size_t slash = text.find(L'/');
  const std::wstring hostPort = slash == std::wstring::npos ? std::wstring() : text.substr(0, slash);
  // An IPv6 literal keeps its brackets; its colons are not the port's.
  const std::size_t colon = hostPort.rfind(L':');
  const std::size_t bracket = hostPort.rfind(L']');
  if (colon != std::wstring::npos && (bracket == std::wstring::npos || colon > bracket)) {
    host = hostPort.substr(0, colon);
    port = LeadingPort(hostPort.substr(colon + 1));
  } else {
    host = hostPort;
    port = 80;
  }

  if (slash == std::wstring::npos) {
    path.clear();
    fileName.clear();
    return;
  }
  path = text.substr(slash);
  fileName = text.substr(text.rfind(L'/') + 1);
  const std::size_t query = fileName.rfind(L'?');
  if (query != std::wstring::npos) fileName.erase(query);
}

std::wstring Md5OfUrl(const std::wstring& url) {
  const std::wstring address = url.substr(0, url.find(L'#'));  // a fragment is no part of it
  const std::size_t at = address.find(L"md5=");
  return at == std::wstring::npos ? std::wstring() : address.substr(at + 4);
}

bool CHttpGet::StatusLineHas(const std::wstring& header, const wchar_t* code) {
  const std::size_t end = header.find(L"\r\n");
  if (end == std::wstring::npos) return false;
  const std::size_t at = header.find(code);
  return at != std::wstring::npos && at < end;
}

bool CHttpGet::FindField(const std::wstring& header, const wchar_t* name, std::wstring& value) {
  const std::wstring wanted = std::wstring(name) + L":";
  // Field lines follow the status line; a name counts only at the very start of a line, so
  // "Content-Location:" is never taken for "Location:".
  for (std::size_t line = header.find(L'\n'); line != std::wstring::npos; line = header.find(L'\n', line)) {
    ++line;
    if (header.size() - line < wanted.size()) return false;
    std::size_t i = 0;
    while (i < wanted.size() && LowerAscii(header[line + i]) == LowerAscii(wanted[i])) ++i;
    if (i < wanted.size()) continue;
    std::size_t begin = line + wanted.size();
    while (begin < header.size() && (header[begin] == L' ' || header[begin] == L'\t')) ++begin;
    std::size_t end = begin;
    while (end < header.size() && header[end] != L'\r' && header[end] != L'\n') ++end;
    value = header.substr(begin, end - begin);
    return true;
  }
  return false;
}

std::wstring CHttpGet::ParseLocation(const char* header) {
  std::wstring value;
  if (!header || !FindField(platform::FromAnsi(header), L"Location", value)) return {};
  return value;
}

std::int64_t CHttpGet::ParseContentSize(const std::wstring& header) {
  std::wstring value;
  if (FindField(header, L"Content-Range", value)) {
    const std::size_t slash = value.find(L'/');
    if (slash != std::wstring::npos) value.erase(0, slash + 1);
  } else if (FindField(header, L"Transfer-Encoding", value) || !FindField(header, L"Content-Length", value)) {
    // A transfer coding frames the body: a Content-Length next to it means nothing.
    return 0;
  }
  return ParseSizeValue(platform::ToAnsi(value));
}

namespace {

int HexValue(wchar_t c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'a' && c <= L'f') return c - L'a' + 10;
  if (c >= L'A' && c <= L'F') return c - L'A' + 10;
  return -1;
}

// "%5c" and the like as the characters they stand for (bytes taken as UTF-8).
std::wstring PercentDecoded(const std::wstring& text) {
  std::string bytes;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == L'%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 && HexValue(text[i + 2]) >= 0) {
      bytes += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
      i += 2;
    } else {
      bytes += platform::ToUtf8(std::wstring(1, text[i]));
    }
  }
  return platform::FromUtf8(bytes);
}

bool IsDeviceName(const std::wstring& name) {
  // Windows opens the device for these names, also with any extension ("CON.zip", "nul .txt").
  std::wstring stem = name.substr(0, name.find(L'.'));
  while (!stem.empty() && stem.back() == L' ') stem.pop_back();
  for (const wchar_t* device : {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$", L"CLOCK$"})
    if (platform::EqualsIgnoringCase(stem, device)) return true;
  if (stem.size() == 4 && (platform::EqualsIgnoringCase(stem.substr(0, 3), L"COM") ||
                           platform::EqualsIgnoringCase(stem.substr(0, 3), L"LPT")))
    return stem[3] >= L'0' && stem[3] <= L'9';
  return false;
}

bool IsPlainAsItStands(const std::wstring& name) {
  if (name.empty() || name.find(L"..") != std::wstring::npos) return false;
  std::size_t units = 0;
  for (wchar_t c : name) {
    if (c < 0x20 || c == 0x7f || std::wstring(L"\\/:*?\"<>|").find(c) != std::wstring::npos) return false;
    units += (static_cast<std::uint32_t>(c) >> 16) != 0 ? 2 : 1;  // UTF-16 units, as Windows counts them
  }
  if (units > 255 || name.back() == L'.' || name.back() == L' ') return false;
  return !IsDeviceName(name);
}

}  // namespace

bool CHttpGet::IsPlainFileName(const std::wstring& name) {
  return IsPlainAsItStands(name) && IsPlainAsItStands(PercentDecoded(name));
}
