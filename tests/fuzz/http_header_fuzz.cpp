// Header-shaped bytes through the URL splitter and the header field parsers: nothing may read
// out of bounds, overflow or hang, and a parsed size is always a valid one.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "download/http_get.h"
#include "platform/text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const std::string header = bytes.substr(0, bytes.find('\0'));  // as ReadHeader leaves it
  const std::wstring text = platform::FromAnsi(header);

  std::wstring host, path, fileName;
  int port = 0;
  CHttpGet::ParseUrl(text, host, path, fileName, port);
  if (!path.empty() && path[0] != L'/') std::abort();
  if (fileName.find(L'/') != std::wstring::npos) std::abort();

  const std::wstring location = CHttpGet::ParseLocation(header.c_str());
  if (location.find_first_of(L"\r\n") != std::wstring::npos) std::abort();
  CHttpGet::ParseUrl(location, host, path, fileName, port);

  const std::int64_t total = CHttpGet::ParseContentSize(text);
  if (total < 0) std::abort();
  (void)CHttpGet::StatusLineHas(text, L"206");
  return 0;
}
