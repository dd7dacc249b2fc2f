#include "unzip/zip_reader.h"

#include <unzip.h>

#include <algorithm>
#include <climits>
#include <memory>
#include <vector>

#include "platform/fs.h"
#include "platform/text.h"
#include "unzip/archive_stream.h"
#include "unzip/zip_names.h"

namespace {

constexpr std::size_t kTransferBufferSize = 16384;
constexpr std::uint16_t kExtendedTimestampId = 0x5455;  // "UT"
constexpr int kMethodStored = 0;
constexpr int kMethodDeflated = 8;
constexpr std::int64_t kTicksPerSecond = 10000000;

bool EndsWithSeparator(const std::wstring& path) {
  return !path.empty() && (path.back() == L'\\' || path.back() == L'/');
}

// Windows attributes of an entry. Entries made on FAT-like hosts (DOS, Windows NT, VFAT, OS/2 HPFS)
// carry them in the low byte; others carry a Unix mode in the high 16 bits.
std::uint32_t AttributesOf(const unz_file_info64& entry) {
  const std::uint32_t external = static_cast<std::uint32_t>(entry.external_fa);
  const unsigned host = static_cast<unsigned>(entry.version >> 8) & 0xFF;
  if (host == 0 || host == 7 || host == 11 || host == 14)
    return external & (platform::kFileReadOnly | platform::kFileHidden | platform::kFileSystem |
                       platform::kFileDirectory | platform::kFileArchive);
  std::uint32_t attributes = platform::kFileArchive;
  if ((external & 0x00800000u) == 0) attributes |= platform::kFileReadOnly;  // no owner write bit
  if (external & 0x40000000u) attributes |= platform::kFileDirectory;         // S_IFDIR
  return attributes;
}

// The DOS date and time are the local clock of the machine that made the archive.
platform::FileTime DosTimeToFileTime(std::uint32_t dosDateTime) {
  const unsigned date = dosDateTime >> 16, time = dosDateTime & 0xFFFF;
  return platform::LocalTimeToFileTime(static_cast<int>(date >> 9) + 1980, static_cast<int>((date >> 5) & 15),
                                       static_cast<int>(date & 31), static_cast<int>(time >> 11),
                                       static_cast<int>((time >> 5) & 63), static_cast<int>(time & 31) * 2);
}

// Applies the first extended-timestamp block ("UT") of a local extra field: a flags byte, then the
// modification, access and creation times that its bits 0, 1 and 2 announce, each as 32-bit
// signed seconds since 1970 UTC.
void ApplyExtendedTimestamp(const std::vector<unsigned char>& extra, ZipItemInfo& info) {
  const std::size_t length = extra.size();
  if (length <= 4) return;
  auto u16 = [&](std::size_t at) { return static_cast<std::uint16_t>(extra[at] | (extra[at + 1] << 8)); };
  std::size_t position = 0;
  while (position + 4 < length) {
    const std::uint16_t id = u16(position);
    const std::uint16_t size = u16(position + 2);
    if (id != kExtendedTimestampId) {
      position += 4 + static_cast<std::size_t>(size);
      continue;
    }
    const unsigned flags = extra[position + 4];
    std::size_t at = position + 5;
    platform::FileTime* const fields[] = {&info.writeTime, &info.accessTime, &info.creationTime};
    for (unsigned bit = 0; bit < 3; ++bit) {
      if (!(flags & (1u << bit))) continue;
      if (at + 4 <= length) {
        const std::int32_t seconds = static_cast<std::int32_t>(
            static_cast<std::uint32_t>(extra[at]) | (static_cast<std::uint32_t>(extra[at + 1]) << 8) |
            (static_cast<std::uint32_t>(extra[at + 2]) << 16) | (static_cast<std::uint32_t>(extra[at + 3]) << 24));
        *fields[bit] =
            static_cast<platform::FileTime>(seconds + platform::kFileTimeUnixEpochSeconds) * kTicksPerSecond;
      }
      at += 4;
    }
    return;
  }
}

// minizip takes an end-of-central-directory record at offset 0 for "not found", so it cannot open
// an archive without items. Recognises exactly that: one record for zero items, then its comment.
bool IsEmptyArchive(const std::wstring& path) {
  constexpr std::size_t kRecordSize = 22;
  platform::SharedReadFile file;
  if (!file.Open(path)) return false;
  std::vector<unsigned char> record(kRecordSize + 65535 + 1);
  const std::int64_t size = file.Read(record.data(), record.size());
  if (size < static_cast<std::int64_t>(kRecordSize) || size > static_cast<std::int64_t>(kRecordSize + 65535)) return false;
  static constexpr unsigned char kEmpty[20] = {'P', 'K', 5, 6};  // zero disks, items, size and offset
  const std::size_t commentLength = record[20] | (record[21] << 8);
  return std::equal(kEmpty, kEmpty + 20, record.begin()) && kRecordSize + commentLength == static_cast<std::size_t>(size);
}

}  // namespace

class CZipReader {
 public:
  ~CZipReader() {
    if (archive) unzClose(archive);  // closes the stream too
  }

  // Makes item index minizip's current entry: forward from where it stands, or from the first
  // entry when the index lies behind. Stepping stops at the end of the directory.
  ZipResult MoveTo(int index) {
    if (entry < 0 || index < entry) {
      if (unzGoToFirstFile(archive) != UNZ_OK) {
        entry = -1;
        return ZIP_CORRUPT;
      }
      entry = 0;
    }
    while (entry < index) {
      if (unzGoToNextFile(archive) != UNZ_OK) {
        entry = -1;
        return ZIP_CORRUPT;
      }
      ++entry;
    }
    return ZIP_OK;
  }

  // Describes the current entry into the cache.
  ZipResult ReadCurrent(int index);

  CArchiveStream stream;
  unzFile archive = nullptr;
  int count = 0;
  int entry = -1;  // minizip's current entry, -1 when unknown

  ZipItemInfo cachedInfo;
  int cachedIndex = -1;
  int cachedMethod = 0;
  bool cachedEncrypted = false;

  bool hasPassword = false;
  std::string password;
  std::unique_ptr<unsigned char[]> transferBuffer;
  std::vector<char> nameBuffer = std::vector<char>(65536);
  std::wstring baseDir;
};

ZipResult CZipReader::ReadCurrent(int index) {
  unz_file_info64 entryInfo{};
  if (unzGetCurrentFileInfo64(archive, &entryInfo, nameBuffer.data(), static_cast<uLong>(nameBuffer.size()),
                              nullptr, 0, nullptr, 0) != UNZ_OK)
    return ZIP_CORRUPT;

  // Opening the entry raw checks its local header against the directory without starting the
  // decompressor. The local extra field ends where the data begins; that position already counts
  // any bytes in front of the archive (a self-extractor's stub), which minizip's own extra-field
  // read leaves out, so the field is read here.
  if (unzOpenCurrentFile3(archive, nullptr, nullptr, 1, nullptr) != UNZ_OK) return ZIP_CORRUPT;
  const std::int64_t dataStart = static_cast<std::int64_t>(unzGetCurrentFileZStreamPos64(archive));
  const int extraLength = unzGetLocalExtrafield(archive, nullptr, 0);
  (void)unzCloseCurrentFile(archive);  // opened raw: there is no CRC verdict to look at
  if (extraLength < 0 || dataStart < extraLength) return ZIP_READ_ERROR;
  std::vector<unsigned char> extra(static_cast<std::size_t>(extraLength));
  if (extraLength > 0 && (stream.Seek(dataStart - extraLength, platform::SeekOrigin::kBegin) < 0 ||
                          stream.Read(extra.data(), extra.size()) != extraLength))
    return ZIP_READ_ERROR;

  ZipItemInfo info;
  info.index = index;
  const std::size_t nameLength = std::min<std::size_t>(entryInfo.size_filename, nameBuffer.size());
  info.name = SanitizeItemName(platform::FromUtf8(std::string(nameBuffer.data(), nameLength)));
  if (!IsSafeItemName(info.name)) return ZIP_CORRUPT;
  info.attributes = AttributesOf(entryInfo);
  info.compressedSize = static_cast<std::int32_t>(entryInfo.compressed_size);
  info.uncompressedSize = static_cast<std::int32_t>(entryInfo.uncompressed_size);
  info.accessTime = info.creationTime = info.writeTime = DosTimeToFileTime(static_cast<std::uint32_t>(entryInfo.dosDate));
  ApplyExtendedTimestamp(extra, info);

  cachedInfo = std::move(info);
  cachedIndex = index;
  cachedMethod = static_cast<int>(entryInfo.compression_method);
  cachedEncrypted = (entryInfo.flag & 1) != 0;
  return ZIP_OK;
}

namespace {

ZipResult CheckHandle(const ZipReaderHandle* handle) {
  if (handle == nullptr) return ZIP_BAD_ARGS;
  if (handle->kind != kZipReaderKind) return ZIP_WRONG_MODE;
  if (handle->reader == nullptr) return ZIP_BAD_ARGS;
  return ZIP_OK;
}

}  // namespace

ZipReaderHandle* ZipOpenFile(const std::wstring& path, const char* password) {
  auto reader = std::make_unique<CZipReader>();
  if (password != nullptr) {
    reader->hasPassword = true;
    reader->password = password;
  }
  reader->baseDir = platform::CurrentDirectory();
  if (!EndsWithSeparator(reader->baseDir)) reader->baseDir += L'\\';

  if (!reader->stream.Open(path)) return nullptr;
  zlib_filefunc64_def functions = CArchiveStream::Functions();
  reader->archive = unzOpen2_64(&reader->stream, &functions);
  if (reader->archive == nullptr) {
    // minizip has closed the stream. An archive without items needs none: its reader has no items.
    if (!IsEmptyArchive(path)) return nullptr;
    return new ZipReaderHandle{kZipReaderKind, reader.release()};
  }
  unz_global_info64 global{};
  if (unzGetGlobalInfo64(reader->archive, &global) != UNZ_OK) return nullptr;
  reader->count = global.number_entry > static_cast<ZPOS64_T>(INT_MAX) ? INT_MAX : static_cast<int>(global.number_entry);
  return new ZipReaderHandle{kZipReaderKind, reader.release()};
}

ZipResult ZipSetBaseDir(ZipReaderHandle* handle, const std::wstring& directory) {
  if (ZipResult check = CheckHandle(handle); check != ZIP_OK) return check;
  std::wstring base = directory;
  if (!EndsWithSeparator(base)) base += L'\\';
  // An empty directory would make the base the root of the drive, and a name must still fit.
  if (directory.empty() || Utf16Length(base) >= kZipMaxPath) return ZIP_BAD_ARGS;
  handle->reader->baseDir = std::move(base);
  return ZIP_OK;
}

ZipResult ZipGetItem(ZipReaderHandle* handle, int index, ZipItemInfo* info) {
  if (info != nullptr) {
    info->index = 0;
    info->name.clear();
    info->uncompressedSize = 0;
  }
  if (ZipResult check = CheckHandle(handle); check != ZIP_OK) return check;
  CZipReader& reader = *handle->reader;
  if (info == nullptr || index < -1 || index >= reader.count) return ZIP_BAD_ARGS;
  if (index == reader.cachedIndex && index != -1) {
    *info = reader.cachedInfo;
    return ZIP_OK;
  }
  if (index == -1) {
    *info = ZipItemInfo{};
    info->index = reader.count;
    return ZIP_OK;
  }
  if (ZipResult moved = reader.MoveTo(index); moved != ZIP_OK) return moved;
  if (ZipResult read = reader.ReadCurrent(index); read != ZIP_OK) return read;
  *info = reader.cachedInfo;
  return ZIP_OK;
}

void MakeDirectoryChain(const std::wstring* root, const std::wstring& directory) {
  // Creation results are ignored on purpose: a missing level shows up when a file in it cannot be
  // created.
  if (root != nullptr && !platform::PathExists(*root)) (void)platform::CreateDirectoryLevel(*root);
  if (directory.empty()) return;
  const std::size_t last = directory.find_last_of(L"\\/");
  if (last != std::wstring::npos && last != 0) MakeDirectoryChain(root, directory.substr(0, last));
  const std::wstring full = root != nullptr ? *root + directory : directory;
  if (!platform::PathExists(full)) (void)platform::CreateDirectoryLevel(full);
}

ZipResult ZipExtractItem(ZipReaderHandle* handle, int index, const std::wstring& target) {
  if (ZipResult check = CheckHandle(handle); check != ZIP_OK) return check;
  CZipReader& reader = *handle->reader;
  if (index < 0 || index >= reader.count) return ZIP_BAD_ARGS;
  if (ZipResult moved = reader.MoveTo(index); moved != ZIP_OK) return moved;
  if (reader.cachedIndex != index) {
    if (ZipResult read = reader.ReadCurrent(index); read != ZIP_OK) return read;
  }
  const ZipItemInfo& item = reader.cachedInfo;

  // The target must not lead anywhere the item's cleaned name could not, and must fit a path
  // buffer; nothing is created otherwise.
  const bool absolute = IsAbsoluteItemPath(target);
  if (absolute ? !IsSafeAbsolutePath(target) : !IsSafeItemName(target)) return ZIP_CORRUPT;
  const std::wstring* root = absolute ? nullptr : &reader.baseDir;

  if (item.attributes & platform::kFileDirectory) {
    if (Utf16Length(absolute ? target : reader.baseDir + target) > kZipMaxPath) return ZIP_CORRUPT;
    MakeDirectoryChain(root, target);
    return ZIP_OK;
  }

  const std::size_t split = target.find_last_of(L"\\/");
  const std::wstring directory = split == std::wstring::npos ? std::wstring() : target.substr(0, split + 1);
  const std::wstring output = absolute ? target : reader.baseDir + target;
  if (Utf16Length(output) > kZipMaxPath) return ZIP_CORRUPT;

  // Data minizip would hand over undecoded never reaches the disk.
  if (reader.cachedMethod != kMethodStored && reader.cachedMethod != kMethodDeflated) return ZIP_CORRUPT;
  // minizip is built without decryption (NOUNCRYPT): no password can open an encrypted item, and
  // handing it one makes even a plain item fail to open. The password is therefore kept, never used.
  if (reader.cachedEncrypted) return ZIP_BAD_PASSWORD;

  MakeDirectoryChain(root, directory);
  // Ignored on failure: a file that stays read-only is reported as not creatable just below.
  (void)platform::PrepareToReplace(output);
  platform::OutputFile file;
  if (!file.Create(output, item.attributes)) return ZIP_NO_FILE;

  // A failed open is not examined here: the first read then fails.
  (void)unzOpenCurrentFile3(reader.archive, nullptr, nullptr, 0, nullptr);
  if (!reader.transferBuffer) reader.transferBuffer.reset(new unsigned char[kTransferBufferSize]);
  unsigned char* const buffer = reader.transferBuffer.get();

  // minizip never delivers more than the declared size; the end is reached when a read delivers
  // the last declared byte. A read that delivers nothing before that (a stream that ends early,
  // and always for an empty item) ends the loop with ZIP_INFLATE_ERROR.
  ZipResult result;
  for (;;) {
    const int count = unzReadCurrentFile(reader.archive, buffer, kTransferBufferSize);
    if (count < 0) {
      result = ZIP_INFLATE_ERROR;
      break;
    }
    if (count > 0 && !file.Write(buffer, static_cast<std::size_t>(count))) {
      result = ZIP_WRITE_ERROR;
      break;
    }
    if (count > 0 && unzeof(reader.archive) == 1) {
      // Ignored on failure: the file is complete; only its times stay those of now.
      (void)file.SetTimes(item.creationTime, item.accessTime, item.writeTime);
      result = ZIP_OK;
      break;
    }
    if (count == 0) {
      result = ZIP_INFLATE_ERROR;
      break;
    }
  }
  file.Close();
  // minizip compares the CRC-32 only once every declared byte was read.
  const int closed = unzCloseCurrentFile(reader.archive);
  if (closed == UNZ_CRCERROR && (result == ZIP_OK || result == ZIP_INFLATE_ERROR)) result = ZIP_CORRUPT;
  return result;
}

ZipResult ZipClose(ZipReaderHandle* handle) {
  if (ZipResult check = CheckHandle(handle); check != ZIP_OK) return check;
  delete handle->reader;
  delete handle;
  return ZIP_OK;
}
