// The segmented engine: redirects and size on the caller's thread, one worker thread per byte
// range into part files beside the target, then joining in index order and the MD5 check.
#include <algorithm>
#include <cstring>
#include <new>
#include <thread>
#include <vector>

#include "download/file_wrapper.h"
#include "download/http_get.h"
#include "platform/clock.h"
#include "platform/fs.h"
#include "platform/hash.h"
#include "platform/text.h"

namespace {

constexpr std::size_t kCopyBlock = 1 << 20;  // joining and the checksum read 1 MiB at a time
constexpr int kMaxSegments = 4;
constexpr int kRedirectProbes = 5;
constexpr std::size_t kMaxDirectoryPath = 520;

// Holds the workers until all of them exist; a cancelled gate lets them end without running.
class StartGate {
 public:
  void Open(bool run) {
    {
      std::lock_guard<std::mutex> hold(mutex_);
      open_ = true;
      run_ = run;
    }
    opened_.notify_all();
  }
  bool WaitOpen() {
    std::unique_lock<std::mutex> hold(mutex_);
    opened_.wait(hold, [this] { return open_; });
    return run_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable opened_;
  bool open_ = false;
  bool run_ = false;
};

// The entry of a segment thread: runs the segment's worker once the gate opens.
void SegmentThreadEntry(DownloadSegment* segment, StartGate* gate) noexcept {
  try {
    if (gate->WaitOpen()) segment->owner->SegmentWorker(*segment);
  } catch (...) {
    // Out of memory inside a worker: the segment stays unfinished and the run fails.
  }
}

std::wstring PartName(const std::wstring& target, int index) { return target + L"_" + std::to_wstring(index); }
std::wstring TmpPartName(const std::wstring& target) { return target + L"_tmp"; }
// What the numbered parts belong to; parts without a matching record are not continued.
std::wstring PartsRecordName(const std::wstring& target) { return target + L"_parts"; }

std::string ReadSmallFile(const std::wstring& path) {
  std::string text;
  std::FILE* file = platform::OpenFile(path, "rb");
  if (!file) return text;
  char block[512];
  std::size_t n;
  while (text.size() < 4096 && (n = std::fread(block, 1, sizeof block, file)) > 0) text.append(block, n);
  std::fclose(file);
  return text;
}

}  // namespace

int CHttpGet::SegmentCount(std::uint64_t total) {
  if (total <= 5242880) return 1;
  if (total <= 52428800) return 2;
  if (total <= 104857600) return 3;
  return 4;
}

void CHttpGet::AddDownloaded(std::int64_t delta) {
  std::lock_guard<std::recursive_mutex> hold(m_ProgressLock.m_cs);
  m_uDownloaded += static_cast<std::uint64_t>(delta);
}

void CHttpGet::ReportProgress(std::uint64_t downloaded, std::uint32_t n) {
  // Runs with the progress lock held.
  if (!m_pCallback || m_uTotal == 0) return;
  const std::uint64_t done = std::min(downloaded, m_uTotal);
  const int percent = static_cast<int>(static_cast<double>(done) * 100.0 / static_cast<double>(m_uTotal));
  m_SpeedMeter.Add(n);
  const std::uint32_t kib = m_SpeedMeter.CurrentRate() >> 10;
  const int answer = m_pCallback->OnProgress(static_cast<std::uint32_t>(m_uTotal), percent, kib, m_nCookie);
  if (answer == 2) m_nDeleteOnStop.store(2);
  if (answer == 1 || answer == 2) m_pStopEvent->Set();
}

bool CHttpGet::StopRequested() {
  if (!m_pStopEvent->IsSet()) return false;
  SetResult(DL_STOPPED);
  return true;
}

void CHttpGet::DiscardIfAsked(const DownloadSegment& segment) {
  // A part that is missing already needs no deleting.
  if (m_nDeleteOnStop.load() == 2) (void)platform::RemoveFile(segment.partFileName);
}

void CHttpGet::SegmentWorker(DownloadSegment& segment) {
  CFileWrapper files;
  const std::int64_t length = segment.rangeEnd - segment.rangeStart;
  std::vector<char> buffer(kReceiveBlock);

  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    // The pause between attempts ends early when a stop is requested.
    if (attempt > 0) m_pStopEvent->Wait(kRetryPauseMs);
    if (StopRequested()) {
      DiscardIfAsked(segment);
      return;
    }

    std::wstring address;
    platform::Socket socket = m_Sockets.ConnectServer(segment.host, segment.port, address);
    if (socket == platform::kInvalidSocket) {
      SetResult(DL_CONNECT_FAILED);
      continue;
    }
    if (m_pCallback && m_nCookie != 0) m_pCallback->OnServerAddress(address, m_nCookie);

    std::int64_t have = 0;
    if (segment.useRange) {
      have = files.GetFileSize32(segment.partFileName);
    } else {
      // Without ranges the single part always starts afresh; a missing one is fine.
      (void)platform::RemoveFile(segment.partFileName);
    }
    AddDownloaded(have);
    if (have >= length) {
      platform::CloseSocket(socket);
      ++m_nFinished;
      return;
    }

    std::FILE* part = files.OpenForUpdate(segment.partFileName);
    if (!part) {
      platform::CloseSocket(socket);
      SetResult(DL_PART_OPEN_FAILED);
      AddDownloaded(-have);
      continue;
    }

    const bool requested =
        segment.useRange ? SendRangeRequest(socket, segment.host, segment.path,
                                            segment.rangeStart + static_cast<int>(have), segment.rangeEnd)
                         : SendPlainRequest(socket, segment.host, segment.path);
    if (!requested) {
      platform::CloseSocket(socket);  // no-op when a failed send closed it already
      std::fclose(part);
      AddDownloaded(-have);
      if (segment.useRange) continue;
      return;
    }
    if (std::fseek(part, static_cast<long>(have), SEEK_SET) != 0) {
      platform::CloseSocket(socket);
      std::fclose(part);
      SetResult(DL_PART_OPEN_FAILED);
      AddDownloaded(-have);
      continue;
    }

    std::int64_t received = 0;
    std::uint32_t lastData = platform::TickCount();
    int failure = 0;
    for (;;) {
      if (StopRequested()) {
        platform::CloseSocket(socket);
        std::fclose(part);
        DiscardIfAsked(segment);
        return;
      }
      if (received >= length - have) {
        std::fclose(part);
        platform::CloseSocket(socket);
        ++m_nFinished;
        return;
      }
      // One wait of at most 50 ms for data or for the stop request: the network sets the pace,
      // and a stop is still seen within one wait.
      const int ready = platform::WaitReadable(socket, kStopPollMs);
      int n = -1;
      if (ready == 0) {
        if (platform::TickCount() - lastData < m_Sockets.m_nReceiveTimeoutMs) continue;
      } else if (ready > 0) {
        n = platform::Receive(socket, buffer.data(), buffer.size());
      }
      if (n <= 0) {
        failure = DL_RECV_FAILED;
        break;
      }
      lastData = platform::TickCount();
      received += n;
      // Each block is flushed at once, so the part's size is always a valid resume point.
      const bool written = std::fwrite(buffer.data(), 1, static_cast<std::size_t>(n), part) ==
                               static_cast<std::size_t>(n) &&
                           std::fflush(part) == 0;
      {
        std::lock_guard<std::recursive_mutex> hold(m_ProgressLock.m_cs);
        m_uDownloaded += static_cast<std::uint32_t>(n);
        ReportProgress(m_uDownloaded, static_cast<std::uint32_t>(n));
      }
      if (!written) {
        // A full disk must not pass for a complete part: retry from what reached the file.
        failure = DL_PART_OPEN_FAILED;
        break;
      }
    }
    SetResult(failure);
    platform::CloseSocket(socket);
    std::fclose(part);
    if (!segment.useRange) return;
    AddDownloaded(-(received + have));
  }
}

bool CHttpGet::PrepareParts(const std::wstring& target) {
  // Parts of another file (another size or version on the server) must not be continued: keep
  // a record of what they belong to and start afresh when it is missing or different. The split
  // itself follows from the total, so parts of the same file line up again.
  const std::string expected = "total=" + std::to_string(m_uTotal) + "\n" + platform::ToUtf8(m_strValidator) + "\n";
  const std::wstring record = PartsRecordName(target);
  const std::string recorded = ReadSmallFile(record);
  if (recorded == expected) return true;
  for (int index = 0; index < kMaxSegments; ++index) (void)platform::RemoveFile(PartName(target, index));
  std::FILE* file = platform::OpenFile(record, "wb");
  if (!file) return false;  // parts then start afresh again on the next run
  const bool written = std::fwrite(expected.data(), 1, expected.size(), file) == expected.size();
  return std::fclose(file) == 0 && written;
}

int CHttpGet::JoinPart(const DownloadSegment& segment, std::FILE* target, std::vector<char>& buffer) {
  std::FILE* part = platform::OpenFile(segment.partFileName, "rb");
  if (!part) return DL_PART_READ_FAILED;
  bool ok = std::fseek(target, segment.rangeStart, SEEK_SET) == 0;
  std::size_t left = static_cast<std::size_t>(segment.rangeEnd - segment.rangeStart);
  while (ok && left > 0) {
    const std::size_t n = std::fread(buffer.data(), 1, std::min(left, buffer.size()), part);
    if (n == 0) break;  // a part shorter than its range leaves the rest as it is
    ok = std::fwrite(buffer.data(), 1, n, target) == n;
    left -= n;
  }
  std::fclose(part);
  return ok ? 0 : DL_OUTPUT_OPEN_FAILED;
}

bool CHttpGet::DownloadSegments(const std::wstring& host, const std::wstring& path, const std::wstring& target,
                                const std::wstring& md5, int port) {
  CFileWrapper files;
  if (files.IsFile(target)) {
    if (!m_bReplaceExisting) {
      SetResult(DL_ALREADY_PRESENT);
      return true;
    }
    (void)platform::RemoveFile(target);  // a target that stays makes the join fail with 9
  }

  m_pStopEvent.reset(new (std::nothrow) CStopEvent);
  if (!m_pStopEvent) {
    SetResult(DL_NO_EVENT);
    return false;
  }

  const int count = (m_bAllowSegments && m_bRangesSupported) ? SegmentCount(m_uTotal) : 1;
  m_pSegments.reset(new (std::nothrow) DownloadSegment[static_cast<std::size_t>(count)]);
  std::vector<std::thread> threads;
  try {
    threads.reserve(static_cast<std::size_t>(count));
  } catch (const std::bad_alloc&) {
    m_pSegments.reset();
  }
  if (!m_pSegments) {
    SetResult(DL_NO_MEMORY);
    return false;
  }

  const int total = static_cast<int>(m_uTotal);
  const int chunk = total / count;
  for (int i = 0; i < count; ++i) {
    DownloadSegment& segment = m_pSegments[static_cast<std::size_t>(i)];
    segment.host = host;
    segment.port = port;
    segment.path = path;
    segment.partFileName = m_bRangesSupported ? PartName(target, i) : TmpPartName(target);
    segment.useRange = m_bRangesSupported;
    segment.owner = this;
    segment.rangeStart = i * chunk;
    segment.rangeEnd = i + 1 < count ? segment.rangeStart + chunk : total;
  }
  if (m_bRangesSupported) (void)PrepareParts(target);  // without a record, parts just restart

  // Every worker exists before any runs.
  StartGate gate;
  for (int i = 0; i < count; ++i) {
    try {
      threads.emplace_back(&SegmentThreadEntry, &m_pSegments[static_cast<std::size_t>(i)], &gate);
    } catch (...) {
      SetResult(DL_THREAD_FAILED);
      gate.Open(false);
      for (std::thread& thread : threads) thread.join();
      m_pSegments.reset();
      return false;
    }
  }
  gate.Open(true);
  for (std::thread& thread : threads) thread.join();

  if (m_nFinished.load() != count) {
    m_pSegments.reset();
    return false;  // the parts stay for a later run
  }

  std::FILE* out = platform::OpenFile(target, "wb");
  if (!out) {
    SetResult(DL_OUTPUT_OPEN_FAILED);
    m_pSegments.reset();
    return false;
  }
  std::vector<char> buffer(kCopyBlock);
  int joined = 0;
  for (int i = 0; i < count && joined == 0; ++i) joined = JoinPart(m_pSegments[static_cast<std::size_t>(i)], out, buffer);
  if (std::fclose(out) != 0 && joined == 0) joined = DL_OUTPUT_OPEN_FAILED;

  if (joined != 0) {
    (void)platform::RemoveFile(target);
    if (joined == DL_OUTPUT_OPEN_FAILED) {
      // The parts are whole; only the target could not be written. Keep them for a rerun.
      SetResult(DL_OUTPUT_OPEN_FAILED);
      m_pSegments.reset();
      return false;
    }
    for (int i = 0; i < count; ++i) (void)platform::RemoveFile(m_pSegments[static_cast<std::size_t>(i)].partFileName);
    (void)platform::RemoveFile(PartsRecordName(target));
    SetResult(DL_PART_READ_FAILED);
    m_pSegments.reset();
    return false;
  }

  for (int i = 0; i < count; ++i) (void)platform::RemoveFile(m_pSegments[static_cast<std::size_t>(i)].partFileName);
  (void)platform::RemoveFile(PartsRecordName(target));
  m_pSegments.reset();

  if (!md5.empty() && !platform::EqualsIgnoringCase(FileMd5Hex(target), md5)) {
    (void)platform::RemoveFile(target);
    SetResult(DL_CHECKSUM_MISMATCH);
    return false;
  }
  SetResult(DL_OK);
  return true;
}

bool CHttpGet::RunDownload(const std::wstring& host, const std::wstring& path, const std::wstring&,
                           const std::wstring& target, const std::wstring& md5, int port) {
  if (!ProbeSize(host, path, port)) return false;
  // The caller may refuse a size (no room for it) before any part file is made.
  if (m_pCallback && !m_pCallback->OnSizeKnown(m_uTotal, m_nCookie)) {
    SetResult(DL_STOPPED);
    return false;
  }
  return DownloadSegments(host, path, target, md5, port);
}

std::wstring FileMd5Hex(const std::wstring& path) {
  std::FILE* file = platform::OpenFile(path, "rb");
  if (!file) return {};
  const std::vector<std::uint8_t> digest = platform::DigestOfStream(platform::DigestKind::kMd5, file, kCopyBlock);
  std::fclose(file);
  return platform::HexUpper(digest);
}

bool MakeDirectoryPath(const std::wstring& path) {
  if (path.empty() || path.size() > kMaxDirectoryPath) return false;
  const std::size_t root = platform::PathRootLength(path);
  if (root == 0) return false;
  auto make = [](const std::wstring& level) {
    return platform::CreateDirectoryLevel(level) || platform::IsDirectory(level);
  };
  for (std::size_t at = path.find(L'\\', root); at != std::wstring::npos; at = path.find(L'\\', at + 1))
    (void)make(path.substr(0, at));  // only the last level decides
  return make(path);
}

namespace {

std::wstring ResolveRedirects(CHttpGet& http, const std::wstring& url) {
  std::wstring current = url;
  for (int probe = 0; probe < kRedirectProbes; ++probe) {
    std::wstring target;
    if (!http.ProbeRedirect(current, target)) return current;
    current = target;
  }
  return {};  // five redirects in a row
}

}  // namespace

int DownloadFile(const wchar_t* url, const wchar_t* saveLocation, IDownloadCallBack* callback, int cookie,
                 int allowSegments, int replaceExisting, int nameFromExtension) {
  if (!url || !*url || !saveLocation || !*saveLocation) return DL_BAD_ARGUMENT;
  try {
    CHttpGet http(callback, allowSegments, cookie, replaceExisting);
    const std::wstring finalUrl = ResolveRedirects(http, url);

    const std::size_t md5At = finalUrl.find(L"md5=");
    const std::wstring md5 = md5At == std::wstring::npos ? std::wstring() : finalUrl.substr(md5At + 4);

    std::wstring host, path, fileName;
    int port = 0;
    CHttpGet::ParseUrl(finalUrl, host, path, fileName, port);
    if (host.empty() || path.empty() || fileName.empty()) return DL_BAD_URL;

    std::wstring target = saveLocation;
    if (!nameFromExtension) {
      target += fileName;
    } else {
      const std::size_t dot = fileName.rfind(L'.');
      if (dot != std::wstring::npos && dot + 1 < fileName.size()) target += L"." + fileName.substr(dot + 1);
    }

    const std::size_t slash = target.rfind(L'\\');
    if (slash != std::wstring::npos) {
      const std::wstring dir = target.substr(0, slash);
      if ((dir.empty() || dir[0] == L'\\' || !platform::IsDirectory(dir)) && !MakeDirectoryPath(dir))
        return DL_BAD_ARGUMENT;
    }

    if (callback) callback->OnSavePath(target, cookie);
    (void)http.RunDownload(host, path, fileName, target, md5, port);
    return http.Result();
  } catch (const std::bad_alloc&) {
    return DL_NO_MEMORY;
  }
}
