// Text conversion at the edges of the portable core.
//
// Inside the core all text is std::wstring (UTF-16 on Windows, UTF-32 natively). Text leaves it
// as bytes in two encodings:
//   - "ANSI": the thread's code page on Windows, UTF-8 elsewhere. Both keep ASCII unchanged,
//     which is all that request lines and header names need.
//   - UTF-8: zip entry names.
// Conversions never fail: bytes that are not valid in the source encoding become U+FFFD.
#pragma once

#include <string>

namespace platform {

std::string ToAnsi(const std::wstring& text);
std::wstring FromAnsi(const std::string& bytes);

std::string ToUtf8(const std::wstring& text);
std::wstring FromUtf8(const std::string& bytes);

}  // namespace platform
