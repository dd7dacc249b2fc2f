// A file from a server with ranges: pieces fetched on up to four connections into part files
// "<target>_<n>" that a later run continues, rebalanced when a connection finishes while a slow
// one has much left, then joined in place into the part at offset 0 and renamed to the target.
//
// The record "<target>_parts" names the file's size and version and every piece with its range;
// parts are continued only when it matches, and it is replaced whole before a split takes effect,
// so a run killed at any moment leaves parts that the record describes exactly.
#include <algorithm>
#include <cstdio>
#include <functional>

#include "download/engine.h"
#include "download/hash_pipeline.h"
#include "platform/clock.h"
#include "platform/log.h"
#include "platform/text.h"

namespace {

constexpr int kMaxConnections = 4;
constexpr int kMaxPieces = 16;
constexpr std::int64_t kSplitAbove = 2 << 20;  // a piece with more left than this may be split
constexpr std::int64_t kSmallestSplit = 1 << 20;
constexpr std::size_t kCopyBlock = 1 << 20;

// The worker threads of one run, joined when the group ends (also on an early return).
class WorkerGroup {
 public:
  ~WorkerGroup() {
    for (std::thread& thread : threads_) thread.join();
  }
  bool Start(std::function<void()> body) {
    try {
      threads_.emplace_back(std::move(body));
      return true;
    } catch (...) {
      return false;
    }
  }

 private:
  std::vector<std::thread> threads_;
};

std::string ReadRecordText(const std::wstring& path) {
  platform::UniqueFile file;
  std::string text;
  if (!file.Open(path, "rb")) return text;
  char block[1024];
  std::int64_t n;
  while (text.size() < 8192 && (n = file.Read(block, sizeof block)) > 0) text.append(block, static_cast<std::size_t>(n));
  return text;
}

}  // namespace

std::wstring CHttpGet::Engine::PartName(int number) const { return target_ + L"_" + std::to_wstring(number); }

void CHttpGet::Engine::RemoveParts() {
  // The record goes first: without it no part is ever continued, even one that stays behind.
  // A part that is missing needs no deleting.
  (void)platform::RemoveFile(RecordName());
  (void)platform::RemoveFile(NewRecordName());
  for (int number = 0; number < kMaxPieces; ++number) (void)platform::RemoveFile(PartName(number));
}

bool CHttpGet::Engine::WriteRecord() {
  // Caller holds the pieces lock. The closing "end" line tells a whole record from a cut one.
  std::vector<const Piece*> order;
  for (const auto& piece : pieces_) order.push_back(piece.get());
  std::sort(order.begin(), order.end(), [](const Piece* a, const Piece* b) { return a->start < b->start; });
  std::string text = "total=" + std::to_string(total_) + "\n" + platform::ToUtf8(validator_) + "\n";
  for (const Piece* piece : order)
    text += "part=" + std::to_string(piece->number) + " " + std::to_string(piece->start) + "-" +
            std::to_string(piece->end) + "\n";
  text += "end\n";
  // Written beside the record and renamed over it: a run killed meanwhile leaves the record
  // before, which still describes the parts (a split only shortens a piece and adds a part that
  // it does not name), never a cut or empty one that would start every piece over.
  platform::UniqueFile file;
  return file.Open(NewRecordName(), "wb") && file.Write(text.data(), text.size()) && file.Close() &&
         platform::RenameFile(NewRecordName(), RecordName());
}

bool CHttpGet::Engine::LoadRecord() {
  const std::string text = ReadRecordText(RecordName());
  const std::string head = "total=" + std::to_string(total_) + "\n" + platform::ToUtf8(validator_) + "\n";
  if (text.compare(0, head.size(), head) != 0 || text.size() < 4 || text.compare(text.size() - 4, 4, "end\n") != 0)
    return false;
  std::vector<std::unique_ptr<Piece>> loaded;
  std::size_t at = head.size();
  while (at < text.size() - 4) {
    const std::size_t end = text.find('\n', at);
    int number = -1;
    long long first = -1, last = -1;
    char extra = 0;
    if (std::sscanf(text.substr(at, end - at).c_str(), "part=%d %lld-%lld%c", &number, &first, &last, &extra) != 3)
      return false;
    auto piece = std::make_unique<Piece>();
    piece->number = number;
    piece->start = first;
    piece->end = last;
    loaded.push_back(std::move(piece));
    at = end + 1;
  }
  // The pieces must cover the file exactly, each under its own number.
  std::sort(loaded.begin(), loaded.end(), [](const auto& a, const auto& b) { return a->start < b->start; });
  std::int64_t next = 0;
  std::vector<bool> used(kMaxPieces, false);
  for (const auto& piece : loaded) {
    if (piece->start != next || piece->end <= piece->start || piece->number < 0 || piece->number >= kMaxPieces ||
        used[static_cast<std::size_t>(piece->number)])
      return false;
    used[static_cast<std::size_t>(piece->number)] = true;
    next = piece->end;
  }
  if (loaded.empty() || next != total_) return false;
  // Parts that the record does not name are left from something else. Most are missing, and a
  // piece later made under such a number starts its part empty: a failed delete changes nothing.
  for (int number = 0; number < kMaxPieces; ++number)
    if (!used[static_cast<std::size_t>(number)]) (void)platform::RemoveFile(PartName(number));
  pieces_ = std::move(loaded);
  return true;
}

void CHttpGet::Engine::PlanFresh() {
  RemoveParts();
  const int count = request_.allowSegments ? SegmentCount(static_cast<std::uint64_t>(total_)) : 1;
  const std::int64_t chunk = total_ / count;
  pieces_.clear();
  for (int i = 0; i < count; ++i) {
    auto piece = std::make_unique<Piece>();
    piece->number = i;
    piece->start = i * chunk;
    piece->end = i + 1 < count ? piece->start + chunk : total_;
    piece->fresh = true;  // a part that could not be deleted is emptied, never continued
    pieces_.push_back(std::move(piece));
  }
  // Without a record the parts just start afresh next time too.
  if (!WriteRecord()) platform::Log("the record of the parts was not written");
}

DownloadResult CHttpGet::Engine::DownloadPieces() {
  {
    std::lock_guard<std::mutex> hold(piecesMutex_);
    if (!LoadRecord()) PlanFresh();
    std::int64_t have = 0;
    for (const auto& piece : pieces_) {
      const std::int64_t size = piece->fresh ? 0 : platform::FileSize(PartName(piece->number));
      piece->have = std::min(std::max<std::int64_t>(0, size), piece->end - piece->start);
      have += piece->have;
      platform::Log("part %d: bytes %lld-%lld, %lld there", piece->number, static_cast<long long>(piece->start),
                    static_cast<long long>(piece->end - 1), static_cast<long long>(piece->have));
    }
    NoteBytes(have);
  }

  {
    WorkerGroup workers;
    auto start = [&](int slot, Piece* first) {
      {
        std::lock_guard<std::mutex> hold(piecesMutex_);
        ++activeWorkers_;
      }
      if (workers.Start([this, slot, first] { Worker(slot, first); })) return;
      std::lock_guard<std::mutex> hold(piecesMutex_);
      --activeWorkers_;
      RecordFailure(DL_THREAD_FAILED);
      stop_.Set();
    };
    const int count = std::min<int>(kMaxConnections, static_cast<int>(pieces_.size()));
    for (int slot = 0; slot < count && !stop_.IsSet(); ++slot) start(slot, nullptr);
    // A connection far slower than the others gets help at once, up to four connections, rather
    // than only when another piece ends.
    for (int slot = count;;) {
      std::unique_lock<std::mutex> hold(piecesMutex_);
      if (workerEnded_.wait_for(hold, std::chrono::milliseconds(timing_.tickMs), [this] { return activeWorkers_ == 0; }))
        break;
      if (activeWorkers_ >= kMaxConnections || stop_.IsSet()) continue;
      hold.unlock();
      const double fastest = SlowPieceWorthSplitting();
      if (fastest <= 0) continue;
      if (Piece* piece = SplitSlowest(fastest)) start(slot++, piece);
    }
  }  // every worker has ended here

  if (stop_.IsSet()) {
    (void)held_.Close();  // before deleting: an open file cannot be deleted everywhere
    if (deleteOnStop_.load()) RemoveParts();
    return FailureOr(DL_STOPPED);
  }
  for (const auto& piece : pieces_)
    if (piece->Left() > 0) return FailureOr(DL_RECV_FAILED);
  return JoinPieces();
}

void CHttpGet::Engine::Worker(int slot, Piece* first) {
  struct Leaving {
    Engine& engine;
    ~Leaving() {
      std::lock_guard<std::mutex> hold(engine.piecesMutex_);
      --engine.activeWorkers_;
      engine.workerEnded_.notify_all();
    }
  } leaving{*this};
  try {
    double rate = 0;  // bytes per millisecond of this worker's last piece
    for (Piece* piece = first ? first : NextPiece(); piece;) {
      const DownloadResult code = RunPiece(*piece, slot, rate);
      if (code != DL_OK) {
        RecordFailure(code);
        stop_.Set();  // the download has failed: the others stop and keep their parts
        return;
      }
      piece = NextPiece();
      if (!piece) piece = SplitSlowest(rate);
    }
  } catch (...) {
    // Out of memory inside a worker: its piece stays unfinished and the run fails.
    RecordFailure(DL_NO_MEMORY);
    stop_.Set();
  }
}

Piece* CHttpGet::Engine::NextPiece() {
  std::lock_guard<std::mutex> hold(piecesMutex_);
  for (const auto& piece : pieces_) {
    if (piece->claimed) continue;
    std::lock_guard<std::mutex> own(piece->mutex);
    if (piece->Left() <= 0) continue;
    piece->claimed = true;
    return piece.get();
  }
  return nullptr;
}

double CHttpGet::Engine::SlowPieceWorthSplitting() {
  std::lock_guard<std::mutex> hold(piecesMutex_);
  const std::uint32_t now = platform::TickCount();
  double fastest = 0, slowest = -1;
  for (const auto& piece : pieces_) {
    std::lock_guard<std::mutex> own(piece->mutex);
    const std::uint32_t spent = now - piece->attemptStart;
    // A rate needs a second of data behind it; a piece that has just begun tells nothing yet.
    if (!piece->claimed || piece->Left() <= 0 || spent < 1000) continue;
    const double rate = static_cast<double>(piece->attemptBytes) / spent;
    fastest = std::max(fastest, rate);
    if (piece->Left() > kSplitAbove && (slowest < 0 || rate < slowest)) slowest = rate;
  }
  return slowest >= 0 && slowest * 4 < fastest ? fastest : 0;
}

Piece* CHttpGet::Engine::SplitSlowest(double finisherRate) {
  if (stop_.IsSet()) return nullptr;
  std::lock_guard<std::mutex> hold(piecesMutex_);
  if (static_cast<int>(pieces_.size()) >= kMaxPieces) return nullptr;
  const std::uint32_t now = platform::TickCount();
  Piece* slowest = nullptr;
  double slowestRate = 0, longest = -1;
  for (const auto& piece : pieces_) {
    std::lock_guard<std::mutex> own(piece->mutex);
    if (!piece->claimed || piece->Left() <= kSplitAbove) continue;
    const double rate = static_cast<double>(piece->attemptBytes) / std::max<std::uint32_t>(1, now - piece->attemptStart);
    const double timeLeft = static_cast<double>(piece->Left()) / std::max(rate, 1e-6);
    if (timeLeft > longest) {
      longest = timeLeft;
      slowest = piece.get();
      slowestRate = rate;
    }
  }
  if (!slowest) return nullptr;

  auto fresh = std::make_unique<Piece>();
  {
    std::lock_guard<std::mutex> own(slowest->mutex);
    const std::int64_t left = slowest->Left();
    if (left <= kSplitAbove) return nullptr;
    // Share what is left so that both connections end together at the rates seen so far.
    const double mine = finisherRate > 0 ? finisherRate : std::max(slowestRate, 1e-6);
    const double share = std::max(slowestRate, 1e-6) / (std::max(slowestRate, 1e-6) + mine);
    std::int64_t keep = static_cast<std::int64_t>(static_cast<double>(left) * share);
    keep = std::max<std::int64_t>(keep, static_cast<std::int64_t>(kReceiveBlock));
    keep = std::min<std::int64_t>(keep, left - kSmallestSplit);
    std::vector<bool> used(kMaxPieces, false);
    for (const auto& piece : pieces_) used[static_cast<std::size_t>(piece->number)] = true;
    fresh->number = static_cast<int>(std::find(used.begin(), used.end(), false) - used.begin());
    fresh->start = slowest->start + slowest->have + keep;
    fresh->end = slowest->end;
    fresh->fresh = true;
    fresh->claimed = true;
    slowest->end = fresh->start;
    pieces_.push_back(std::move(fresh));
    // On disk before the new part gets a byte; the slow part never holds bytes past its new end.
    if (!WriteRecord()) platform::Log("the record of the parts was not written");
    platform::Log("part %d split at %lld: part %d takes bytes %lld-%lld", slowest->number,
                  static_cast<long long>(slowest->end), pieces_.back()->number,
                  static_cast<long long>(pieces_.back()->start), static_cast<long long>(pieces_.back()->end - 1));
  }
  return pieces_.back().get();
}

DownloadResult CHttpGet::Engine::RunPiece(Piece& piece, int slot, double& rate) {
  platform::HeldFile part;
  const std::wstring name = PartName(piece.number);
  const bool exists = !piece.fresh && platform::PathExists(name);
  if (!part.Open(name, !exists)) return DL_PART_OPEN_FAILED;

  // The piece at 0 feeds the checksums in order, on their own threads while the next block
  // arrives; bytes a killed run left are read once here.
  std::unique_ptr<HashPipeline> hash;
  if (digests_.Any() && piece.start == 0) {
    hash = std::make_unique<HashPipeline>(digests_.All(), kReceiveBlock);
    while (hashed_ < piece.have) {
      char* block = hash->NextBuffer();
      const std::int64_t n =
          part.Read(block, static_cast<std::size_t>(std::min<std::int64_t>(kReceiveBlock, piece.have - hashed_)));
      if (n <= 0) return DL_PART_READ_FAILED;
      hash->Hand(static_cast<std::size_t>(n));
      hashed_ += n;
    }
  }

  Backoff backoff(timing_, static_cast<unsigned>(slot) * 104729u + platform::TickCount());
  const std::uint32_t started = platform::TickCount();
  std::int64_t before = 0;
  {
    std::lock_guard<std::mutex> own(piece.mutex);
    before = piece.have;
  }
  for (;;) {
    bool moved = false;
    const DownloadResult code = PieceAttempt(piece, part, hash.get(), slot, moved, backoff);
    if (code == DL_OK) break;
    if (moved) backoff.Reset();
    if (code == DL_PART_OPEN_FAILED || code == DL_PART_READ_FAILED || code == DL_HTTP_DENIED) return code;
    if (!KeepTrying(code, backoff, "segment")) return FailureOr(code);
  }
  // The part at 0 becomes the file: it stays open, so that what was hashed is what the join
  // finds (only this piece's one worker ever sets it; the join reads it after every worker ended).
  if (hash) hash->Finish();
  if (piece.start == 0)
    held_ = std::move(part);
  else if (!part.Close())
    return DL_PART_OPEN_FAILED;
  std::lock_guard<std::mutex> own(piece.mutex);
  rate = static_cast<double>(piece.have - before) / std::max<std::uint32_t>(1, platform::TickCount() - started);
  return DL_OK;
}

DownloadResult CHttpGet::Engine::PieceAttempt(Piece& piece, platform::HeldFile& part, HashPipeline* hash, int slot,
                                              bool& moved, Backoff& backoff) {
  std::int64_t from = 0, end = 0;
  {
    std::lock_guard<std::mutex> own(piece.mutex);
    if (piece.Left() <= 0) return DL_OK;
    from = piece.start + piece.have;
    end = piece.end;
    piece.attemptStart = platform::TickCount();
    piece.attemptBytes = 0;
    if (!part.Seek(piece.have)) return DL_PART_OPEN_FAILED;
  }
  HttpConnection connection(stop_, Limits());
  std::string address;
  DownloadResult code =
      connection.Open(final_.ConnectHost(), final_.ConnectPort(), static_cast<unsigned>(slot), address);
  LogConnection("segment", address, final_.ConnectPort(), code);
  if (code != DL_OK) return code;
  if (request_.callback && request_.cookie != 0)
    request_.callback->OnServerAddress(platform::FromAnsi(address), request_.cookie);
  // The Range line's upper value is the piece's end itself (one byte more than it needs).
  std::string header;
  if ((code = connection.Send(RangeRequest(final_, from, end))) != DL_OK ||
      (code = connection.ReadHeader(header)) != DL_OK)
    return code;
  platform::Log("bytes %lld-%lld: %s", static_cast<long long>(from), static_cast<long long>(end),
                header.substr(0, header.find("\r\n")).c_str());
  const int status = StatusCode(header);
  backoff.AtLeast(RetryAfterMs(header));
  // A 416 says the range does not fit the file the probe saw: asked again, not final.
  if (status != 206 && status != 416 && status >= 400) return StatusFailure(status);
  // Only the range asked for may go into the part file: a 200 with the whole file, a 416 error
  // page or a range starting elsewhere would land at the piece's offset and corrupt the join.
  std::wstring value;
  if (status != 206 || !FindField(platform::FromAnsi(header), L"Content-Range", value) || RangeFirstByte(value) != from)
    return DL_RECV_FAILED;

  // The piece at 0 receives into the hashers' buffers: each block is written and hashed from one.
  std::vector<char> own(hash ? 0 : kReceiveBlock);
  for (;;) {
    char* buffer = hash ? hash->NextBuffer() : own.data();
    DownloadResult failure = DL_OK;
    const int n = connection.Receive(buffer, kReceiveBlock, failure);
    if (n < 0) return failure;
    if (n == 0) return DL_RECV_FAILED;  // closed before the piece's end
    std::int64_t keep = 0;
    bool done = false;
    {
      // Written under the piece's lock, so a split between two blocks moves the end first.
      std::lock_guard<std::mutex> own(piece.mutex);
      keep = std::min<std::int64_t>(n, piece.Left());
      // Each block is the system's at once (nothing buffered), so the part's size is always a
      // valid resume point.
      if (keep > 0 && !part.Write(buffer, static_cast<std::size_t>(keep))) return DL_PART_OPEN_FAILED;
      piece.have += keep;
      piece.attemptBytes += keep;
      done = piece.Left() <= 0;
    }
    if (hash && keep > 0) {
      hash->Hand(static_cast<std::size_t>(keep));
      hashed_ += keep;
    }
    moved = moved || keep > 0;
    NoteBytes(keep);
    if (done) return DL_OK;
  }
}

DownloadResult CHttpGet::Engine::JoinPieces() {
  std::vector<Piece*> order;
  for (const auto& piece : pieces_) order.push_back(piece.get());
  std::sort(order.begin(), order.end(), [](const Piece* a, const Piece* b) { return a->start < b->start; });

  // The part at offset 0 becomes the file: the others are copied into it at their offsets (a
  // join that a kill interrupted is simply done again), and only it is renamed, while open.
  const std::wstring base = PartName(order.front()->number);
  if (!held_.IsOpen() && !held_.Open(base, false)) return DL_PART_READ_FAILED;
  DownloadResult code = CopyPiecesIntoBase(order);
  if (code == DL_OK && platform::FileSize(base) != total_) {
    (void)held_.Close();  // the join has failed already; the parts are deleted next
    RemoveParts();  // longer than the file: not made by this engine
    return DL_PART_READ_FAILED;
  }
  if (code == DL_OK && (code = CheckDigests()) != DL_OK) {
    (void)held_.Close();  // the join has failed already; the parts are deleted next
    RemoveParts();
    return code;
  }
  if (code == DL_OK && !held_.RenameTo(target_)) code = DL_OUTPUT_OPEN_FAILED;  // parts and record stay whole
  if (code != DL_OK) {
    (void)held_.Close();  // the join has failed already; the next run joins the parts again
    return code;
  }
  RemoveParts();
  return DL_OK;
}

DownloadResult CHttpGet::Engine::CopyPiecesIntoBase(const std::vector<Piece*>& order) {
  HashPipeline hash(digests_.All(), kCopyBlock);
  if (digests_.Any()) {
    // What the piece at 0 did not feed in order during this run.
    if (!held_.Seek(hashed_)) return DL_PART_READ_FAILED;
    while (hashed_ < order.front()->end) {
      char* block = hash.NextBuffer();
      const std::int64_t n =
          held_.Read(block, static_cast<std::size_t>(std::min<std::int64_t>(kCopyBlock, order.front()->end - hashed_)));
      if (n <= 0) return DL_PART_READ_FAILED;
      hash.Hand(static_cast<std::size_t>(n));
      hashed_ += n;
    }
  }
  for (std::size_t i = 1; i < order.size(); ++i) {
    platform::UniqueFile in;
    if (!in.Open(PartName(order[i]->number), "rb")) return DL_PART_READ_FAILED;
    if (!held_.Seek(order[i]->start)) return DL_OUTPUT_OPEN_FAILED;
    // One read of each part, written and hashed from the same buffer.
    for (std::int64_t left = order[i]->end - order[i]->start; left > 0;) {
      char* block = hash.NextBuffer();
      const std::int64_t n = in.Read(block, static_cast<std::size_t>(std::min<std::int64_t>(kCopyBlock, left)));
      if (n <= 0) return DL_PART_READ_FAILED;
      if (!held_.Write(block, static_cast<std::size_t>(n))) return DL_OUTPUT_OPEN_FAILED;
      hash.Hand(static_cast<std::size_t>(n));
      left -= n;
    }
  }
  hash.Finish();
  return DL_OK;
}
