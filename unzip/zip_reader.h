// Reading the installer's package: a zip archive read through minizip, one item at a time.
//
// CZipReader opens an archive (or reads one from a file its caller holds open) and closes it in
// its destructor. GetItem describes an item (index -1: the item count), with its name cleaned so
// that it stays below the base directory, Windows attributes and UTC file times; ExtractItem
// writes one item below the base directory set with SetBaseDir. A reader is used by one thread
// at a time.
//
// Names are read as UTF-8 whatever the entry's flag bits say. After cleaning, a name never leads
// outside the base directory: drive prefixes, leading separators and "." and ".." segments are
// removed, and names that Windows would send elsewhere (device names such as CON or COM1, a
// component ending in a dot or a space, a colon, an embedded NUL, more than 259 UTF-16 units) are
// refused with ZIP_CORRUPT before anything is written.
//
// An extraction succeeds only when the item's data decompressed to exactly its declared size and
// matched its CRC-32. Items up to kZipWholeItemLimit bytes are inflated whole with libdeflate;
// larger ones, and any item libdeflate cannot take whole, stream through zlib (minizip), which
// also decides the result of a damaged item. An empty file item is created empty and answers
// ZIP_INFLATE_ERROR (no read ever delivers its end); callers count that combination with
// uncompressedSize 0 as extracted.
#pragma once

#include <cstdint>
#include <memory>
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
  ZIP_BAD_ARGS = 0x10000,       // no open archive, an index out of range, an unusable base directory
  ZIP_WRONG_MODE = 0x80000,     // kept for its value: handles of another kind no longer exist
  ZIP_INFLATE_ERROR = 0x5000000,  // the data cannot be read or decompressed, or ends early
};

// Longest name or path in UTF-16 units; the 260-unit buffers of Windows paths hold the terminator.
constexpr std::size_t kZipMaxPath = 259;

// Items up to this many uncompressed bytes are inflated whole, in memory.
constexpr std::int32_t kZipWholeItemLimit = 8 << 20;

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

// An item's data inflated whole and checked (ReadWholeItem).
struct ZipItemBytes {
  std::unique_ptr<unsigned char[]> data;
  std::size_t size = 0;
};

class CZipReader {
 public:
  CZipReader();
  ~CZipReader();
  CZipReader(const CZipReader&) = delete;
  CZipReader& operator=(const CZipReader&) = delete;

  // Opens the archive for shared reading (others may read it, not write it) and keeps the file
  // open until Close. False when the file cannot be opened or is not a zip archive. password may
  // be null (none); it is kept, but minizip is built without decryption, so encrypted items
  // answer ZIP_BAD_PASSWORD with or without one.
  [[nodiscard]] bool Open(const std::wstring& path, const char* password = nullptr);
  // The same for an archive the caller holds open: it is read from its start and must stay open
  // until Close, which leaves it open.
  [[nodiscard]] bool Open(platform::SharedReadFile& file, const char* password = nullptr);
  // Closes the archive (a closed reader answers ZIP_BAD_ARGS); the base directory stays.
  void Close() noexcept;
  bool IsOpen() const noexcept;
  // The number of items; 0 when closed.
  int Count() const noexcept;

  // Sets the directory later extractions write below; a trailing separator is added when missing,
  // and a relative directory is taken from the current directory. ZIP_BAD_ARGS for an empty
  // directory or one that leaves no room for a name. The base starts as the current directory.
  [[nodiscard]] ZipResult SetBaseDir(const std::wstring& directory);
  const std::wstring& BaseDir() const noexcept;

  // Fills info for item index (0 .. count-1), or the count for index -1. Reading the same index
  // again answers from a one-item cache; ascending indexes step forward through the directory.
  [[nodiscard]] ZipResult GetItem(int index, ZipItemInfo& info);

  // Extracts item index to target, a path relative to the base directory (normally the item's
  // cleaned name; an absolute path is used as it is). Directory items create the directory chain.
  // Files are created anew with the item's attributes, an existing one replaced even when it is
  // read-only, and receive the item's three times. After a failure the partial output stays.
  [[nodiscard]] ZipResult ExtractItem(int index, const std::wstring& target);

  // The full output path of target (as ExtractItem forms it) and the directory it lies in (empty
  // when target names no directory). ZIP_CORRUPT when target is unsafe or the path too long.
  [[nodiscard]] ZipResult OutputPath(const std::wstring& target, std::wstring& path, std::wstring& directory) const;

  // Inflates an ordinary file item of at most kZipWholeItemLimit bytes whole and checks its size
  // and CRC-32. False for anything else (a larger, encrypted, damaged or unusual item): extract
  // that one with ExtractItem, which gives its exact result.
  [[nodiscard]] bool ReadWholeItem(int index, ZipItemBytes& bytes);

  // The sum of every item's uncompressed size as the central directory declares it; -1 when the
  // directory cannot be walked.
  [[nodiscard]] std::int64_t UncompressedTotal();

 private:
  class Archive;
  std::unique_ptr<Archive> archive_;
  std::wstring baseDir_;
};

// Writes an item's inflated data as a new file at path (an existing file is replaced even when
// read-only), with the item's attributes given at creation and its times set on the open file
// (not for an empty file, as ExtractItem leaves those). ZIP_NO_FILE or ZIP_WRITE_ERROR on failure.
[[nodiscard]] ZipResult WriteItemFile(const std::wstring& path, const ZipItemInfo& item, const unsigned char* data,
                                      std::size_t size);
