// Cleaning and checking the names of zip items so that an item never lands outside the directory
// it is extracted into, on Windows or elsewhere.
#pragma once

#include <cstddef>
#include <string>

// Makes an item's name relative. Repeatedly, from the start of what remains: drops a drive
// prefix ("D:"), a leading "\\" or "/", or everything up to and including the first "\\..\\",
// "\\../", "/../" or "/..\\"; then removes every "." and ".." segment with its separator. Stops
// when nothing changes. "D:\\tools\\a.dll" becomes "tools\\a.dll", "a/b/../../c" becomes "c".
std::wstring SanitizeItemName(const std::wstring& name);

// True when a cleaned name may be used below a base directory: no component is a device name
// (CON, PRN, AUX, NUL, COM1-9, LPT1-9, also with an extension), none ends in "." or " ", no
// colon (alternate data streams) or NUL, no "." or ".." segment, and at most kZipMaxPath units.
bool IsSafeItemName(const std::wstring& name);

// True when an absolute path's components (after a drive prefix) are ones Windows will not
// redirect: no device names, no colon, no NUL, no component ending in a dot or a space other than
// "." and "..".
bool IsSafeAbsolutePath(const std::wstring& path);

// True when the path starts with "\\" or "/", or its second unit is ":".
bool IsAbsoluteItemPath(const std::wstring& path);

// The length in UTF-16 units (a character beyond U+FFFF takes two).
std::size_t Utf16Length(const std::wstring& text);
