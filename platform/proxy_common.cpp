#include "platform/proxy.h"

#include <cstdint>

#include "platform/text.h"

namespace platform {
namespace {

wchar_t Lower(wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

// "*" matches any run of characters; letters compare without case.
bool WildcardMatch(const std::wstring& pattern, std::size_t p, const std::wstring& text, std::size_t t) {
  for (; p < pattern.size(); ++p, ++t) {
    if (pattern[p] == L'*') {
      for (std::size_t rest = t; rest <= text.size(); ++rest)
        if (WildcardMatch(pattern, p + 1, text, rest)) return true;
      return false;
    }
    if (t >= text.size() || Lower(pattern[p]) != Lower(text[t])) return false;
  }
  return t == text.size();
}

std::wstring Trimmed(const std::wstring& text) {
  std::size_t begin = 0, end = text.size();
  while (begin < end && (text[begin] == L' ' || text[begin] == L'\t')) ++begin;
  while (end > begin && (text[end - 1] == L' ' || text[end - 1] == L'\t')) --end;
  return text.substr(begin, end - begin);
}

}  // namespace

bool ParseProxyAddress(const std::wstring& text, ProxyChoice& proxy) {
  std::wstring rest = Trimmed(text);
  const std::size_t scheme = rest.find(L"://");
  if (scheme != std::wstring::npos) rest.erase(0, scheme + 3);
  const std::size_t slash = rest.find(L'/');
  if (slash != std::wstring::npos) rest.erase(slash);
  const std::size_t at = rest.rfind(L'@');  // user:password@ is not used
  if (at != std::wstring::npos) rest.erase(0, at + 1);
  std::uint64_t port = 80;
  const std::size_t colon = rest.rfind(L':');
  if (colon != std::wstring::npos) {
    if (!ParseDecimal(rest.substr(colon + 1), 65535, port) || port == 0) return false;
    rest.erase(colon);
  }
  if (rest.empty()) return false;
  proxy.host = rest;
  proxy.port = static_cast<int>(port);
  return true;
}

bool HostBypassed(const std::wstring& host, const std::wstring& list, const wchar_t* separators) {
  std::size_t begin = 0;
  while (begin <= list.size()) {
    std::size_t end = list.find_first_of(separators, begin);
    if (end == std::wstring::npos) end = list.size();
    std::wstring entry = Trimmed(list.substr(begin, end - begin));
    begin = end + 1;
    if (entry.empty()) continue;
    if (EqualsIgnoringCase(entry, L"<local>")) {
      if (host.find(L'.') == std::wstring::npos) return true;
      continue;
    }
    if (entry[0] == L'.') entry.insert(0, L"*");
    if (WildcardMatch(entry, 0, host, 0)) return true;
    // "example.com" also covers its subdomains, as no_proxy has it.
    if (entry[0] != L'*' && WildcardMatch(L"*." + entry, 0, host, 0)) return true;
  }
  return false;
}

}  // namespace platform
