// A file from a server without ranges: one connection into "<target>_tmp", started again from
// zero when an attempt fails. The answer must be a 200; without an md5 its size must be known and
// reached exactly.
#include "download/engine.h"
#include "platform/clock.h"
#include "platform/log.h"
#include "platform/text.h"

DownloadResult CHttpGet::Engine::DownloadWhole(std::unique_ptr<HttpConnection> first) {
  // Numbered parts of an earlier ranged run can never be continued from here.
  RemoveParts();
  Backoff backoff(timing_, platform::TickCount());
  std::unique_ptr<HttpConnection> connection = std::move(first);
  DownloadResult code = DL_OK;
  for (;;) {
    // Each attempt writes and hashes from the first byte; the part stays open to the end.
    platform::HeldFile part;
    FileDigests digests = NewDigests();
    bool moved = false;
    code = WholeAttempt(connection, part, digests, moved, backoff);
    connection.reset();
    if (code == DL_OK) {
      digests_ = std::move(digests);
      held_ = std::move(part);
      break;
    }
    if (moved) backoff.Reset();
    if (code == DL_PART_OPEN_FAILED || code == DL_HTTP_DENIED || !KeepTrying(code, backoff, "download")) break;
  }
  if (code == DL_OK) code = CheckDigests();
  if (code == DL_OK && !held_.RenameTo(target_)) code = DL_OUTPUT_OPEN_FAILED;
  if (code != DL_OK) {
    (void)held_.Close();  // the download has failed already; its part is deleted next
    (void)platform::RemoveFile(TmpPartName());  // never continued: nothing to keep
  }
  return code;
}

DownloadResult CHttpGet::Engine::WholeAttempt(std::unique_ptr<HttpConnection>& connection, platform::HeldFile& part,
                                              FileDigests& digests, bool& moved, Backoff& backoff) {
  std::int64_t expected = total_;
  if (!connection) {
    connection = std::make_unique<HttpConnection>(stop_, Limits());
    std::string address;
    DownloadResult code = connection->Open(final_.ConnectHost(), final_.ConnectPort(), platform::TickCount(), address);
    LogConnection("download", address, final_.ConnectPort(), code);
    if (code != DL_OK) return code;
    if (request_.callback && request_.cookie != 0)
      request_.callback->OnServerAddress(platform::FromAnsi(address), request_.cookie);
    std::string header;
    if ((code = connection->Send(PlainRequest(final_))) != DL_OK || (code = connection->ReadHeader(header)) != DL_OK)
      return code;
    platform::Log("GET %s: %s", platform::ToUtf8(final_.url).c_str(), header.substr(0, header.find("\r\n")).c_str());
    const int status = StatusCode(header);
    // Only a 200 carries the file itself; an error page must never become the package.
    if (status != 200) {
      backoff.AtLeast(RetryAfterMs(header));
      return StatusFailure(status);
    }
    const std::int64_t named = ParseContentSize(platform::FromAnsi(header));
    if (expected <= 0) expected = named;
    if (named > 0 && named != expected) return DL_RECV_FAILED;
  }
  if (!part.Open(TmpPartName(), true)) return DL_PART_OPEN_FAILED;

  std::vector<char> buffer(kReceiveBlock);
  std::int64_t have = 0;
  DownloadResult code = DL_OK;
  for (;;) {
    DownloadResult failure = DL_OK;
    const int n = connection->Receive(buffer.data(), buffer.size(), failure);
    if (n == 0) {
      // The body's end: a sized file must have come whole.
      if (expected > 0 && have != expected) code = DL_RECV_FAILED;
      break;
    }
    if (n < 0) {
      code = failure;
      break;
    }
    const std::int64_t keep = n;
    if (expected > 0 && have + keep > expected) {
      code = DL_RECV_FAILED;  // longer than the file: not the file
      break;
    }
    if (!part.Write(buffer.data(), static_cast<std::size_t>(keep))) {
      code = DL_PART_OPEN_FAILED;
      break;
    }
    digests.Update(buffer.data(), static_cast<std::size_t>(keep));
    have += keep;
    moved = true;
    NoteBytes(keep);
  }
  if (code != DL_OK) NoteBytes(-have);  // the next attempt starts from zero
  return code;
}
