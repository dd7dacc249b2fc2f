// The probe: one request per address of the redirect chain answers redirect, size and range
// support together. A probe that gets no answer is retried like any attempt; it is never read as
// "no redirect".
#include "download/engine.h"
#include "platform/clock.h"
#include "platform/log.h"
#include "platform/text.h"

namespace {

constexpr int kMaxProbes = 5;  // four redirects are followed; a fifth in a row is refused

// Failures that another attempt cannot mend.
bool IsFinal(DownloadResult code) {
  return code == DL_HTTP_DENIED || code == DL_BAD_REDIRECT || code == DL_BAD_URL || code == DL_STOPPED ||
         code == DL_TOO_LARGE;
}

bool IsRedirect(int status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// A Location relative to the server ("/next.zip") is taken on the same server.
std::wstring Absolute(const std::wstring& location, const Endpoint& from) {
  if (location.empty() || location[0] != L'/' || (location.size() > 1 && location[1] == L'/')) return location;
  return L"http://" + platform::FromAnsi(from.HostField()) + location;
}

std::string StatusLine(const std::string& header) { return header.substr(0, header.find("\r\n")); }

}  // namespace

DownloadResult CHttpGet::Engine::ResolveFinal(std::size_t smallLimit, ProbeAnswer& answer, Endpoint& final) {
  std::wstring current = request_.url;
  for (int probe = 0; probe < kMaxProbes; ++probe) {
    Endpoint to;
    const DownloadResult parsed = to.Parse(current);
    if (parsed != DL_OK) return parsed;
    final = to;
    Backoff backoff(timing_, static_cast<unsigned>(probe) * 7919u + platform::TickCount());
    std::wstring location;
    for (;;) {
      answer = ProbeAnswer{};
      location.clear();
      const DownloadResult code = ProbeOnce(to, smallLimit, answer, location, backoff);
      if (code == DL_OK) break;
      if (IsFinal(code)) return code;
      if (!KeepTrying(code, backoff, "probe")) return FailureOr(code);
    }
    if (location.empty()) return DL_OK;
    current = Absolute(location, to);
    platform::Log("redirected to %s", platform::ToUtf8(current).c_str());
  }
  return DL_BAD_URL;
}

DownloadResult CHttpGet::Engine::ProbeOnce(const Endpoint& to, std::size_t smallLimit, ProbeAnswer& answer,
                                           std::wstring& location, Backoff& backoff) {
  auto connection = std::make_unique<HttpConnection>(stop_, Limits());
  std::string address;
  if (!to.proxy.host.empty())
    platform::Log("through the proxy %s port %d", platform::ToUtf8(to.proxy.host).c_str(), to.proxy.port);
  DownloadResult code = connection->Open(to.ConnectHost(), to.ConnectPort(), platform::TickCount(), address);
  LogConnection("probe", address, to.ConnectPort(), code);
  if (code != DL_OK) return code;
  if ((code = connection->Send(smallLimit ? PlainRequest(to) : ProbeRequest(to))) != DL_OK) return code;
  std::string bytes;
  if ((code = connection->ReadHeader(bytes)) != DL_OK) return code;
  platform::Log("GET %s: %s", platform::ToUtf8(to.url).c_str(), StatusLine(bytes).c_str());

  const std::wstring header = platform::FromAnsi(bytes);
  const int status = StatusCode(bytes);
  if (status >= 400) backoff.AtLeast(RetryAfterMs(bytes));
  if (IsRedirect(status)) {
    location = ParseLocation(bytes.c_str());
    std::size_t end = location.size();
    while (end > 0 && (location[end - 1] == L' ' || location[end - 1] == L'\t')) --end;
    location.erase(end);
    return location.empty() ? DL_BAD_REDIRECT : DL_OK;
  }

  std::wstring value;
  if (FindField(header, L"ETag", value))
    answer.validator = L"ETag: " + value;
  else if (FindField(header, L"Last-Modified", value))
    answer.validator = L"Last-Modified: " + value;

  if (smallLimit) {
    if (status != 200) return StatusFailure(status);
    return ReadSmallBody(*connection, header, smallLimit, answer.text);
  }
  if (status == 206) {
    // Only "bytes 0-1/N" says both the size and that ranges work; "0-1/*" names no size.
    if (!FindField(header, L"Content-Range", value) || RangeFirstByte(value) != 0) return DL_RECV_FAILED;
    answer.total = ParseContentSize(header);
    answer.ranges = answer.total > 0;
  } else if (status == 200) {
    // The server ignores ranges and sends the whole file: keep receiving it on this connection
    // instead of asking again.
    answer.total = ParseContentSize(header);
    answer.body = std::move(connection);
  } else {
    return StatusFailure(status);  // 5xx, 408 and 429: another attempt may do better
  }
  platform::Log("size %lld%s, %s", static_cast<long long>(answer.total), answer.ranges ? ", ranges" : ", no ranges",
                answer.validator.empty() ? "no validator" : platform::ToUtf8(answer.validator).c_str());
  return DL_OK;
}

DownloadResult CHttpGet::Engine::ReadSmallBody(HttpConnection& connection, const std::wstring& header,
                                               std::size_t limit, std::string& body) {
  // The connection keeps to the body's framing: its end is the end of the file.
  if (ParseContentSize(header) > static_cast<std::int64_t>(limit)) return DL_TOO_LARGE;
  body.clear();
  char block[4096];
  for (;;) {
    DownloadResult failure = DL_OK;
    const int n = connection.Receive(block, sizeof block, failure);
    if (n < 0) return failure;
    if (n == 0) return DL_OK;
    body.append(block, static_cast<std::size_t>(n));
    if (body.size() > limit) return DL_TOO_LARGE;
  }
}
