// Text conversion at the edges of the portable core.
//
// Inside the core all text is std::wstring (UTF-16 on Windows, UTF-32 natively). Text leaves it
// as bytes in two encodings:
//   - "ANSI": the thread's code page on Windows, UTF-8 elsewhere. Both keep ASCII unchanged,
//     which is all that request lines and header names need.
//   - UTF-8: zip entry names.
// Conversions never fail: bytes that are not valid in the source encoding become U+FFFD.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

std::string ToAnsi(const std::wstring& text);
std::wstring FromAnsi(const std::string& bytes);

std::string ToUtf8(const std::wstring& text);
std::wstring FromUtf8(const std::string& bytes);

}  // namespace platform

namespace platform {

// True when a and b are equal with ASCII letters compared without regard to case (header names,
// hexadecimal digests, switches). Other characters must match exactly.
bool EqualsIgnoringCase(const std::wstring& a, const std::wstring& b);

// The value of a run of decimal digits (no sign, no blanks), or false when `digits` is empty,
// holds anything else, or the value exceeds `max`.
bool ParseDecimal(const std::wstring& digits, std::uint64_t max, std::uint64_t& value);

}  // namespace platform
