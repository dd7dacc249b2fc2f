#include "unzip/file_writers.h"

#include <algorithm>

namespace unzip {
namespace {

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }
bool IsAsciiLetter(wchar_t c) { return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z'); }
wchar_t AsciiLower(wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

bool MayBeSameCharacter(wchar_t a, wchar_t b) {
  if (a == b || (IsSeparator(a) && IsSeparator(b)) || AsciiLower(a) == AsciiLower(b)) return true;
  const bool wideA = static_cast<std::uint32_t>(a) >= 0x80, wideB = static_cast<std::uint32_t>(b) >= 0x80;
  return (wideA && (wideB || IsAsciiLetter(b))) || (wideB && IsAsciiLetter(a));
}

}  // namespace

bool MayBeSameFile(const std::wstring& a, const std::wstring& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), MayBeSameCharacter);
}

CFileWriters::CFileWriters(unsigned threads) {
  try {
    for (unsigned i = 0; i < std::min(threads, kMaxThreads); ++i) threads_.emplace_back([this] { Run(); });
  } catch (...) {
    // Fewer threads than asked for (none: the caller's thread writes) still write every file.
  }
}

CFileWriters::~CFileWriters() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  workAvailable_.notify_all();
  for (std::thread& thread : threads_) thread.join();
}

void CFileWriters::Submit(FileJob job) {
  if (threads_.empty()) {
    Write(job);
    return;
  }
  std::unique_lock<std::mutex> lock(mutex_);
  const std::size_t size = job.bytes.size;
  jobDone_.wait(lock, [&] {
    const bool fits = pending_.empty() || (pendingBytes_ + size <= kWaitingBudget && pending_.size() < kMaxWaiting);
    return fits && !Busy(job.path);
  });
  if (failure_.index >= 0 && job.item.index > failure_.index) return;  // the extraction ends before it
  pending_.push_back(Pending{job.path, size, job.item.index});
  pendingBytes_ += size;
  queue_.push_back(std::move(job));
  lock.unlock();
  workAvailable_.notify_one();
}

void CFileWriters::WaitForDirectory(const std::wstring& directory) {
  std::unique_lock<std::mutex> lock(mutex_);
  jobDone_.wait(lock, [&] {
    return std::none_of(pending_.begin(), pending_.end(), [&](const Pending& file) {
      const std::size_t length = file.path.size();
      return length <= directory.size() && (length == directory.size() || IsSeparator(directory[length])) &&
             MayBeSameFile(file.path, directory.substr(0, length));
    });
  });
}

void CFileWriters::Finish() {
  std::unique_lock<std::mutex> lock(mutex_);
  jobDone_.wait(lock, [&] { return pending_.empty(); });
}

void CFileWriters::Abandon() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (const FileJob& job : queue_) {
    const auto entry = std::find_if(pending_.begin(), pending_.end(),
                                    [&](const Pending& file) { return file.index == job.item.index; });
    pendingBytes_ -= entry->bytes;
    pending_.erase(entry);
  }
  queue_.clear();
  jobDone_.wait(lock, [&] { return pending_.empty(); });
}

WriteFailure CFileWriters::Failure() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return failure_;
}

bool CFileWriters::Busy(const std::wstring& path) const {
  return std::any_of(pending_.begin(), pending_.end(),
                     [&](const Pending& file) { return MayBeSameFile(file.path, path); });
}

void CFileWriters::Run() noexcept {
  for (;;) {
    std::unique_lock<std::mutex> lock(mutex_);
    workAvailable_.wait(lock, [&] { return stopping_ || !queue_.empty(); });
    if (stopping_) return;
    FileJob job = std::move(queue_.front());
    queue_.pop_front();
    // A file after the earliest failure is not written: the extraction stops there.
    const bool skip = failure_.index >= 0 && job.item.index > failure_.index;
    lock.unlock();
    if (!skip) Write(job);
    job.bytes = ZipItemBytes{};  // the memory is free before the budget counts it so

    lock.lock();
    const auto entry = std::find_if(pending_.begin(), pending_.end(),
                                    [&](const Pending& file) { return file.index == job.item.index; });
    pendingBytes_ -= entry->bytes;
    pending_.erase(entry);
    lock.unlock();
    jobDone_.notify_all();
  }
}

void CFileWriters::Write(FileJob& job) noexcept {
  ZipResult result;
  try {
    result = WriteItemFile(job.path, job.item, job.bytes.data.get(), job.bytes.size);
  } catch (...) {  // out of memory for a path: nothing crosses the thread's entry
    result = ZIP_WRITE_ERROR;
  }
  if (result == ZIP_OK) return;
  std::lock_guard<std::mutex> lock(mutex_);
  if (failure_.index >= 0 && failure_.index < job.item.index) return;
  failure_.index = job.item.index;
  failure_.result = result;
  try {
    failure_.name = job.item.name;
  } catch (...) {
    failure_.name.clear();  // the failure counts without its name
  }
}

}  // namespace unzip
