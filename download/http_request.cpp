// Requests and response headers on one connection, and the two probes that run before the
// segment workers exist.
#include <cstdint>
#include <cstdio>

#include "download/http_get.h"
#include "platform/text.h"

namespace {

const wchar_t kAccept[] = L"Accept: */*\r\n";
const wchar_t kShortAgent[] = L"User-Agent: Mozilla\r\n";
// Four tabs and two spaces after "537.36" and no space before "Chrome": sent as they stand.
const wchar_t kBrowserAgent[] =
    L"User-Agent: Mozilla/5.0 (Windows NT 6.1; WOW64) AppleWebKit/537.36\t\t\t\t  (KHTML, like Gecko)"
    L"Chrome/32.0.1700.107 Safari/537.36\r\n";
const wchar_t kProbeRange[] = L"Range: bytes=0-1\r\n";
const wchar_t kEndOfHeader[] = L"\r\n";

std::wstring RequestLine(const std::wstring& path) { return L"GET " + path + L" HTTP/1.1\r\n"; }
std::wstring HostLine(const std::wstring& host) { return L"Host: " + host + L"\r\n"; }

std::wstring SegmentRangeLine(int from, int to) {
  wchar_t line[64];
  std::swprintf(line, sizeof line / sizeof line[0], L"Range: bytes=%d-%d\r\n", from, to);
  return line;
}

// First byte of a Content-Range value "bytes FIRST-LAST/TOTAL"; false when it has none.
bool RangeFirstByte(const std::wstring& value, std::int64_t& first) {
  std::size_t i = 0;
  static const wchar_t kUnit[] = L"bytes";
  for (; i < 5; ++i) {
    wchar_t c = i < value.size() ? value[i] : 0;
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    if (c != kUnit[i]) return false;
  }
  while (i < value.size() && (value[i] == L' ' || value[i] == L'\t')) ++i;
  first = 0;
  bool digits = false;
  for (; i < value.size() && value[i] >= L'0' && value[i] <= L'9'; ++i) {
    digits = true;
    first = first * 10 + (value[i] - L'0');
    if (first > INT32_MAX) return false;
  }
  return digits && i < value.size() && value[i] == L'-';
}

}  // namespace

bool CHttpGet::SendText(platform::Socket& socket, const std::wstring& text) {
  const std::string bytes = platform::ToAnsi(text);
  // One send; a short send is not repeated (request lines are far below any socket buffer).
  if (platform::Send(socket, bytes.data(), bytes.size()) < 0) {
    platform::CloseSocket(socket);
    socket = platform::kInvalidSocket;
    SetResult(DL_SEND_FAILED);
    return false;
  }
  return true;
}

int CHttpGet::ReadHeader(platform::Socket socket, HeaderBuffer& buffer) {
  // One byte per receive, so nothing of the body is taken from the socket.
  const std::size_t limit = buffer.size() - 1;
  std::size_t count = 0;
  while (count < limit) {
    char byte;
    if (platform::Receive(socket, &byte, 1) != 1) {
      buffer[0] = '\0';
      return 0;
    }
    buffer[count++] = byte;
    if (count >= 4 && buffer[count - 4] == '\r' && buffer[count - 3] == '\n' && buffer[count - 2] == '\r' &&
        buffer[count - 1] == '\n')
      break;
  }
  buffer[count] = '\0';
  return static_cast<int>(count);
}

bool CHttpGet::Request(platform::Socket& socket, const std::wstring& host, const std::wstring& path,
                       const std::wstring& extraLine, std::wstring& header) {
  const std::wstring lines[] = {RequestLine(path), HostLine(host), kAccept, kShortAgent, extraLine, kEndOfHeader};
  for (const std::wstring& line : lines) {
    if (line.empty()) continue;
    if (!SendText(socket, line)) return false;
  }
  HeaderBuffer buffer;
  if (ReadHeader(socket, buffer) == 0) {
    SetResult(DL_HEADER_FAILED);
    return false;
  }
  header = platform::FromAnsi(buffer.data());
  if (StatusLineHas(header, L"404") || StatusLineHas(header, L"403")) {
    SetResult(DL_HTTP_DENIED);
    return false;
  }
  return true;
}

bool CHttpGet::ProbeRedirect(const std::wstring& url, std::wstring& target) {
  std::wstring host, path, fileName, address;
  int port = 0;
  ParseUrl(url, host, path, fileName, port);
  platform::Socket socket = m_Sockets.ConnectServer(host, port, address);
  if (socket == platform::kInvalidSocket) {
    SetResult(DL_CONNECT_FAILED);
    return false;
  }
  bool redirected = false;
  if (SendText(socket, RequestLine(path) + HostLine(host) + kAccept + kBrowserAgent + kEndOfHeader)) {
    HeaderBuffer buffer;
    if (ReadHeader(socket, buffer) == 0) {
      SetResult(DL_HEADER_FAILED);
    } else {
      const std::wstring header = platform::FromAnsi(buffer.data());
      if (StatusLineHas(header, L"404") || StatusLineHas(header, L"403")) {
        SetResult(DL_HTTP_DENIED);
      } else if (StatusLineHas(header, L"301") || StatusLineHas(header, L"302")) {
        target = ParseLocation(buffer.data());
        redirected = !target.empty();
        if (!redirected) SetResult(DL_BAD_REDIRECT);
      }
    }
  }
  platform::CloseSocket(socket);  // already invalid after a failed send
  return redirected;
}

int CHttpGet::SizeProbeOnce(const std::wstring& host, const std::wstring& path, int port, bool withRange) {
  std::wstring address, header;
  platform::Socket socket = m_Sockets.ConnectServer(host, port, address);
  if (socket == platform::kInvalidSocket) {
    SetResult(DL_CONNECT_FAILED);
    return -1;
  }
  const bool answered = Request(socket, host, path, withRange ? kProbeRange : L"", header);
  platform::CloseSocket(socket);
  if (!answered) return -1;

  m_nProbedSize = ParseContentSize(header);
  if (m_nProbedSize != 0) {
    if (withRange) m_bRangesSupported = StatusLineHas(header, L"206") ? 1 : 0;
    // What identifies this version of the file, so parts of another version are not continued.
    m_strValidator.clear();
    std::wstring value;
    if (FindField(header, L"ETag", value))
      m_strValidator = L"ETag: " + value;
    else if (FindField(header, L"Last-Modified", value))
      m_strValidator = L"Last-Modified: " + value;
  }
  return m_nProbedSize;
}

bool CHttpGet::ProbeSize(const std::wstring& host, const std::wstring& path, int port) {
  m_bRangesSupported = 0;
  int size = SizeProbeOnce(host, path, port, true);
  if (size < 0) return false;
  if (size == 0) {
    size = SizeProbeOnce(host, path, port, false);
    if (size <= 0) return false;
  }
  m_uTotal = static_cast<std::uint64_t>(size);
  return true;
}

bool CHttpGet::SendRangeRequest(platform::Socket& socket, const std::wstring& host, const std::wstring& path, int from,
                                int to) {
  std::wstring header, value;
  if (!Request(socket, host, path, SegmentRangeLine(from, to), header)) return false;
  // Only the range asked for may go into the part file: a 200 with the whole file, a 416 error
  // page or a range starting elsewhere would land at the segment's offset and corrupt the join.
  std::int64_t first = -1;
  if (!StatusLineHas(header, L"206") || !FindField(header, L"Content-Range", value) ||
      !RangeFirstByte(value, first) || first != from) {
    SetResult(DL_RECV_FAILED);
    return false;
  }
  return true;
}

bool CHttpGet::SendPlainRequest(platform::Socket& socket, const std::wstring& host, const std::wstring& path) {
  std::wstring header;
  return Request(socket, host, path, L"", header);
}
