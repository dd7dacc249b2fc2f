#include "platform/text.h"

namespace platform {
namespace {

constexpr wchar_t kReplacement = 0xFFFD;

void AppendUtf8(std::string& out, char32_t c) {
  if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = kReplacement;
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

}  // namespace

std::string ToUtf8(const std::wstring& text) {
  std::string out;
  out.reserve(text.size());
  for (wchar_t c : text) AppendUtf8(out, static_cast<char32_t>(c));
  return out;
}

// Invalid input becomes one U+FFFD per maximal ill-formed subpart, as Windows' converter does.
std::wstring FromUtf8(const std::string& bytes) {
  static constexpr char32_t kMinimum[] = {0, 0x80, 0x800, 0x10000};
  std::wstring out;
  out.reserve(bytes.size());
  const size_t n = bytes.size();
  size_t i = 0;
  while (i < n) {
    const unsigned char lead = static_cast<unsigned char>(bytes[i]);
    const int extra = lead < 0x80 ? 0 : (lead >> 5) == 0x6 ? 1 : (lead >> 4) == 0xE ? 2 : (lead >> 3) == 0x1E ? 3 : -1;
    if (extra < 0) {
      out += kReplacement;
      ++i;
      continue;
    }
    char32_t c = extra == 0 ? lead : extra == 1 ? (lead & 0x1F) : extra == 2 ? (lead & 0x0F) : (lead & 0x07);
    int taken = 0;
    while (taken < extra && i + 1 + taken < n &&
           (static_cast<unsigned char>(bytes[i + 1 + taken]) & 0xC0) == 0x80) {
      c = (c << 6) | (static_cast<unsigned char>(bytes[i + 1 + taken]) & 0x3F);
      ++taken;
    }
    if (taken < extra) {  // cut short: the lead and the continuation bytes seen so far are one error
      out += kReplacement;
      i += 1 + static_cast<size_t>(taken);
      continue;
    }
    if (c < kMinimum[extra] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
      out += kReplacement;  // overlong or out of range: the lead alone is the error
      ++i;
      continue;
    }
    out += static_cast<wchar_t>(c);
    i += 1 + static_cast<size_t>(extra);
  }
  return out;
}

// Natively the "ANSI" code page is UTF-8.
std::string ToAnsi(const std::wstring& text) { return ToUtf8(text); }
std::wstring FromAnsi(const std::string& bytes) { return FromUtf8(bytes); }

}  // namespace platform
