#include "unzip/archive_stream.h"

#include <algorithm>
#include <cstring>

namespace {

voidpf ZCALLBACK OpenCallback(voidpf, const void* stream, int) { return const_cast<void*>(stream); }

uLong ZCALLBACK ReadCallback(voidpf, voidpf stream, void* buffer, uLong size) {
  const std::int64_t got = static_cast<CArchiveStream*>(stream)->Read(buffer, size);
  return got < 0 ? 0 : static_cast<uLong>(got);
}

uLong ZCALLBACK WriteCallback(voidpf, voidpf, const void*, uLong) { return 0; }

ZPOS64_T ZCALLBACK TellCallback(voidpf, voidpf stream) {
  return static_cast<ZPOS64_T>(static_cast<CArchiveStream*>(stream)->Tell());
}

long ZCALLBACK SeekCallback(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
  const platform::SeekOrigin from = origin == ZLIB_FILEFUNC_SEEK_CUR   ? platform::SeekOrigin::kCurrent
                                    : origin == ZLIB_FILEFUNC_SEEK_END ? platform::SeekOrigin::kEnd
                                                                       : platform::SeekOrigin::kBegin;
  return static_cast<CArchiveStream*>(stream)->Seek(static_cast<std::int64_t>(offset), from) < 0 ? -1 : 0;
}

// The stream's owner closes the file; minizip only lets go of it.
int ZCALLBACK CloseCallback(voidpf, voidpf) { return 0; }

int ZCALLBACK ErrorCallback(voidpf, voidpf stream) {
  return static_cast<CArchiveStream*>(stream)->Failed() ? 1 : 0;
}

}  // namespace

CArchiveStream::CArchiveStream() {
  for (Window& window : windows_) window.data.reset(new unsigned char[kBufferSize]);
}

bool CArchiveStream::Open(const std::wstring& path) noexcept {
  Close();
  if (!owned_.Open(path)) return false;
  file_ = &owned_;
  position_ = 0;
  return true;
}

void CArchiveStream::Attach(platform::SharedReadFile& file) noexcept {
  Close();
  file_ = &file;
  // The archive starts at the start of the file, wherever the caller (hashing it) left it.
  position_ = 0;
}

void CArchiveStream::Close() noexcept {
  owned_.Close();
  file_ = nullptr;
  for (Window& window : windows_) window.length = 0;
  position_ = 0;
  failed_ = false;
}

std::int64_t CArchiveStream::ReadFromFile(void* buffer, std::size_t size) noexcept {
  const std::int64_t got = file_->ReadAt(position_, buffer, size);
  if (got < 0) failed_ = true;
  return got;
}

std::int64_t CArchiveStream::Read(void* buffer, std::size_t size) noexcept {
  if (!IsOpen()) return -1;
  auto* out = static_cast<unsigned char*>(buffer);
  std::int64_t total = 0;
  while (size > 0) {
    bool served = false;
    for (std::size_t w = 0; w < 2 && !served; ++w) {
      const Window& window = windows_[w];
      if (position_ < window.start || position_ >= window.start + static_cast<std::int64_t>(window.length)) continue;
      const std::size_t offset = static_cast<std::size_t>(position_ - window.start);
      const std::size_t take = std::min(size, window.length - offset);
      std::memcpy(out, window.data.get() + offset, take);
      out += take;
      size -= take;
      position_ += static_cast<std::int64_t>(take);
      total += static_cast<std::int64_t>(take);
      lastUsed_ = w;
      served = true;
    }
    if (served) continue;
    if (size >= kBufferSize) {  // large reads (item data) bypass the windows
      const std::int64_t got = ReadFromFile(out, size);
      if (got < 0) return total > 0 ? total : -1;
      position_ += got;
      return total + got;
    }
    Window& window = windows_[1 - lastUsed_];
    const std::int64_t start = position_;
    const std::int64_t got = ReadFromFile(window.data.get(), kBufferSize);
    window.start = start;
    window.length = got > 0 ? static_cast<std::size_t>(got) : 0;
    lastUsed_ = 1 - lastUsed_;
    position_ = start;
    if (got <= 0) return total > 0 ? total : got;
  }
  return total;
}

std::int64_t CArchiveStream::Seek(std::int64_t offset, platform::SeekOrigin origin) noexcept {
  if (!IsOpen()) return -1;
  std::int64_t target = offset;
  if (origin == platform::SeekOrigin::kCurrent) {
    target = position_ + offset;
  } else if (origin == platform::SeekOrigin::kEnd) {
    const std::int64_t end = file_->Seek(0, platform::SeekOrigin::kEnd);
    if (end < 0) {
      failed_ = true;
      return -1;
    }
    target = end + offset;
  }
  if (target < 0) return -1;
  position_ = target;
  return target;
}

zlib_filefunc64_def CArchiveStream::Functions() {
  zlib_filefunc64_def functions{};
  functions.zopen64_file = OpenCallback;
  functions.zread_file = ReadCallback;
  functions.zwrite_file = WriteCallback;
  functions.ztell64_file = TellCallback;
  functions.zseek64_file = SeekCallback;
  functions.zclose_file = CloseCallback;
  functions.zerror_file = ErrorCallback;
  functions.opaque = nullptr;
  return functions;
}
