// Hashing beside copying: the join reads a block, writes it and hands it to a thread that feeds
// the digest while the next block is read and written, so the checksum costs little more than the
// copy on two cores. Blocks go round a ring of three buffers; a buffer is reused only once it has
// been hashed. Without a digest there is no thread and one buffer serves.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/hash.h"

class HashPipeline {
 public:
  HashPipeline(platform::Digest* digest, std::size_t blockSize);
  ~HashPipeline() { Finish(); }
  HashPipeline(const HashPipeline&) = delete;
  HashPipeline& operator=(const HashPipeline&) = delete;

  std::size_t BlockSize() const { return blockSize_; }
  // The buffer to fill next (waits until the hasher is done with it).
  char* NextBuffer();
  // Hands the first n bytes of the buffer NextBuffer gave to the digest.
  void Hand(std::size_t n);
  // Waits until every handed block is in the digest.
  void Finish();

 private:
  static constexpr int kSlots = 3;
  void Loop();

  platform::Digest* digest_;
  std::size_t blockSize_;
  std::vector<char> slots_[kSlots];
  std::size_t sizes_[kSlots] = {};
  std::uint64_t handed_ = 0;
  std::uint64_t hashed_ = 0;
  bool done_ = false;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::thread thread_;
};
