// Where requests go and their exact bytes.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>

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

DownloadResult Endpoint::Parse(const std::wstring& text) {
  // Another scheme (https, ftp) would be read as a host named after it: refuse it here.
  const std::size_t scheme = text.find(L"://");
  if (scheme != std::wstring::npos && !platform::EqualsIgnoringCase(text.substr(0, scheme), L"http")) {
    std::size_t blank = 0;
    while (blank < scheme && (text[blank] == L' ' || text[blank] == L'\t')) ++blank;
    if (!platform::EqualsIgnoringCase(text.substr(blank, scheme - blank), L"http")) return DL_BAD_URL;
  }
  url = text;
  CHttpGet::ParseUrl(text, host, path, fileName, port);
  // Credentials in an address would go out in the clear: refused, not sent and not dropped.
  const std::size_t authority = scheme == std::wstring::npos ? 0 : scheme + 3;
  const std::size_t at = text.find(L'@', authority);
  if (at != std::wstring::npos && at < text.find_first_of(L"/?#", authority)) return DL_URL_USERINFO;
  if (host.empty() || path.empty() || port < 1 || port > 65535) return DL_BAD_URL;
  // The URL without blanks around it, the way requests name it.
  url = L"http://" + host + (port == 80 ? L"" : L":" + std::to_wstring(port)) + path;
  proxy = platform::ProxyFor(url);
  return DL_OK;
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

DownloadResult StatusFailure(int status) {
  return status >= 400 && status < 500 && status != 408 && status != 429 ? DL_HTTP_DENIED : DL_RECV_FAILED;
}

namespace {

// Seconds since 1970 of an HTTP-date in any of its three forms ("Sun, 06 Nov 1994 08:49:37 GMT",
// "Sunday, 06-Nov-94 08:49:37 GMT", "Sun Nov  6 08:49:37 1994"), or -1.
std::int64_t HttpDateSeconds(const std::string& text) {
  static const char kMonths[] = "JanFebMarAprMayJunJulAugSepOctNovDec";
  char month[4] = {};
  int day = 0, year = 0, h = 0, m = 0, s = 0;
  const std::size_t comma = text.find(',');
  const char* rest = text.c_str() + (comma == std::string::npos ? 0 : comma + 1);
  if (comma != std::string::npos && std::sscanf(rest, " %d %3s %d %d:%d:%d GMT", &day, month, &year, &h, &m, &s) == 6) {
  } else if (comma != std::string::npos &&
             std::sscanf(rest, " %d-%3[A-Za-z]-%d %d:%d:%d GMT", &day, month, &year, &h, &m, &s) == 6) {
    year += year < 70 ? 2000 : year < 100 ? 1900 : 0;
  } else if (std::sscanf(text.c_str(), "%*3s %3s %d %d:%d:%d %d", month, &day, &h, &m, &s, &year) != 6) {
    return -1;
  }
  const char* found = std::strstr(kMonths, month);
  if (std::strlen(month) != 3 || !found || (found - kMonths) % 3 != 0 || day < 1 || day > 31 || year < 1970 ||
      year > 9999 || h > 23 || m > 59 || s > 60 || h < 0 || m < 0 || s < 0)
    return -1;
  // Days since 1970-01-01 of a date in the proleptic Gregorian calendar, years starting in March.
  const int mon = static_cast<int>(found - kMonths) / 3 + 1;
  const std::int64_t y = year - (mon <= 2 ? 1 : 0);
  const std::int64_t doy = (153 * (mon + (mon > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const std::int64_t days = (y / 400) * 146097 + (y % 400) * 365 + (y % 400) / 4 - (y % 400) / 100 + doy - 719468;
  return days * 86400 + h * 3600 + m * 60 + s;
}

}  // namespace

std::uint32_t RetryAfterMs(const std::string& header) {
  const int status = StatusCode(header);
  const std::wstring fields = platform::FromAnsi(header);
  std::wstring value;
  if ((status != 429 && status != 503) || !CHttpGet::FindField(fields, L"Retry-After", value)) return 0;
  while (!value.empty() && (value.back() == L' ' || value.back() == L'\t')) value.pop_back();
  std::uint64_t seconds = 0;
  if (!platform::ParseDecimal(value, UINT64_MAX, seconds)) {
    const std::int64_t until = HttpDateSeconds(platform::ToAnsi(value));
    std::wstring date;
    std::int64_t now = CHttpGet::FindField(fields, L"Date", date) ? HttpDateSeconds(platform::ToAnsi(date)) : -1;
    if (now < 0) now = static_cast<std::int64_t>(std::time(nullptr));
    if (until < 0 || until <= now) return 0;
    seconds = static_cast<std::uint64_t>(until - now);
  }
  return static_cast<std::uint32_t>(std::min<std::uint64_t>(seconds, 4000000) * 1000);  // beyond any budget
}
