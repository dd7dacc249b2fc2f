#include "platform/text.h"

#include <gtest/gtest.h>

namespace {

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

}  // namespace
