// One download over plain HTTP/1.1: the request and header vocabulary, the probes for redirects
// and size, and the segmented engine that fetches a file in one to four byte ranges on threads
// of its own, into part files that survive a failed run, then joins and checks them.
//
// Every request opens a fresh connection; there is no TLS, chunked coding or keep-alive.
// Failures are result codes (download_result.h) kept in the engine; writes from segment workers
// take the status lock.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "download/download_callback.h"
#include "download/download_result.h"
#include "download/socket_wrapper.h"
#include "download/sync.h"

class CHttpGet;

// Transfer rate over windows of four seconds.
struct SpeedMeter {
  static constexpr std::uint32_t kWindowMs = 4000;

  void Add(std::uint32_t n);
  void AddAt(std::uint32_t n, std::uint32_t now);
  // Bytes per second of the last closed window; 0 until the first window has closed.
  std::uint32_t CurrentRate();

  std::uint64_t m_uGrandTotal = 0;
  std::uint32_t m_dwWindowStart = 0;
  std::uint32_t m_dwWindowBytes = 0;
  std::uint32_t m_dwCurrentRate = 0;
};

// One byte range of the file, handed to its worker thread by pointer.
struct DownloadSegment {
  std::wstring host;
  int port = 0;
  std::wstring path;
  std::wstring partFileName;
  int rangeStart = 0;
  int rangeEnd = 0;  // one past the segment's last byte: the next rangeStart, or total
  int useRange = 0;
  CHttpGet* owner = nullptr;
};

// Manual-reset stop signal shared by the segment workers.
class CStopEvent {
 public:
  void Set();
  bool IsSet() const { return m_bSet.load(); }
  // True as soon as the event is set; false after `milliseconds` without it.
  bool Wait(std::uint32_t milliseconds);

 private:
  std::atomic<bool> m_bSet{false};
  std::mutex m_mutex;
  std::condition_variable m_changed;
};

class CHttpGet {
 public:
  static constexpr std::size_t kHeaderBufferSize = 10240;
  static constexpr std::size_t kReceiveBlock = 65536;
  static constexpr int kAttempts = 7;
  static constexpr std::uint32_t kRetryPauseMs = 500;
  static constexpr std::uint32_t kStopPollMs = 50;
  using HeaderBuffer = std::array<char, kHeaderBufferSize>;

  CHttpGet(IDownloadCallBack* callback, int allowSegments, int cookie, int replaceExisting);
  CHttpGet(const CHttpGet&) = delete;
  CHttpGet& operator=(const CHttpGet&) = delete;
  virtual ~CHttpGet();

  // --- URL and header text (no connection) ---

  // Splits "http://host[:port]/path?query": host (no port), path from the first "/" with the
  // query, file name after the last "/" cut before its last "?", port (80 when none is named,
  // 0 when ":" has no digits). Fields that are absent come back empty.
  static void ParseUrl(const std::wstring& url, std::wstring& host, std::wstring& path, std::wstring& fileName,
                       int& port);
  // True when `code` occurs in the status line (the text before the first "\r\n").
  static bool StatusLineHas(const std::wstring& header, const wchar_t* code);
  // The value of the Location field (any letter case, at the start of a header line), or empty.
  static std::wstring ParseLocation(const char* header);
  // The size named by Content-Range (its part after "/") or else by Content-Length; 0 when
  // neither names a size from 1 to 2,147,483,647.
  static int ParseContentSize(const std::wstring& header);
  // The value of header field `name` (any letter case, at the start of a line) without leading
  // blanks, up to the end of its line; false when the field is absent.
  static bool FindField(const std::wstring& header, const wchar_t* name, std::wstring& value);

  // --- requests on a connection ---

  // Sends the text as ANSI bytes in one send. On failure the socket is closed, result 15.
  // `socket` becomes kInvalidSocket when it was closed here, so callers may close it regardless.
  [[nodiscard]] bool SendText(platform::Socket& socket, const std::wstring& text);
  // Reads a response header one byte per receive, up to and including the blank line (at most
  // 10,239 bytes, then NUL-terminated); the body stays in the socket. 0 on failure.
  [[nodiscard]] int ReadHeader(platform::Socket socket, HeaderBuffer& buffer);
  // One step of the redirect loop: the target of a 301/302 answer, or false.
  [[nodiscard]] bool ProbeRedirect(const std::wstring& url, std::wstring& target);
  // The size probe: a two-byte range request, then a plain one when no size came.
  [[nodiscard]] bool ProbeSize(const std::wstring& host, const std::wstring& path, int port);
  // A segment request; succeeds only with 206 and a Content-Range that starts at `from`.
  // Leaves the socket at the first body byte.
  [[nodiscard]] bool SendRangeRequest(platform::Socket& socket, const std::wstring& host, const std::wstring& path,
                                      int from, int to);
  // A request for the whole file; any status but 404/403 succeeds.
  [[nodiscard]] bool SendPlainRequest(platform::Socket& socket, const std::wstring& host, const std::wstring& path);

  // --- the engine ---

  [[nodiscard]] bool RunDownload(const std::wstring& host, const std::wstring& path, const std::wstring& fileName,
                                 const std::wstring& target, const std::wstring& md5, int port);
  [[nodiscard]] bool DownloadSegments(const std::wstring& host, const std::wstring& path, const std::wstring& target,
                                      const std::wstring& md5, int port);
  void SegmentWorker(DownloadSegment& segment);

  int Result();
  void SetResult(int code);
  std::uint64_t Total() const { return m_uTotal; }
  int RangesSupported() const { return m_bRangesSupported; }
  int ProbedSize() const { return m_nProbedSize; }
  // ETag or Last-Modified of the size probe's answer, empty when it named neither.
  const std::wstring& Validator() const { return m_strValidator; }
  CSocketWrapper& Sockets() { return m_Sockets; }

  // Segment count for a total: 1 up to 5 MiB, 2 up to 50 MiB, 3 up to 100 MiB, else 4.
  static int SegmentCount(std::uint64_t total);

 private:
  // Sends a request for `path`, optional extra lines, and reads the answer's header. Failure
  // writes 15, 14 or (404/403) 2; the socket is left open unless a send closed it.
  [[nodiscard]] bool Request(platform::Socket& socket, const std::wstring& host, const std::wstring& path,
                             const std::wstring& extraLine, std::wstring& header);
  // One size probe on a fresh connection: -1 when it failed, else the size named (0 for none).
  int SizeProbeOnce(const std::wstring& host, const std::wstring& path, int port, bool withRange);
  // Copies the segment's own bytes from its part file into the target at the segment's offset:
  // 0, or DL_PART_READ_FAILED (part unreadable) or DL_OUTPUT_OPEN_FAILED (target not written).
  int JoinPart(const DownloadSegment& segment, std::FILE* target, std::vector<char>& buffer);
  void ReportProgress(std::uint64_t downloaded, std::uint32_t n);
  void AddDownloaded(std::int64_t delta);
  // Starts the numbered parts afresh unless their record says they belong to this file.
  bool PrepareParts(const std::wstring& target);
  // True (and result 5) once a stop was requested.
  bool StopRequested();
  // Deletes the segment's part file when the stop asked for it.
  void DiscardIfAsked(const DownloadSegment& segment);

  IDownloadCallBack* m_pCallback;
  int m_nProbedSize = 0;
  CSocketWrapper m_Sockets;
  SpeedMeter m_SpeedMeter;
  std::unique_ptr<DownloadSegment[]> m_pSegments;
  std::atomic<int> m_nFinished{0};
  std::uint64_t m_uDownloaded = 0;
  std::uint64_t m_uTotal = 0;
  CSyncMutex m_ProgressLock;
  CSyncMutex m_StatusLock;
  int m_bAllowSegments;
  int m_nResult = DL_CONNECT_FAILED;
  std::unique_ptr<CStopEvent> m_pStopEvent;
  int m_nCookie;
  int m_bRangesSupported = 0;
  int m_bReplaceExisting;
  std::atomic<int> m_nDeleteOnStop{0};
  std::wstring m_strValidator;
};

// Downloads `url` into `saveLocation` (a directory ending in "\\", or with nameFromExtension the
// target's full name without extension). Blocks until done; returns a DownloadResult.
int DownloadFile(const wchar_t* url, const wchar_t* saveLocation, IDownloadCallBack* callback, int cookie,
                 int allowSegments, int replaceExisting, int nameFromExtension);

// 32 upper-case hexadecimal digits of the file's MD5, or empty when it cannot be read.
std::wstring FileMd5Hex(const std::wstring& path);

// Creates a directory with all missing parents; an existing one counts as made.
bool MakeDirectoryPath(const std::wstring& path);
