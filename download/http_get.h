// One download over plain HTTP/1.1: the URL and header vocabulary, the probe that follows
// redirects and learns size and range support, and the segmented engine that fetches a file in
// byte ranges on up to four connections into part files that survive a failed run, rebalances
// the ranges when a connection is slow, then joins and checks them.
//
// There is no TLS and no connection reuse; chunked bodies are decoded. Failures are result codes
// (download_result.h); the first failure that ends a download is its result.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "download/download_callback.h"
#include "download/download_result.h"
#include "platform/file_io.h"

// Transfer rate over windows of four seconds.
struct SpeedMeter {
  static constexpr std::uint32_t kWindowMs = 4000;

  void Add(std::uint32_t n);
  void AddAt(std::uint32_t n, std::uint32_t now);
  // Bytes per second of the last closed window; 0 until the first window has closed.
  std::uint32_t CurrentRate();

  std::uint64_t grandTotal_ = 0;
  std::uint32_t windowStart_ = 0;
  std::uint32_t windowBytes_ = 0;
  std::uint32_t currentRate_ = 0;
};

// How long the engine keeps trying. Attempts that move bytes refill the budget; without any
// progress it retries for retryBudgetMs, pausing firstPauseMs, doubling up to maxPauseMs, each
// pause jittered by up to a quarter. A server's Retry-After on a 429 or 503 lengthens the next
// pause, never beyond the budget. Tests shorten these; the product keeps the defaults.
struct DownloadTiming {
  std::uint32_t retryBudgetMs = 120000;
  std::uint32_t firstPauseMs = 500;
  std::uint32_t maxPauseMs = 8000;
  std::uint32_t connectMs = 10000;  // per address
  std::uint32_t silenceMs = 10000;  // a read that gets nothing for this long fails
  std::uint32_t stalledMs = 3000;   // no byte for longer: DownloadStatus::stalled
  std::uint32_t tickMs = 250;       // status reports
  // How a pause between attempts is waited: empty (the product) waits on the stop signal; a test
  // may note the pause and return at once. Called from any worker; true when the download stops.
  std::function<bool(std::uint32_t ms)> pause;
};

// One download request in full; DownloadFile is its short form.
struct DownloadRequest {
  std::wstring url;
  std::wstring saveLocation;
  IDownloadCallBack* callback = nullptr;
  int cookie = 0;
  int allowSegments = 1;
  int replaceExisting = 0;
  int nameFromExtension = 0;
  // The caller takes the fresh file over: the outcome holds it open, with its SHA-256.
  bool handOver = false;
  DownloadTiming timing;
};

// What a download did besides its result: the address it ended at after redirects and the file
// it wrote (both empty when it ended before knowing them).
struct DownloadOutcome {
  std::wstring finalUrl;
  std::wstring target;
  // The digests taken while the file was written: md5 (upper-case hex) when the address names
  // one, sha256 with handOver; empty otherwise.
  std::wstring md5;
  std::vector<std::uint8_t> sha256;
  // With handOver, after DL_OK: the target, still open from the moment its bytes were written
  // and hashed, so that no other process can have changed them; for reading only.
  platform::SharedReadFile file;
};

class CHttpGet {
 public:
  // One receive takes up to this much: fewer calls per MiB, and each is written and flushed at once.
  static constexpr std::size_t kReceiveBlock = 262144;

  // --- URL and header text (no connection) ---

  // Splits "http://host[:port]/path?query#fragment": host (no port; an IPv6 literal in its
  // brackets), path from the first "/" with the query and without the fragment, file name after the last "/" cut before its last "?", port (80 when none is named,
  // 0 when ":" has no digits). Fields that are absent come back empty.
  static void ParseUrl(const std::wstring& url, std::wstring& host, std::wstring& path, std::wstring& fileName,
                       int& port);
  // True when `code` occurs in the status line (the text before the first "\r\n").
  [[nodiscard]] static bool StatusLineHas(const std::wstring& header, const wchar_t* code);
  // The value of the Location field (any letter case, at the start of a header line), or empty.
  static std::wstring ParseLocation(const char* header);
  // The size named by Content-Range (its part after "/") or else by Content-Length; 0 when
  // neither names a size from 1 to 2^63 - 1.
  static std::int64_t ParseContentSize(const std::wstring& header);
  // The value of header field `name` (any letter case, at the start of a line) without leading
  // blanks, up to the end of its line; false when the field is absent.
  [[nodiscard]] static bool FindField(const std::wstring& header, const wchar_t* name, std::wstring& value);
  // True when a name taken from a URL may be used as a file name as it stands and also after
  // percent-decoding: not empty, no "\\", "/", ":", "..", control or other characters Windows
  // forbids, no device name (CON, NUL, COM1, ...), no trailing dot or space, at most 255 UTF-16
  // units.
  [[nodiscard]] static bool IsPlainFileName(const std::wstring& name);

  // Segment count for a total: 1 up to 5 MiB, 2 up to 50 MiB, 3 up to 100 MiB, else 4.
  static int SegmentCount(std::uint64_t total);

  // --- the engine ---

  explicit CHttpGet(const DownloadRequest& request);
  CHttpGet(const CHttpGet&) = delete;
  CHttpGet& operator=(const CHttpGet&) = delete;
  ~CHttpGet();

  // Runs the whole download; returns its result.
  [[nodiscard]] DownloadResult Run(DownloadOutcome& outcome);
  // A small file (at most maxBytes) into memory with the same connection, proxy, redirect and
  // retry rules; needs a 200.
  [[nodiscard]] DownloadResult FetchSmall(std::size_t maxBytes, std::string& body, DownloadOutcome& outcome);

 private:
  class Engine;
  std::unique_ptr<Engine> engine_;
};

// Downloads `url` into `saveLocation` (a directory ending in "\\", or with nameFromExtension the
// target's full name without extension). Blocks until done; returns its result.
[[nodiscard]] DownloadResult DownloadFile(const wchar_t* url, const wchar_t* saveLocation, IDownloadCallBack* callback,
                                          int cookie, int allowSegments, int replaceExisting, int nameFromExtension);

// The same with every setting and what the download did (the final URL, for the signature next
// to the package, and the target path).
[[nodiscard]] DownloadResult DownloadWithOutcome(const DownloadRequest& request, DownloadOutcome& outcome);

// Fetches a small file (the package's signature) into `body`: DL_OK, DL_TOO_LARGE when the body
// is longer than maxBytes, or the download's failure codes. `finalUrl` (optional) receives the
// address after redirects.
[[nodiscard]] DownloadResult FetchSmallFile(const std::wstring& url, std::size_t maxBytes, std::string& body,
                                            std::wstring* finalUrl = nullptr,
                                            const DownloadTiming& timing = DownloadTiming());

// The md5 an address names: what follows its first "md5=" up to a "#" (the vendor's "...?md5=HEX"), empty
// when it names none. The engine checks the file by it; the installer checks a package by it.
std::wstring Md5OfUrl(const std::wstring& url);

// 32 upper-case hexadecimal digits of the file's MD5, or empty when it cannot be read.
std::wstring FileMd5Hex(const std::wstring& path);
