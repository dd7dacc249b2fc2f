// The public face of the engine: CHttpGet, DownloadFile and its variants, the speed meter.
#include "download/http_get.h"

#include <new>

#include "download/engine.h"
#include "platform/clock.h"
#include "platform/fs.h"
#include "platform/hash.h"

void SpeedMeter::Add(std::uint32_t n) { AddAt(n, platform::TickCount()); }

void SpeedMeter::AddAt(std::uint32_t n, std::uint32_t now) {
  if (grandTotal_ == 0) windowStart_ = now;
  const std::uint32_t elapsed = now - windowStart_;
  grandTotal_ += n;
  windowBytes_ += n;
  if (elapsed >= kWindowMs) {
    currentRate_ = windowBytes_ / (elapsed / 1000);
    windowBytes_ = 0;
    windowStart_ = now;
  }
}

std::uint32_t SpeedMeter::CurrentRate() {
  Add(0);
  return currentRate_;
}

int CHttpGet::SegmentCount(std::uint64_t total) {
  if (total <= 5242880) return 1;
  if (total <= 52428800) return 2;
  if (total <= 104857600) return 3;
  return 4;
}

CHttpGet::CHttpGet(const DownloadRequest& request) : engine_(new Engine(request)) {}
CHttpGet::~CHttpGet() = default;

DownloadResult CHttpGet::Run(DownloadOutcome& outcome) { return engine_->Run(outcome); }

DownloadResult CHttpGet::FetchSmall(std::size_t maxBytes, std::string& body, DownloadOutcome& outcome) {
  return engine_->FetchSmall(maxBytes, body, outcome);
}

DownloadResult DownloadWithOutcome(const DownloadRequest& request, DownloadOutcome& outcome) {
  try {
    CHttpGet http(request);
    return http.Run(outcome);
  } catch (const std::bad_alloc&) {
    return DL_NO_MEMORY;
  }
}

DownloadResult DownloadFile(const wchar_t* url, const wchar_t* saveLocation, IDownloadCallBack* callback, int cookie,
                            int allowSegments, int replaceExisting, int nameFromExtension) {
  if (!url || !*url || !saveLocation || !*saveLocation) return DL_BAD_ARGUMENT;
  DownloadRequest request;
  request.url = url;
  request.saveLocation = saveLocation;
  request.callback = callback;
  request.cookie = cookie;
  request.allowSegments = allowSegments;
  request.replaceExisting = replaceExisting;
  request.nameFromExtension = nameFromExtension;
  DownloadOutcome outcome;
  return DownloadWithOutcome(request, outcome);
}

DownloadResult FetchSmallFile(const std::wstring& url, std::size_t maxBytes, std::string& body,
                              std::wstring* finalUrl, const DownloadTiming& timing) {
  body.clear();
  try {
    DownloadRequest request;
    request.url = url;
    request.timing = timing;
    CHttpGet http(request);
    DownloadOutcome outcome;
    const DownloadResult result = http.FetchSmall(maxBytes, body, outcome);
    if (finalUrl) *finalUrl = outcome.finalUrl;
    return result;
  } catch (const std::bad_alloc&) {
    return DL_NO_MEMORY;
  }
}

std::wstring FileMd5Hex(const std::wstring& path) {
  platform::UniqueFile file;
  if (!file.Open(path, "rb")) return {};
  platform::Digest digest(platform::DigestKind::kMd5);
  std::vector<char> block(1 << 20);
  std::int64_t n;
  while ((n = file.Read(block.data(), block.size())) > 0) digest.Update(block.data(), static_cast<std::size_t>(n));
  if (n < 0) return {};
  return platform::HexUpper(digest.Finish());
}
