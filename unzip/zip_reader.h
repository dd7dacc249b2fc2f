// Reading the installer's package: a zip archive read through minizip, one item at a time.
//
// ZipOpenFile gives a handle; ZipGetItem describes an item (index -1: the item count), with its
// name cleaned so that it stays below the base directory, Windows attributes and UTC file times;
// ZipExtractItem writes one item below the base directory set with ZipSetBaseDir; ZipClose frees
// the handle. A handle is used by one thread at a time.
//
// Names are read as UTF-8 whatever the entry's flag bits say. After cleaning, a name never leads
// outside the base directory: drive prefixes, leading separators and "." and ".." segments are
// removed, and names that Windows would send elsewhere (device names such as CON or COM1, a
// component ending in a dot or a space, a colon, an embedded NUL, more than 259 UTF-16 units) are
// refused with ZIP_CORRUPT before anything is written.
//
// An extraction succeeds only when the item's data decompressed to exactly its declared size and
// matched its CRC-32. An empty file item is created empty and answers ZIP_INFLATE_ERROR (no read
// ever delivers its end); callers count that combination with uncompressedSize 0 as extracted.
#pragma once

#include <cstdint>
#include <string>

#include "platform/file_io.h"

// The values are shown to the user in decimal, so they are fixed.
enum ZipResult : std::int32_t {
  ZIP_OK = 0,
  ZIP_NO_FILE = 0x200,          // archive not openable or not a zip; output file not creatable
  ZIP_WRITE_ERROR = 0x400,      // writing the output file failed
  ZIP_CORRUPT = 0x700,          // local header disagrees with the central directory, bad CRC-32,
                                // unsupported method, or an unsafe name
  ZIP_READ_ERROR = 0x800,       // the local extra field cannot be reached or read in full
  ZIP_BAD_PASSWORD = 0x1000,    // an encrypted item (minizip here cannot decrypt)
  ZIP_BAD_ARGS = 0x10000,       // no handle, an index out of range, an unusable base directory
  ZIP_WRONG_MODE = 0x80000,     // the handle is not a reader handle
  ZIP_INFLATE_ERROR = 0x5000000,  // the data cannot be read or decompressed, or ends early
};

// Longest name or path in UTF-16 units; the 260-unit buffers of Windows paths hold the terminator.
constexpr std::size_t kZipMaxPath = 259;

struct ZipItemInfo {
  std::int32_t index = 0;  // the item's index; for index -1, the number of items
  std::wstring name;       // cleaned, relative; "\\" or "/" separate levels
  std::uint32_t attributes = 0;  // platform::FileAttribute bits
  platform::FileTime accessTime = 0;
  platform::FileTime creationTime = 0;
  platform::FileTime writeTime = 0;
  std::int32_t compressedSize = 0;
  std::int32_t uncompressedSize = 0;
};

class CZipReader;

// Returned by ZipOpenFile and owned by the caller until ZipClose.
struct ZipReaderHandle {
  std::int32_t kind;  // kZipReaderKind for a reader
  CZipReader* reader;
};
constexpr std::int32_t kZipReaderKind = 1;

// Opens the archive for shared reading (others may read it, not write it) and keeps the file open
// until ZipClose. The base directory starts as the current directory. Null when the file cannot
// be opened or is not a zip archive. password may be null (none); it is kept, but minizip is built
// without decryption, so encrypted items answer ZIP_BAD_PASSWORD with or without one.
[[nodiscard]] ZipReaderHandle* ZipOpenFile(const std::wstring& path, const char* password);

// Sets the directory later extractions write below; a trailing separator is added when missing.
// ZIP_BAD_ARGS for an empty directory or one that leaves no room for a name.
[[nodiscard]] ZipResult ZipSetBaseDir(ZipReaderHandle* handle, const std::wstring& directory);

// Fills info for item index (0 .. count-1), or the count for index -1. Reading the same index
// again answers from a one-item cache; ascending indexes step forward through the directory.
[[nodiscard]] ZipResult ZipGetItem(ZipReaderHandle* handle, int index, ZipItemInfo* info);

// Extracts item index to target, a path relative to the base directory (normally the item's
// cleaned name; an absolute path is used as it is). Directory items create the directory chain.
// Files are created anew with the item's attributes, an existing one replaced even when it is
// read-only, and receive the item's three times. After a failure the partial output stays.
[[nodiscard]] ZipResult ZipExtractItem(ZipReaderHandle* handle, int index, const std::wstring& target);

// Closes the archive and frees the handle, which is invalid afterwards.
ZipResult ZipClose(ZipReaderHandle* handle);

// Creates root (one level) when given and missing, then every level of directory below it.
// Failures are not reported: they show up when a file in the directory cannot be created.
void MakeDirectoryChain(const std::wstring* root, const std::wstring& directory);
