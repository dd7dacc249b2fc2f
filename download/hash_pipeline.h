// Hashing beside copying: the join reads a block, writes it and hands it to the hashing threads
// (one per digest: MD5 and SHA-256 each run on a core of their own) while the next block is read
// and written, so the checksums cost little more than the copy. Blocks go round a ring of three
// buffers; a buffer is reused only once every digest has taken it. Without a digest there is no
// thread and one buffer serves.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/hash.h"

class HashPipeline {
 public:
  HashPipeline(std::vector<platform::Digest*> digests, std::size_t blockSize);
  ~HashPipeline() { Finish(); }
  HashPipeline(const HashPipeline&) = delete;
  HashPipeline& operator=(const HashPipeline&) = delete;

  std::size_t BlockSize() const { return blockSize_; }
  // The buffer to fill next (waits until every hasher is done with it).
  char* NextBuffer();
  // Hands the first n bytes of the buffer NextBuffer gave to every digest.
  void Hand(std::size_t n);
  // Waits until every handed block is in every digest.
  void Finish();

 private:
  static constexpr int kSlots = 3;
  void Loop(std::size_t which);
  std::uint64_t Slowest() const;  // under mutex_

  std::vector<platform::Digest*> digests_;
  std::size_t blockSize_;
  std::vector<char> slots_[kSlots];
  std::size_t sizes_[kSlots] = {};
  std::uint64_t handed_ = 0;
  std::vector<std::uint64_t> hashed_;  // blocks each digest has taken
  bool done_ = false;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::thread> threads_;
};
