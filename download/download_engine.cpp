// The engine's run: probe, name the target, fetch (in pieces or whole), with retries by time and
// a ticker that reports status; the first failure that ends the download is its result.
#include <algorithm>
#include <utility>

#include "download/engine.h"
#include "platform/clock.h"
#include "platform/fs.h"
#include "platform/log.h"
#include "platform/text.h"

// Calls Tick every tickMs on a thread of its own from construction to destruction, so that the
// window hears about a download also while no byte arrives.
class CHttpGet::Engine::Ticker {
 public:
  explicit Ticker(Engine& engine) : engine_(engine), thread_([this] { Loop(); }) {}
  ~Ticker() {
    {
      std::lock_guard<std::mutex> hold(mutex_);
      done_ = true;
    }
    wake_.notify_all();
    thread_.join();
  }

 private:
  void Loop() {
    std::unique_lock<std::mutex> hold(mutex_);
    while (!wake_.wait_for(hold, std::chrono::milliseconds(engine_.timing_.tickMs), [this] { return done_; })) {
      hold.unlock();
      engine_.Tick();
      hold.lock();
    }
  }

  Engine& engine_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool done_ = false;
  std::thread thread_;  // last: starts after the fields it uses exist
};

std::uint32_t Backoff::Next() {
  const std::uint32_t base = next_;
  next_ = std::min(timing_.maxPauseMs, std::max<std::uint32_t>(1, next_ * 2));
  // Jitter keeps the four workers (and other installers) from retrying in step.
  const std::uint32_t quarter = base / 4;
  if (quarter == 0) return std::max(std::exchange(least_, 0), base);
  std::uniform_int_distribution<std::uint32_t> spread(0, 2 * quarter);
  const std::uint32_t least = std::exchange(least_, 0);
  return std::max(least, base - quarter + spread(random_));
}

CHttpGet::Engine::Engine(const DownloadRequest& request) : request_(request), timing_(request_.timing) {}

CHttpGet::Engine::~Engine() = default;

void CHttpGet::Engine::RecordFailure(DownloadResult code) {
  std::lock_guard<std::mutex> hold(statusMutex_);
  if (failure_ == DL_OK) failure_ = code;
}

DownloadResult CHttpGet::Engine::FailureOr(DownloadResult code) {
  std::lock_guard<std::mutex> hold(statusMutex_);
  return failure_ != DL_OK ? failure_ : code;
}

void CHttpGet::Engine::LogConnection(const char* what, const std::string& address, int port, DownloadResult code) {
  if (code == DL_OK)
    platform::Log("%s: connected to %s port %d", what, address.c_str(), port);
  else
    platform::Log("%s: no connection to %s port %d: %d %s", what, address.c_str(), port, code,
                  DownloadResultName(code));
}

bool CHttpGet::Engine::KeepTrying(DownloadResult code, Backoff& backoff, const char* what) {
  if (stop_.IsSet()) return false;
  const std::uint32_t idle = platform::TickCount() - lastProgress_.load();
  if (idle >= timing_.retryBudgetMs) {
    platform::Log("%s failed: %d %s; giving up after %u ms without progress", what, code, DownloadResultName(code),
                  idle);
    return false;
  }
  const std::uint32_t pause = std::min(backoff.Next(), timing_.retryBudgetMs);
  platform::Log("%s failed: %d %s; next attempt in %u ms", what, code, DownloadResultName(code), pause);
  return !(timing_.pause ? timing_.pause(pause) : stop_.Wait(pause));
}

void CHttpGet::Engine::HandleAnswer(int answer) {
  // Runs with the progress lock held.
  if (answer != 1 && answer != 2) return;
  if (answer == 2) deleteOnStop_.store(true);
  RecordFailure(DL_STOPPED);
  stop_.Set();
}

void CHttpGet::Engine::NoteBytes(std::int64_t n) {
  const std::uint32_t now = platform::TickCount();
  if (n > 0) {
    lastByte_.store(now);
    lastProgress_.store(now);
  }
  std::lock_guard<std::mutex> hold(progressMutex_);
  downloaded_ += n;  // a whole-file attempt that starts again takes its bytes back
  IDownloadCallBack* callback = request_.callback;
  if (!callback || total_ <= 0 || n <= 0) return;
  const std::int64_t done = std::min(downloaded_, total_);
  const int percent = static_cast<int>(static_cast<double>(done) * 100.0 / static_cast<double>(total_));
  meter_.Add(static_cast<std::uint32_t>(n));
  lastReport_ = now;
  HandleAnswer(callback->OnProgress(static_cast<std::uint32_t>(total_), percent, meter_.CurrentRate() >> 10,
                                    request_.cookie));
}

void CHttpGet::Engine::Tick() {
  IDownloadCallBack* callback = request_.callback;
  if (!callback) return;
  const std::uint32_t now = platform::TickCount();
  std::lock_guard<std::mutex> hold(progressMutex_);
  DownloadStatus status;
  status.downloaded = static_cast<std::uint64_t>(std::max<std::int64_t>(0, downloaded_));
  status.total = static_cast<std::uint64_t>(std::max<std::int64_t>(0, total_));
  status.stalled = now - lastByte_.load() > timing_.stalledMs;
  callback->OnStatus(status);
  // Without blocks there are no progress calls; these keep the stop answer reachable.
  if (now - lastReport_ < timing_.tickMs) return;
  lastReport_ = now;
  const int percent =
      total_ > 0 ? static_cast<int>(static_cast<double>(std::min(downloaded_, total_)) * 100.0 / total_) : 0;
  HandleAnswer(callback->OnProgress(static_cast<std::uint32_t>(std::max<std::int64_t>(0, total_)), percent,
                                    meter_.CurrentRate() >> 10, request_.cookie));
}

DownloadResult CHttpGet::Engine::Run(DownloadOutcome& outcome) {
  if (request_.url.empty() || request_.saveLocation.empty()) return DL_BAD_ARGUMENT;
  const std::uint32_t start = platform::TickCount();
  lastByte_ = lastProgress_ = start;
  Ticker ticker(*this);

  ProbeAnswer answer;
  DownloadResult code = ResolveFinal(0, answer, final_);
  outcome.finalUrl = final_.url;
  if (code != DL_OK) return FailureOr(code);

  md5_ = Md5OfUrl(final_.url);
  if (final_.fileName.empty()) return DL_BAD_URL;
  // An elevated installer must not write wherever a redirect names: refuse before any file exists.
  if (!IsPlainFileName(final_.fileName)) {
    platform::Log("refused file name %s", platform::ToUtf8(final_.fileName).c_str());
    return DL_UNSAFE_NAME;
  }

  target_ = request_.saveLocation;
  if (!request_.nameFromExtension) {
    target_ += final_.fileName;
  } else {
    const std::size_t dot = final_.fileName.rfind(L'.');
    if (dot != std::wstring::npos && dot + 1 < final_.fileName.size()) target_ += final_.fileName.substr(dot);
  }
  const std::size_t slash = target_.rfind(L'\\');
  if (slash != std::wstring::npos && !platform::CreateDirectoryChain(target_.substr(0, slash))) return DL_BAD_ARGUMENT;
  outcome.target = target_;
  if (request_.callback) request_.callback->OnSavePath(target_, request_.cookie);

  // Without a size and without an md5 nothing could tell a whole file from a cut one.
  if (answer.total <= 0 && md5_.empty()) return DL_NO_SIZE;
  if (platform::PathExists(target_) && !platform::IsDirectory(target_)) {
    if (!request_.replaceExisting) return DL_ALREADY_PRESENT;
    if (!platform::RemoveFile(target_)) return DL_OUTPUT_OPEN_FAILED;
  }

  // The caller may refuse a size (no room for it) before any part file is made.
  if (answer.total > 0 && request_.callback &&
      !request_.callback->OnSizeKnown(static_cast<std::uint64_t>(answer.total), request_.cookie))
    return DL_STOPPED;

  validator_ = answer.validator;
  {
    std::lock_guard<std::mutex> hold(progressMutex_);
    total_ = answer.total;
  }
  digests_ = NewDigests();
  code = answer.ranges ? DownloadPieces() : DownloadWhole(std::move(answer.body));
  const std::uint32_t spent = std::max<std::uint32_t>(1, platform::TickCount() - start);
  platform::Log("%s: %lld bytes in %u ms (%.1f MiB/s)", code == DL_OK ? "downloaded" : "download ended",
                static_cast<long long>(downloaded_), spent, downloaded_ / 1048576.0 / (spent / 1000.0));
  if (code != DL_OK) return FailureOr(code);
  outcome.md5 = md5Hex_;
  outcome.sha256 = sha256_;
  if (request_.handOver) held_.HandTo(outcome.file);
  (void)held_.Close();  // the file is whole and renamed: a failing close loses nothing of it
  return DL_OK;
}

std::vector<platform::Digest*> FileDigests::All() const {
  std::vector<platform::Digest*> all;
  if (md5) all.push_back(md5.get());
  if (sha256) all.push_back(sha256.get());
  return all;
}

FileDigests CHttpGet::Engine::NewDigests() const {
  FileDigests digests;
  if (!md5_.empty()) digests.md5 = std::make_unique<platform::Digest>(platform::DigestKind::kMd5);
  if (request_.handOver) digests.sha256 = std::make_unique<platform::Digest>(platform::DigestKind::kSha256);
  return digests;
}

DownloadResult CHttpGet::Engine::CheckDigests() {
  if (digests_.sha256) sha256_ = digests_.sha256->Finish();
  if (!digests_.md5) return DL_OK;
  md5Hex_ = platform::HexUpper(digests_.md5->Finish());
  const bool same = platform::EqualsIgnoringCase(md5Hex_, md5_);
  platform::Log("md5 %s: %s", platform::ToUtf8(md5Hex_).c_str(), same ? "as named" : "differs from the address's");
  return same ? DL_OK : DL_CHECKSUM_MISMATCH;
}

DownloadResult CHttpGet::Engine::FetchSmall(std::size_t maxBytes, std::string& body, DownloadOutcome& outcome) {
  if (request_.url.empty() || maxBytes == 0) return DL_BAD_ARGUMENT;
  lastByte_ = lastProgress_ = platform::TickCount();
  ProbeAnswer answer;
  const DownloadResult code = ResolveFinal(maxBytes, answer, final_);
  outcome.finalUrl = final_.url;
  if (code != DL_OK) return FailureOr(code);
  body = std::move(answer.text);
  return DL_OK;
}
