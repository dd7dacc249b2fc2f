#include "unzip/zip_reader.h"

#include <libdeflate.h>
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
bool IsEmptyArchive(CArchiveStream& stream) {
  constexpr std::size_t kRecordSize = 22;
  std::vector<unsigned char> record(kRecordSize + 65535 + 1);
  if (stream.Seek(0, platform::SeekOrigin::kBegin) != 0) return false;
  const std::int64_t size = stream.Read(record.data(), record.size());
  if (size < static_cast<std::int64_t>(kRecordSize) || size > static_cast<std::int64_t>(kRecordSize + 65535)) return false;
  static constexpr unsigned char kEmpty[20] = {'P', 'K', 5, 6};  // zero disks, items, size and offset
  const std::size_t commentLength = record[20] | (record[21] << 8);
  return std::equal(kEmpty, kEmpty + 20, record.begin()) && kRecordSize + commentLength == static_cast<std::size_t>(size);
}

// Creates the output file anew; an existing read-only file is made replaceable first. Trying the
// creation first spares a fresh installation a look at every file.
bool CreateReplacing(platform::OutputFile& file, const std::wstring& path, std::uint32_t attributes) {
  return file.Create(path, attributes) || (platform::PrepareToReplace(path) && file.Create(path, attributes));
}

struct DecompressorDeleter {
  void operator()(libdeflate_decompressor* decompressor) const { libdeflate_free_decompressor(decompressor); }
};

}  // namespace

// The open archive: minizip's handle over the stream, the position in the central directory and
// the one-item cache.
class CZipReader::Archive {
 public:
  ~Archive() {
    if (archive) unzClose(archive);
  }

  // Opens minizip over the stream, which is open already.
  bool Open(const char* password);

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

  // Positions minizip on item index and fills the cache for it, unless it holds that item already.
  ZipResult Describe(int index) {
    if (ZipResult moved = MoveTo(index); moved != ZIP_OK) return moved;
    return cachedIndex == index ? ZIP_OK : ReadCurrent(index);
  }
  // The cache for item index, without moving when it holds that item already.
  ZipResult Cached(int index) { return cachedIndex == index ? ZIP_OK : Describe(index); }

  // Describes the current entry into the cache.
  ZipResult ReadCurrent(int index);
  // Streams the current entry's data through minizip into file.
  ZipResult StreamInto(platform::OutputFile& file);

  CArchiveStream stream;
  unzFile archive = nullptr;
  int count = 0;
  int entry = -1;  // minizip's current entry, -1 when unknown

  ZipItemInfo cachedInfo;
  int cachedIndex = -1;
  int cachedMethod = 0;
  bool cachedEncrypted = false;
  std::uint32_t cachedCrc = 0;
  std::int64_t cachedDataStart = 0;  // file offset of the item's data

  bool hasPassword = false;
  std::string password;
  std::unique_ptr<unsigned char[]> transferBuffer;
  std::vector<char> nameBuffer = std::vector<char>(65536);
  std::unique_ptr<libdeflate_decompressor, DecompressorDeleter> decompressor;
  std::vector<unsigned char> compressed;  // input of whole-item inflation, reused
};

bool CZipReader::Archive::Open(const char* password) {
  if (password != nullptr) {
    hasPassword = true;
    this->password = password;
  }
  zlib_filefunc64_def functions = CArchiveStream::Functions();
  archive = unzOpen2_64(&stream, &functions);
  // An archive without items needs no minizip: its reader has no items.
  if (archive == nullptr) return IsEmptyArchive(stream);
  unz_global_info64 global{};
  if (unzGetGlobalInfo64(archive, &global) != UNZ_OK) return false;
  count = global.number_entry > static_cast<ZPOS64_T>(INT_MAX) ? INT_MAX : static_cast<int>(global.number_entry);
  return true;
}

ZipResult CZipReader::Archive::ReadCurrent(int index) {
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
  cachedCrc = static_cast<std::uint32_t>(entryInfo.crc);
  cachedDataStart = dataStart;
  return ZIP_OK;
}

ZipResult CZipReader::Archive::StreamInto(platform::OutputFile& file) {
  const ZipItemInfo& item = cachedInfo;
  // A failed open is not examined here: the first read then fails.
  (void)unzOpenCurrentFile3(archive, nullptr, nullptr, 0, nullptr);
  if (!transferBuffer) transferBuffer.reset(new unsigned char[kTransferBufferSize]);
  unsigned char* const buffer = transferBuffer.get();

  // minizip never delivers more than the declared size; the end is reached when a read delivers
  // the last declared byte. A read that delivers nothing before that (a stream that ends early,
  // and always for an empty item) ends the loop with ZIP_INFLATE_ERROR.
  ZipResult result;
  for (;;) {
    const int count = unzReadCurrentFile(archive, buffer, kTransferBufferSize);
    if (count < 0) {
      result = ZIP_INFLATE_ERROR;
      break;
    }
    if (count > 0 && !file.Write(buffer, static_cast<std::size_t>(count))) {
      result = ZIP_WRITE_ERROR;
      break;
    }
    if (count > 0 && unzeof(archive) == 1) {
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
  // minizip compares the CRC-32 only once every declared byte was read.
  const int closed = unzCloseCurrentFile(archive);
  if (closed == UNZ_CRCERROR && (result == ZIP_OK || result == ZIP_INFLATE_ERROR)) result = ZIP_CORRUPT;
  return result;
}

CZipReader::CZipReader() : baseDir_(platform::CurrentDirectory()) {
  if (!EndsWithSeparator(baseDir_)) baseDir_ += L'\\';
}

CZipReader::~CZipReader() = default;

bool CZipReader::Open(const std::wstring& path, const char* password) {
  Close();
  auto archive = std::make_unique<Archive>();
  if (!archive->stream.Open(path) || !archive->Open(password)) return false;
  archive_ = std::move(archive);
  return true;
}

bool CZipReader::Open(platform::SharedReadFile& file, const char* password) {
  Close();
  if (!file.IsOpen()) return false;
  auto archive = std::make_unique<Archive>();
  archive->stream.Attach(file);
  if (!archive->Open(password)) return false;
  archive_ = std::move(archive);
  return true;
}

void CZipReader::Close() noexcept { archive_.reset(); }

bool CZipReader::IsOpen() const noexcept { return archive_ != nullptr; }

int CZipReader::Count() const noexcept { return archive_ ? archive_->count : 0; }

const std::wstring& CZipReader::BaseDir() const noexcept { return baseDir_; }

ZipResult CZipReader::SetBaseDir(const std::wstring& directory) {
  if (directory.empty()) return ZIP_BAD_ARGS;  // it would make the base the root of the drive
  std::wstring base = directory;
  if (platform::PathRootLength(base) == 0 && !IsAbsoluteItemPath(base)) {
    base = platform::CurrentDirectory();
    if (!EndsWithSeparator(base)) base += L'\\';
    base += directory;
  }
  if (!EndsWithSeparator(base)) base += L'\\';
  // A name must still fit.
  if (Utf16Length(base) >= kZipMaxPath) return ZIP_BAD_ARGS;
  baseDir_ = std::move(base);
  return ZIP_OK;
}

ZipResult CZipReader::GetItem(int index, ZipItemInfo& info) {
  info.index = 0;
  info.name.clear();
  info.uncompressedSize = 0;
  if (!archive_ || index < -1 || index >= archive_->count) return ZIP_BAD_ARGS;
  if (index == -1) {
    info = ZipItemInfo{};
    info.index = archive_->count;
    return ZIP_OK;
  }
  if (ZipResult described = archive_->Cached(index); described != ZIP_OK) return described;
  info = archive_->cachedInfo;
  return ZIP_OK;
}

ZipResult CZipReader::OutputPath(const std::wstring& target, std::wstring& path, std::wstring& directory) const {
  // The target must not lead anywhere the item's cleaned name could not, and must fit a path
  // buffer; nothing is created otherwise.
  const bool absolute = IsAbsoluteItemPath(target);
  if (absolute ? !IsSafeAbsolutePath(target) : !IsSafeItemName(target)) return ZIP_CORRUPT;
  path = absolute ? target : baseDir_ + target;
  if (Utf16Length(path) > kZipMaxPath) return ZIP_CORRUPT;
  const std::size_t split = path.find_last_of(L"\\/");
  directory = split == std::wstring::npos ? std::wstring() : path.substr(0, split);
  return ZIP_OK;
}

ZipResult CZipReader::ExtractItem(int index, const std::wstring& target) {
  if (!archive_ || index < 0 || index >= archive_->count) return ZIP_BAD_ARGS;
  if (ZipResult described = archive_->Describe(index); described != ZIP_OK) return described;
  const ZipItemInfo& item = archive_->cachedInfo;

  std::wstring output, directory;
  if (ZipResult checked = OutputPath(target, output, directory); checked != ZIP_OK) return checked;
  if (item.attributes & platform::kFileDirectory) {
    // Ignored on failure: a file in a directory that could not be made cannot be created either.
    (void)platform::CreateDirectoryChain(output);
    return ZIP_OK;
  }

  // Data minizip would hand over undecoded never reaches the disk.
  if (archive_->cachedMethod != kMethodStored && archive_->cachedMethod != kMethodDeflated) return ZIP_CORRUPT;
  // minizip is built without decryption (NOUNCRYPT): no password can open an encrypted item, and
  // handing it one makes even a plain item fail to open. The password is therefore kept, never used.
  if (archive_->cachedEncrypted) return ZIP_BAD_PASSWORD;

  // Ignored on failure, as above.
  if (!directory.empty()) (void)platform::CreateDirectoryChain(directory);
  // An empty item takes the streaming path, which answers for it as it always has.
  ZipItemBytes bytes;
  if (item.uncompressedSize > 0 && ReadWholeItem(index, bytes)) return WriteItemFile(output, item, bytes.data.get(), bytes.size);

  platform::OutputFile file;
  if (!CreateReplacing(file, output, item.attributes)) return ZIP_NO_FILE;
  return archive_->StreamInto(file);
}

bool CZipReader::ReadWholeItem(int index, ZipItemBytes& bytes) {
  bytes = ZipItemBytes{};
  if (!archive_ || index < 0 || index >= archive_->count || archive_->Cached(index) != ZIP_OK) return false;
  Archive& a = *archive_;
  const ZipItemInfo& item = a.cachedInfo;
  const std::int64_t size = item.uncompressedSize, packed = item.compressedSize;
  if ((item.attributes & platform::kFileDirectory) || a.cachedEncrypted || size < 0 || size > kZipWholeItemLimit ||
      packed < 0)
    return false;
  // Deflate adds 5 bytes per stored block of at most 64 KiB to data it cannot shrink; a larger
  // declared size is nothing a tool writes, and zlib decides about it.
  if (a.cachedMethod == kMethodStored ? packed != size
                                      : a.cachedMethod != kMethodDeflated || packed > size + size / 1024 + 64)
    return false;
  if (size == 0) return a.cachedCrc == 0;  // nothing to inflate: only the CRC-32 can disagree
  // Bytes declared but none stored: nothing to hand libdeflate (not even a buffer); the stream
  // reports the damage.
  if (packed == 0) return false;

  std::unique_ptr<unsigned char[]> out(new unsigned char[static_cast<std::size_t>(size)]);
  unsigned char* input = out.get();
  if (a.cachedMethod == kMethodDeflated) {
    a.compressed.resize(static_cast<std::size_t>(packed));
    input = a.compressed.data();
  }
  if (a.stream.Seek(a.cachedDataStart, platform::SeekOrigin::kBegin) < 0 ||
      a.stream.Read(input, static_cast<std::size_t>(packed)) != packed)
    return false;
  if (a.cachedMethod == kMethodDeflated) {
    if (!a.decompressor) a.decompressor.reset(libdeflate_alloc_decompressor());
    if (!a.decompressor || libdeflate_deflate_decompress(a.decompressor.get(), input, static_cast<std::size_t>(packed),
                                                         out.get(), static_cast<std::size_t>(size),
                                                         nullptr) != LIBDEFLATE_SUCCESS)
      return false;
  }
  if (libdeflate_crc32(0, out.get(), static_cast<std::size_t>(size)) != a.cachedCrc) return false;
  bytes.data = std::move(out);
  bytes.size = static_cast<std::size_t>(size);
  return true;
}

std::int64_t CZipReader::UncompressedTotal() {
  if (!archive_) return -1;
  Archive& a = *archive_;
  if (a.count == 0) return 0;
  std::int64_t total = 0;
  // Walking the directory moves minizip's current entry: the next item is found from the start.
  a.entry = -1;
  for (int i = 0; i < a.count; ++i) {
    if ((i == 0 ? unzGoToFirstFile(a.archive) : unzGoToNextFile(a.archive)) != UNZ_OK) return -1;
    unz_file_info64 entryInfo{};
    if (unzGetCurrentFileInfo64(a.archive, &entryInfo, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) return -1;
    total += static_cast<std::int64_t>(entryInfo.uncompressed_size);
  }
  return total;
}

ZipResult WriteItemFile(const std::wstring& path, const ZipItemInfo& item, const unsigned char* data, std::size_t size) {
  platform::OutputFile file;
  if (!CreateReplacing(file, path, item.attributes)) return ZIP_NO_FILE;
  if (size > 0) {
    if (!file.Write(data, size)) return ZIP_WRITE_ERROR;
    // Ignored on failure: the file is complete; only its times stay those of now.
    (void)file.SetTimes(item.creationTime, item.accessTime, item.writeTime);
  }
  return ZIP_OK;
}
