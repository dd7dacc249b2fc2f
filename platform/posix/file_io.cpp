#include "platform/file_io.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <utility>
#include <vector>

#include "platform/fault.h"
#include "platform/fs.h"
#include "platform/text.h"

namespace platform {
namespace {

constexpr std::int64_t kTicksPerSecond = 10000000;

timespec ToTimespec(FileTime time) {
  if (time == 0) return timespec{0, UTIME_OMIT};
  timespec out{};
  out.tv_sec = static_cast<time_t>(static_cast<std::int64_t>(time / kTicksPerSecond) - kFileTimeUnixEpochSeconds);
  out.tv_nsec = static_cast<long>(time % kTicksPerSecond) * 100;
  return out;
}

int Fd(const Owned<FileTraits>& file) { return static_cast<int>(file.get()); }

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

}  // namespace

void FileTraits::Close(Handle h) { close(static_cast<int>(h)); }

std::wstring CurrentDirectory() {
  std::vector<char> buffer(PATH_MAX);
  while (getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE) return {};
    buffer.resize(buffer.size() * 2);
  }
  return FromUtf8(buffer.data());
}

FileTime LocalTimeToFileTime(int year, int month, int day, int hour, int minute, int second) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (year < 1601 || month < 1 || month > 12 || day < 1 || hour < 0 || hour > 23 || minute < 0 || minute > 59 ||
      second < 0 || second > 59)
    return 0;
  if (day > kDays[month - 1] + (month == 2 && IsLeapYear(year) ? 1 : 0)) return 0;
  tm calendar{};
  calendar.tm_year = year - 1900;
  calendar.tm_mon = month - 1;
  calendar.tm_mday = day;
  calendar.tm_hour = hour;
  calendar.tm_min = minute;
  calendar.tm_sec = second;
  calendar.tm_isdst = -1;
  errno = 0;
  time_t seconds = mktime(&calendar);
  if (seconds == static_cast<time_t>(-1) && errno != 0) return 0;
  std::int64_t since1601 = static_cast<std::int64_t>(seconds) + kFileTimeUnixEpochSeconds;
  if (since1601 <= 0) return 0;
  return static_cast<FileTime>(since1601) * kTicksPerSecond;
}

bool SharedReadFile::Open(const std::wstring& path) noexcept {
  Close();
  if (FaultHere(FaultPoint::kOpen)) return false;
  int fd = open(NativePath(path).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat info {};
  if (fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
    close(fd);
    return false;
  }
  file_.reset(fd);
  return true;
}

namespace {

// Reads until `size` bytes are in or the file ends, repeating calls that a signal interrupted;
// `readSome(out, size, done)` is one read or pread call. The count read, or -1 on an error.
template <typename ReadSome>
std::int64_t ReadFully(void* buffer, std::size_t size, ReadSome readSome) {
  std::int64_t total = 0;
  auto* out = static_cast<unsigned char*>(buffer);
  while (size > 0) {
    const ssize_t got = readSome(out, size, total);
    if (got < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (got == 0) break;
    total += got;
    out += got;
    size -= static_cast<std::size_t>(got);
  }
  return total;
}

}  // namespace

std::int64_t SharedReadFile::Read(void* buffer, std::size_t size) noexcept {
  if (!IsOpen() || FaultHere(FaultPoint::kRead)) return -1;
  const int fd = Fd(file_);
  return ReadFully(buffer, size, [fd](void* out, std::size_t n, std::int64_t) { return read(fd, out, n); });
}

std::int64_t SharedReadFile::ReadAt(std::int64_t offset, void* buffer, std::size_t size) noexcept {
  if (!IsOpen() || offset < 0 || FaultHere(FaultPoint::kRead)) return -1;
  const int fd = Fd(file_);
  return ReadFully(buffer, size, [fd, offset](void* out, std::size_t n, std::int64_t done) {
    return pread(fd, out, n, static_cast<off_t>(offset + done));
  });
}

std::int64_t SharedReadFile::Seek(std::int64_t offset, SeekOrigin origin) noexcept {
  if (!IsOpen()) return -1;
  int whence = origin == SeekOrigin::kBegin ? SEEK_SET : origin == SeekOrigin::kCurrent ? SEEK_CUR : SEEK_END;
  const off_t position = lseek(Fd(file_), static_cast<off_t>(offset), whence);
  return position < 0 ? -1 : static_cast<std::int64_t>(position);
}

bool HeldFile::Open(const std::wstring& path, bool create) noexcept {
  (void)Close();
  if (FaultHere(FaultPoint::kOpen)) return false;
  const int fd = open(NativePath(path).c_str(), O_RDWR | O_CLOEXEC | (create ? O_CREAT | O_TRUNC : 0), 0666);
  if (fd < 0) return false;
  file_.reset(fd);
  path_ = path;
  return true;
}

std::int64_t HeldFile::Read(void* buffer, std::size_t size) noexcept {
  if (!IsOpen() || FaultHere(FaultPoint::kRead)) return -1;
  const int fd = Fd(file_);
  return ReadFully(buffer, size, [fd](void* out, std::size_t n, std::int64_t) { return read(fd, out, n); });
}

bool HeldFile::Write(const void* data, std::size_t size) noexcept {
  if (!IsOpen() || FaultHere(FaultPoint::kWrite)) return false;
  auto* in = static_cast<const unsigned char*>(data);
  while (size > 0) {
    const ssize_t written = write(Fd(file_), in, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    in += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

bool HeldFile::Seek(std::int64_t offset) noexcept {
  return IsOpen() && offset >= 0 && lseek(Fd(file_), static_cast<off_t>(offset), SEEK_SET) >= 0;
}

bool HeldFile::RenameTo(const std::wstring& path) noexcept {
  if (!IsOpen() || FaultHere(FaultPoint::kRename)) return false;
  if (std::rename(NativePath(path_).c_str(), NativePath(path).c_str()) != 0) return false;
  path_ = path;
  return true;
}

void HeldFile::HandTo(SharedReadFile& reader) noexcept {
  reader.Close();
  if (!IsOpen()) return;
  (void)lseek(Fd(file_), 0, SEEK_SET);
  reader.file_ = std::move(file_);
}

bool HeldFile::Close() noexcept {
  if (!IsOpen()) return true;
  return close(static_cast<int>(file_.release())) == 0;
}

bool OutputFile::Create(const std::wstring& path, std::uint32_t attributes) noexcept {
  Close();
  if (FaultHere(FaultPoint::kOpen)) return false;
  const mode_t mode = (attributes & kFileReadOnly) ? 0444 : 0666;
  const std::string native = NativePath(path);
  // A new file takes its mode at creation; only an existing one needs a second look.
  int fd = open(native.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
  if (fd >= 0) {
    file_.reset(fd);
    return true;
  }
  if (errno != EEXIST) return false;
  fd = open(native.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
  if (fd < 0) return false;
  // An existing file keeps its old mode through O_TRUNC: bring its write bits in line with the item.
  struct stat info {};
  if (fstat(fd, &info) == 0) {
    const mode_t current = info.st_mode & 07777;
    const mode_t wanted = (attributes & kFileReadOnly) ? (current & ~mode_t{0222}) : (current | S_IWUSR);
    // Ignored on failure: a file of another owner keeps its mode, and writing still works.
    if (wanted != current) (void)!fchmod(fd, wanted);
  }
  file_.reset(fd);
  return true;
}

bool OutputFile::Write(const void* data, std::size_t size) noexcept {
  if (!file_ || FaultHere(FaultPoint::kWrite)) return false;
  auto* in = static_cast<const unsigned char*>(data);
  while (size > 0) {
    ssize_t written = write(Fd(file_), in, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    in += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

bool OutputFile::SetTimes(FileTime /*creation: no settable counterpart*/, FileTime access, FileTime write) noexcept {
  if (!file_) return false;
  const timespec times[2] = {ToTimespec(access), ToTimespec(write)};
  return futimens(Fd(file_), times) == 0;
}

bool PrepareToReplace(const std::wstring& path) noexcept {
  const std::string native = NativePath(path);
  struct stat info {};
  if (lstat(native.c_str(), &info) != 0 || !S_ISREG(info.st_mode) || (info.st_mode & S_IWUSR)) return false;
  return chmod(native.c_str(), info.st_mode | S_IWUSR) == 0;
}

}  // namespace platform
