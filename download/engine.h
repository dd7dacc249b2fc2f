// The download engine behind CHttpGet (internal to download/): one object per download, used
// once. The caller's thread probes (redirects, size, range support), plans the pieces and joins
// them; up to four worker threads fetch pieces; a ticker thread reports status every 250 ms.
#pragma once

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "download/http_connection.h"
#include "download/http_get.h"
#include "platform/file_io.h"
#include "platform/fs.h"
#include "platform/hash.h"
#include "platform/net.h"
#include "platform/proxy.h"

class HashPipeline;

// Where the requests for one URL go: the server it names, or the proxy that carries them.
struct Endpoint {
  std::wstring url;
  std::wstring host;  // as in the URL (an IPv6 literal keeps its brackets)
  int port = 80;
  std::wstring path;
  std::wstring fileName;
  platform::ProxyChoice proxy;

  // DL_BAD_URL for what no request can go to (not http, no host or no path), DL_URL_USERINFO for
  // an address with a user or password; else DL_OK.
  [[nodiscard]] DownloadResult Parse(const std::wstring& text);
  std::wstring ConnectHost() const;
  int ConnectPort() const { return proxy.host.empty() ? port : proxy.port; }
  // The request line's target (the absolute URL through a proxy) and the Host field's value
  // (with ":port" unless it is 80).
  std::string RequestTarget() const;
  std::string HostField() const;
};

// The exact bytes of the requests (http_request.cpp).
std::string ProbeRequest(const Endpoint& to);
std::string RangeRequest(const Endpoint& to, std::int64_t from, std::int64_t to_);
std::string PlainRequest(const Endpoint& to);
// The three-digit status code of a header's status line, 0 when it has none.
int StatusCode(const std::string& header);
// The first byte of a Content-Range value "bytes FIRST-LAST/TOTAL", or -1.
std::int64_t RangeFirstByte(const std::wstring& value);
// What a status other than the one asked for means: DL_HTTP_DENIED for a client error another
// attempt cannot mend (4xx but 408 and 429), else DL_RECV_FAILED.
DownloadResult StatusFailure(int status);
// The pause a 429 or 503 asks for with Retry-After (seconds, or an HTTP-date measured from the
// answer's Date, else from the clock), in ms; 0 for other answers or without a usable value.
std::uint32_t RetryAfterMs(const std::string& header);

// Pauses between failed attempts: first, doubling up to max, each jittered by up to a quarter.
class Backoff {
 public:
  Backoff(const DownloadTiming& timing, unsigned seed) : timing_(timing), next_(timing.firstPauseMs), random_(seed) {}
  void Reset() { next_ = timing_.firstPauseMs; }
  // The next pause lasts at least `ms` (a server's Retry-After).
  void AtLeast(std::uint32_t ms) { least_ = std::max(least_, ms); }
  std::uint32_t Next();

 private:
  const DownloadTiming& timing_;
  std::uint32_t next_;
  std::uint32_t least_ = 0;
  std::minstd_rand random_;
};

// One byte range of the file and its part file. start never changes; end shrinks when the
// piece is split; have grows as bytes reach the part file. end and have are guarded by mutex,
// which a worker holds while it writes, so a split never leaves bytes past the new end.
struct Piece {
  int number = 0;  // the part file is "<target>_<number>"
  std::int64_t start = 0;
  std::int64_t end = 0;
  std::int64_t have = 0;
  bool fresh = false;    // planned anew or made by a split: its part file starts empty
  bool claimed = false;  // a worker runs it or ran it (engine lock)
  std::uint32_t attemptStart = 0;
  std::int64_t attemptBytes = 0;
  std::mutex mutex;

  std::int64_t Left() const { return end - start - have; }
};

// What the last probe learned about the final address.
struct ProbeAnswer {
  std::int64_t total = 0;  // 0: not known
  bool ranges = false;
  std::wstring validator;          // "ETag: ..." or "Last-Modified: ...", what identifies the version
  std::unique_ptr<HttpConnection> body;  // a 200's connection, at the first body byte
  std::string text;                // FetchSmall: the body itself
};

// The digests of one file, fed in order: MD5 when the address names one, SHA-256 when the caller
// takes the file over (the vendor's signature covers it); both from the same buffers.
struct FileDigests {
  std::unique_ptr<platform::Digest> md5;
  std::unique_ptr<platform::Digest> sha256;

  bool Any() const { return md5 || sha256; }
  void Update(const void* data, std::size_t size) {
    if (md5) md5->Update(data, size);
    if (sha256) sha256->Update(data, size);
  }
  std::vector<platform::Digest*> All() const;
};

class CHttpGet::Engine {
 public:
  explicit Engine(const DownloadRequest& request);
  ~Engine();

  [[nodiscard]] DownloadResult Run(DownloadOutcome& outcome);
  [[nodiscard]] DownloadResult FetchSmall(std::size_t maxBytes, std::string& body, DownloadOutcome& outcome);

 private:
  class Ticker;

  // --- probing (download_probe.cpp) ---
  [[nodiscard]] DownloadResult ResolveFinal(std::size_t smallLimit, ProbeAnswer& answer, Endpoint& final);
  [[nodiscard]] DownloadResult ProbeOnce(const Endpoint& to, std::size_t smallLimit, ProbeAnswer& answer,
                                         std::wstring& location, Backoff& backoff);
  [[nodiscard]] DownloadResult ReadSmallBody(HttpConnection& connection, const std::wstring& header,
                                             std::size_t limit, std::string& body);

  // --- retries and reports (download_engine.cpp) ---
  // After a failed attempt: logs it and pauses. False when the download must end instead (the
  // retry budget is spent, or a stop came).
  [[nodiscard]] bool KeepTrying(DownloadResult code, Backoff& backoff, const char* what);
  void NoteBytes(std::int64_t n);
  void Tick();
  void HandleAnswer(int answer);
  // The first failure that ends the download; later ones do not replace it.
  void RecordFailure(DownloadResult code);
  // The recorded failure, else `code`.
  [[nodiscard]] DownloadResult FailureOr(DownloadResult code);
  ConnectionLimits Limits() const { return {timing_.connectMs, timing_.silenceMs}; }
  void LogConnection(const char* what, const std::string& address, int port, DownloadResult code);

  // --- the whole file without ranges (download_whole.cpp) ---
  [[nodiscard]] DownloadResult DownloadWhole(std::unique_ptr<HttpConnection> first);
  [[nodiscard]] DownloadResult WholeAttempt(std::unique_ptr<HttpConnection>& connection, platform::HeldFile& part,
                                            FileDigests& digests, bool& moved, Backoff& backoff);

  // --- pieces (download_pieces.cpp) ---
  [[nodiscard]] DownloadResult DownloadPieces();
  // False when there is no record that matches this file: the pieces are planned afresh.
  [[nodiscard]] bool LoadRecord();
  void PlanFresh();
  // False when the record was not replaced: the one before stays, or none, and then the parts
  // start afresh next time.
  [[nodiscard]] bool WriteRecord();
  void Worker(int slot, Piece* first);
  Piece* NextPiece();
  Piece* SplitSlowest(double finisherRate);
  // The rate (bytes per ms) of the fastest running piece when another one runs so much slower
  // that a connection of its own should take part of it; 0 otherwise.
  double SlowPieceWorthSplitting();
  [[nodiscard]] DownloadResult RunPiece(Piece& piece, int slot, double& rate);
  [[nodiscard]] DownloadResult PieceAttempt(Piece& piece, platform::HeldFile& part, HashPipeline* hash, int slot,
                                            bool& moved, Backoff& backoff);
  [[nodiscard]] DownloadResult JoinPieces();
  [[nodiscard]] DownloadResult CopyPiecesIntoBase(const std::vector<Piece*>& order);
  void RemoveParts();
  std::wstring PartName(int number) const;
  std::wstring TmpPartName() const { return target_ + L"_tmp"; }
  std::wstring RecordName() const { return target_ + L"_parts"; }
  std::wstring NewRecordName() const { return target_ + L"_parts_new"; }

  // --- the finished file (download_engine.cpp) ---
  FileDigests NewDigests() const;
  // Finishes the digests into the results below: DL_OK, or DL_CHECKSUM_MISMATCH when the md5
  // differs from the address's.
  [[nodiscard]] DownloadResult CheckDigests();

  DownloadRequest request_;
  const DownloadTiming& timing_;
  platform::NetLibrary net_;
  StopSignal stop_;
  std::atomic<bool> deleteOnStop_{false};

  Endpoint final_;
  std::wstring target_;
  std::wstring md5_;
  std::wstring validator_;
  std::int64_t total_ = 0;

  std::mutex statusMutex_;
  DownloadResult failure_ = DL_OK;  // DL_OK: no failure recorded yet

  // Progress: bytes in part files, the meter, and every callback call.
  std::mutex progressMutex_;
  std::int64_t downloaded_ = 0;
  SpeedMeter meter_;
  std::uint32_t lastReport_ = 0;
  std::atomic<std::uint32_t> lastByte_{0};      // tick of the last byte received
  std::atomic<std::uint32_t> lastProgress_{0};  // tick of the last attempt that moved bytes

  // Pieces (engine lock).
  std::mutex piecesMutex_;
  std::vector<std::unique_ptr<Piece>> pieces_;
  int activeWorkers_ = 0;
  std::condition_variable workerEnded_;

  // The digests of the file's first bytes, fed in order by the worker of the piece at 0, and by
  // the join with the rest; hashed_ bytes are in.
  FileDigests digests_;
  std::int64_t hashed_ = 0;
  std::wstring md5Hex_;                // the results, once CheckDigests ran
  std::vector<std::uint8_t> sha256_;

  // The file that becomes the target, open from its first byte written or hashed until the end
  // (the part at 0 as its worker leaves it, or the whole download's part); renamed while open.
  platform::HeldFile held_;
};
