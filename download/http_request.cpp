// Where requests go and their exact bytes.
#include <cstdio>

#include "download/engine.h"
#include "platform/text.h"

namespace {

const char kAccept[] = "Accept: */*\r\n";
const char kShortAgent[] = "User-Agent: Mozilla\r\n";
// Four tabs and two spaces after "537.36" and no space before "Chrome": sent as they stand.
const char kBrowserAgent[] =
    "User-Agent: Mozilla/5.0 (Windows NT 6.1; WOW64) AppleWebKit/537.36\t\t\t\t  (KHTML, like Gecko)"
    "Chrome/32.0.1700.107 Safari/537.36\r\n";
const char kProbeRange[] = "Range: bytes=0-1\r\n";
const char kEndOfHeader[] = "\r\n";

std::string Start(const Endpoint& to) {
  return "GET " + to.RequestTarget() + " HTTP/1.1\r\nHost: " + to.HostField() + "\r\n" + kAccept;
}

}  // namespace

bool Endpoint::Parse(const std::wstring& text) {
  // Another scheme (https, ftp) would be read as a host named after it: refuse it here.
  const std::size_t scheme = text.find(L"://");
  if (scheme != std::wstring::npos && !platform::EqualsIgnoringCase(text.substr(0, scheme), L"http")) {
    std::size_t blank = 0;
    while (blank < scheme && (text[blank] == L' ' || text[blank] == L'\t')) ++blank;
    if (!platform::EqualsIgnoringCase(text.substr(blank, scheme - blank), L"http")) return false;
  }
  url = text;
  CHttpGet::ParseUrl(text, host, path, fileName, port);
  if (host.empty() || path.empty() || port < 1 || port > 65535) return false;
  // The URL without blanks around it, the way requests name it.
  url = L"http://" + host + (port == 80 ? L"" : L":" + std::to_wstring(port)) + path;
  proxy = platform::ProxyFor(url);
  return true;
}

std::wstring Endpoint::ConnectHost() const {
  if (!proxy.host.empty()) return proxy.host;
  if (host.size() > 2 && host.front() == L'[' && host.back() == L']') return host.substr(1, host.size() - 2);
  return host;
}

std::string Endpoint::RequestTarget() const { return platform::ToAnsi(proxy.host.empty() ? path : url); }

std::string Endpoint::HostField() const {
  // A server that builds redirects from Host must see the port (RFC 9110), or it sends us to 80.
  return platform::ToAnsi(host) + (port == 80 ? "" : ":" + std::to_string(port));
}

std::string ProbeRequest(const Endpoint& to) { return Start(to) + kBrowserAgent + kProbeRange + kEndOfHeader; }

std::string RangeRequest(const Endpoint& to, std::int64_t from, std::int64_t upTo) {
  char range[80];
  std::snprintf(range, sizeof range, "Range: bytes=%lld-%lld\r\n", static_cast<long long>(from),
                static_cast<long long>(upTo));
  return Start(to) + kShortAgent + range + kEndOfHeader;
}

std::string PlainRequest(const Endpoint& to) { return Start(to) + kShortAgent + kEndOfHeader; }

int StatusCode(const std::string& header) {
  // "HTTP/1.1 206 Partial Content"
  const std::size_t space = header.find(' ');
  const std::size_t end = header.find("\r\n");
  if (header.compare(0, 5, "HTTP/") != 0 || space == std::string::npos || space > end || space + 4 > header.size())
    return 0;
  int code = 0;
  for (std::size_t i = space + 1; i < space + 4; ++i) {
    if (header[i] < '0' || header[i] > '9') return 0;
    code = code * 10 + (header[i] - '0');
  }
  return code;
}

std::int64_t RangeFirstByte(const std::wstring& value) {
  std::size_t i = 0;
  static const wchar_t kUnit[] = L"bytes";
  for (; i < 5; ++i) {
    wchar_t c = i < value.size() ? value[i] : 0;
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    if (c != kUnit[i]) return -1;
  }
  while (i < value.size() && (value[i] == L' ' || value[i] == L'\t')) ++i;
  const std::size_t digits = i;
  while (i < value.size() && value[i] >= L'0' && value[i] <= L'9') ++i;
  std::uint64_t first = 0;
  if (i >= value.size() || value[i] != L'-' || !platform::ParseDecimal(value.substr(digits, i - digits), INT64_MAX, first))
    return -1;
  return static_cast<std::int64_t>(first);
}
