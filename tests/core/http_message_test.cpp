#include <gtest/gtest.h>

#include "download/http_get.h"
#include "platform/text.h"

namespace {

// Header bytes are ANSI, names in archives and logs UTF-8.
TEST(TextConversion, Utf8AndAnsiRoundTripsAndInvalidBytesBecomeReplacements) {
  const std::wstring text = L"TavoPhoneAx\\手机助手 v1.07";
  EXPECT_EQ(platform::ToUtf8(text), "TavoPhoneAx\\\xE6\x89\x8B\xE6\x9C\xBA\xE5\x8A\xA9\xE6\x89\x8B v1.07");
  EXPECT_EQ(platform::FromUtf8(platform::ToUtf8(text)), text);
  const std::string request = "GET /consezip/TavoPhoneAx.zip HTTP/1.1\r\nRange: bytes=0-1\r\n\t\t\t\t  \r\n";
  EXPECT_EQ(platform::ToAnsi(platform::FromAnsi(request)), request);
  // A lone continuation byte, a truncated three-byte sequence and an overlong encoding of '/'.
  EXPECT_EQ(platform::FromUtf8("a\x80" "b"), L"a\xFFFD" L"b");
  EXPECT_EQ(platform::FromUtf8("x\xE6\x89"), L"x\xFFFD");
  EXPECT_EQ(platform::FromUtf8("\xC0\xAF"), L"\xFFFD\xFFFD");
  EXPECT_TRUE(platform::ToUtf8(L"").empty() && platform::FromUtf8("").empty());
}

TEST(ParseUrl, SplitsHostPortPathAndFileName) {
  const struct { const wchar_t *url, *host, *path, *file; int port; } cases[] = {  // port -1: above 65535
      {L"  http://srv:8080/a/b.zip?k=1\r\n", L"srv", L"/a/b.zip?k=1", L"b.zip", 8080},
      {L"files.example/consezip/TavoPhoneAx.zip", L"files.example", L"/consezip/TavoPhoneAx.zip", L"TavoPhoneAx.zip", 80},
      // The file name is cut before its last "?", the path keeps the whole query.
      {L"http://h/d/f.bin?a=1?md5=ab", L"h", L"/d/f.bin?a=1?md5=ab", L"f.bin?a=1", 80},
      {L"https://srv/a.zip", L"https", L"//srv/a.zip", L"a.zip", 0},
      {L"http://srv:80x/a.zip", L"srv", L"/a.zip", L"a.zip", 80},
      {L"http://srv:4294967376/a.zip", L"srv", L"/a.zip", L"a.zip", -1},  // never wraps into a valid port
      {L"http://srv", L"", L"", L"", 80},
      {L"http://srv/dir/", L"srv", L"/dir/", L"", 80},
      {L"http://[2001:db8::1]:8080/a%20b.zip?md5=AB#x?y/z", L"[2001:db8::1]", L"/a%20b.zip?md5=AB", L"a%20b.zip", 8080},
      {L"http://[::1]/a.zip", L"[::1]", L"/a.zip", L"a.zip", 80},
  };
  EXPECT_EQ(Md5OfUrl(L"http://h/a.zip?md5=AB#md5=CD"), L"AB");
  for (const auto& c : cases) {
    std::wstring host, path, file;
    int port = 0;
    CHttpGet::ParseUrl(c.url, host, path, file, port);
    EXPECT_EQ(host, c.host) << c.url;
    EXPECT_EQ(file, c.file) << c.url;
    if (!*c.host) continue;
    EXPECT_EQ(path, c.path) << c.url;
    EXPECT_TRUE(c.port < 0 ? port > 65535 : port == c.port) << c.url << " port " << port;
  }
}

TEST(HttpHeader, StatusLocationAndSizeComeOnlyFromTheirOwnLines) {
  EXPECT_TRUE(CHttpGet::StatusLineHas(L"HTTP/1.1 206 Partial Content\r\nX: 404\r\n\r\n", L"206"));
  EXPECT_FALSE(CHttpGet::StatusLineHas(L"HTTP/1.1 200 OK\r\nX: 404\r\n\r\n", L"404"));
  EXPECT_FALSE(CHttpGet::StatusLineHas(L"HTTP/1.1 404 Not Found", L"404"));

  const struct { const char* fields; const wchar_t* location; } locations[] = {
      {"Location: http://b/x.zip\r\n", L"http://b/x.zip"},
      {"LOCATION:  http://b/z.zip\r\n", L"http://b/z.zip"},
      {"Content-Location: http://wrong/a\r\nLocation: http://right/b\r\n", L"http://right/b"},
      {"Content-Location: http://wrong/a\r\n", L""},
      {"X-Note: Location: http://wrong/c\r\n", L""},
  };
  for (const auto& c : locations)
    EXPECT_EQ(CHttpGet::ParseLocation((std::string("HTTP/1.1 302 Found\r\n") + c.fields + "\r\n").c_str()), c.location) << c.fields;

  const struct { const wchar_t* fields; std::int64_t size; } sizes[] = {  // 0: no size
      {L"Content-Length: 2\r\nContent-Range: bytes 0-1/4096\r\n", 4096},  // the range's total wins
      {L"content-range: bytes 0-1/77\r\n", 77},
      {L"Content-Range: bytes 0-1/*\r\nContent-Length: 2\r\n", 0},  // an unknown total is no size
      {L"X-Original-Content-Length: 99\r\n", 0},
      {L"Content-Length: 2147483647\r\n", 2147483647},
      {L"Content-Length: 4294967297\r\n", 4294967297},  // not 1, as 32 bits would wrap it
      {L"Content-Range: bytes 0-1/5368709120\r\n", 5368709120},
      {L"Content-Length: 9223372036854775808\r\n", 0},
      {L"Content-Length: 99999999999999999999999\r\n", 0},
      {L"Content-Length: -5\r\n", 0},
      {L"Content-Length: abc\r\n", 0},
      {L"Content-Length: 4096; junk\r\n", 4096},
  };
  for (const auto& c : sizes)
    EXPECT_EQ(CHttpGet::ParseContentSize(std::wstring(L"HTTP/1.1 206 Partial Content\r\n") + c.fields + L"\r\n"), c.size)
        << c.fields;
}

TEST(PlainFileName, OnlyNamesThatStayInTheirDirectory) {
  for (const std::wstring& name : {std::wstring(L"TavoPhoneAx.zip"), std::wstring(L"Tavo%20Phone.zip"),
                                   std::wstring(L"\u624b\u673a.zip"), std::wstring(L"COM10.zip"), std::wstring(255, L'a')})
    EXPECT_TRUE(CHttpGet::IsPlainFileName(name)) << name.size();
  for (const wchar_t* name :
       {L"..%5c..%5cevil.zip", L"..\\..\\evil.zip", L"a%2fb.zip", L"%2e%2e", L"..", L"c:evil.zip", L"a%3ab", L"CON",
        L"con.zip", L"Nul .txt", L"COM1", L"lpt9.zip", L"x.zip.", L"x.zip ", L"x%2e", L"a\tb", L"a%00b", L"a|b", L""})
    EXPECT_FALSE(CHttpGet::IsPlainFileName(name)) << name;
  EXPECT_FALSE(CHttpGet::IsPlainFileName(std::wstring(256, L'a')));
}

}  // namespace
