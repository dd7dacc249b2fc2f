#include <gtest/gtest.h>

#include "download/http_get.h"

namespace {

struct Url {
  std::wstring host, path, file;
  int port = -1;
};

Url Split(const std::wstring& text) {
  Url url;
  CHttpGet::ParseUrl(text, url.host, url.path, url.file, url.port);
  return url;
}

TEST(ParseUrl, SplitsHostPortPathAndFileName) {
  Url url = Split(L"  http://srv:8080/a/b.zip?k=1\r\n");
  EXPECT_EQ(url.host, L"srv");
  EXPECT_EQ(url.port, 8080);
  EXPECT_EQ(url.path, L"/a/b.zip?k=1");
  EXPECT_EQ(url.file, L"b.zip");

  url = Split(L"files.example/consezip/TavoPhoneAx.zip");
  EXPECT_EQ(url.host, L"files.example");
  EXPECT_EQ(url.port, 80);
  EXPECT_EQ(url.path, L"/consezip/TavoPhoneAx.zip");
  EXPECT_EQ(url.file, L"TavoPhoneAx.zip");

  // The file name is cut before its last "?", the path keeps the whole query.
  url = Split(L"http://h/d/f.bin?a=1?md5=ab");
  EXPECT_EQ(url.file, L"f.bin?a=1");
  EXPECT_EQ(url.path, L"/d/f.bin?a=1?md5=ab");
}

TEST(ParseUrl, OddPortsAndSchemesGiveUnusableParts) {
  EXPECT_EQ(Split(L"https://srv/a.zip").host, L"https");
  EXPECT_EQ(Split(L"https://srv/a.zip").port, 0);
  EXPECT_EQ(Split(L"http://srv:/a.zip").port, 0);
  EXPECT_EQ(Split(L"http://srv:80x/a.zip").port, 80);
  // A port too long for 32 bits stays out of range instead of wrapping into a valid one.
  EXPECT_GT(Split(L"http://srv:4294967376/a.zip").port, 65535);

  const Url bare = Split(L"http://srv");
  EXPECT_TRUE(bare.host.empty());
  EXPECT_TRUE(bare.path.empty());
  EXPECT_TRUE(bare.file.empty());
  EXPECT_TRUE(Split(L"http://srv/dir/").file.empty());
}

TEST(StatusLine, OnlyTheFirstLineCounts) {
  EXPECT_TRUE(CHttpGet::StatusLineHas(L"HTTP/1.1 206 Partial Content\r\nX: 404\r\n\r\n", L"206"));
  EXPECT_FALSE(CHttpGet::StatusLineHas(L"HTTP/1.1 200 OK\r\nX: 404\r\n\r\n", L"404"));
  EXPECT_FALSE(CHttpGet::StatusLineHas(L"HTTP/1.1 404 Not Found", L"404"));
}

TEST(ParseLocation, FindsTheFieldInAnyCaseAtTheStartOfALine) {
  EXPECT_EQ(CHttpGet::ParseLocation("HTTP/1.1 302 Found\r\nLocation: http://b/x.zip\r\n\r\n"), L"http://b/x.zip");
  EXPECT_EQ(CHttpGet::ParseLocation("HTTP/1.1 302 Found\r\nlocation:http://b/y.zip\r\n\r\n"), L"http://b/y.zip");
  EXPECT_EQ(CHttpGet::ParseLocation("HTTP/1.1 301 Moved\r\nLOCATION:  http://b/z.zip\r\n\r\n"), L"http://b/z.zip");
  EXPECT_EQ(CHttpGet::ParseLocation("HTTP/1.1 302 Found\r\nContent-Location: http://wrong/a\r\n"
                                    "Location: http://right/b\r\n\r\n"),
            L"http://right/b");
  EXPECT_EQ(CHttpGet::ParseLocation("HTTP/1.1 302 Found\r\nContent-Location: http://wrong/a\r\n\r\n"), L"");
  EXPECT_EQ(CHttpGet::ParseLocation("HTTP/1.1 302 Found\r\nX-Note: Location: http://wrong/c\r\n\r\n"), L"");
  EXPECT_EQ(CHttpGet::ParseLocation("HTTP/1.1 302 Found\r\n\r\n"), L"");
}

TEST(ParseContentSize, ContentRangeWinsOverContentLength) {
  EXPECT_EQ(CHttpGet::ParseContentSize(L"HTTP/1.1 206 Partial Content\r\nContent-Length: 2\r\n"
                                       L"Content-Range: bytes 0-1/4096\r\n\r\n"),
            4096);
  EXPECT_EQ(CHttpGet::ParseContentSize(L"HTTP/1.1 206 Partial Content\r\ncontent-range: bytes 0-1/77\r\n\r\n"), 77);
  EXPECT_EQ(CHttpGet::ParseContentSize(L"HTTP/1.1 200 OK\r\ncontent-length:   4096\r\n\r\n"), 4096);
  EXPECT_EQ(CHttpGet::ParseContentSize(L"HTTP/1.1 200 OK\r\nServer: x\r\n\r\n"), 0);
  // An unknown total names no size, even with a Content-Length beside it.
  EXPECT_EQ(CHttpGet::ParseContentSize(L"HTTP/1.1 206 Partial Content\r\nContent-Range: bytes 0-1/*\r\n"
                                       L"Content-Length: 2\r\n\r\n"),
            0);
  // Only a field counts, not a name inside another field.
  EXPECT_EQ(CHttpGet::ParseContentSize(L"HTTP/1.1 200 OK\r\nX-Original-Content-Length: 99\r\n\r\n"), 0);
}

TEST(ParseContentSize, SizesOutsideOneToTwoGibibytesAreNoSize) {
  auto size = [](const wchar_t* value) {
    return CHttpGet::ParseContentSize(std::wstring(L"HTTP/1.1 200 OK\r\nContent-Length: ") + value + L"\r\n\r\n");
  };
  EXPECT_EQ(size(L"2147483647"), 2147483647);
  EXPECT_EQ(size(L"2147483648"), 0);
  EXPECT_EQ(size(L"4294967297"), 0);  // would wrap to 1 in 32 bits
  EXPECT_EQ(size(L"99999999999999999999999"), 0);
  EXPECT_EQ(size(L"-5"), 0);
  EXPECT_EQ(size(L"0"), 0);
  EXPECT_EQ(size(L"abc"), 0);
  EXPECT_EQ(size(L""), 0);
  EXPECT_EQ(size(L"4096; junk"), 4096);
}

TEST(PlainFileName, OnlyNamesThatStayInTheirDirectory) {
  struct Case {
    std::wstring name;
    bool plain;
  } cases[] = {
      {L"TavoPhoneAx.zip", true},
      {L"Tavo%20Phone.zip", true},
      {L"\u624b\u673a.zip", true},
      {L"..%5c..%5cevil.zip", false},
      {L"..\\..\\evil.zip", false},
      {L"a%2fb.zip", false},
      {L"%2e%2e", false},
      {L"..", false},
      {L"c:evil.zip", false},
      {L"a%3ab", false},
      {L"CON", false},
      {L"con.zip", false},
      {L"Nul .txt", false},
      {L"COM1", false},
      {L"lpt9.zip", false},
      {L"COM10.zip", true},
      {L"x.zip.", false},
      {L"x.zip ", false},
      {L"x%2e", false},
      {L"a\tb", false},
      {L"a%00b", false},
      {L"a|b", false},
      {L"", false},
      {std::wstring(255, L'a'), true},
      {std::wstring(256, L'a'), false},
  };
  for (const Case& c : cases) EXPECT_EQ(CHttpGet::IsPlainFileName(c.name), c.plain) << c.name.size();
}

}  // namespace
