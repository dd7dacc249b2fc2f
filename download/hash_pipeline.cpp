#include "download/hash_pipeline.h"

#include <algorithm>

HashPipeline::HashPipeline(std::vector<platform::Digest*> digests, std::size_t blockSize)
    : digests_(std::move(digests)), blockSize_(blockSize), hashed_(digests_.size(), 0) {
  for (int i = 0; i < (digests_.empty() ? 1 : kSlots); ++i) slots_[i].resize(blockSize_);
  try {
    for (std::size_t i = 0; i < digests_.size(); ++i) threads_.emplace_back([this, i] { Loop(i); });
  } catch (...) {
    Finish();  // the threads that did start end before the error goes on
    throw;
  }
}

std::uint64_t HashPipeline::Slowest() const {
  return hashed_.empty() ? handed_ : *std::min_element(hashed_.begin(), hashed_.end());
}

char* HashPipeline::NextBuffer() {
  if (digests_.empty()) return slots_[0].data();
  std::unique_lock<std::mutex> hold(mutex_);
  changed_.wait(hold, [this] { return handed_ - Slowest() < kSlots; });
  return slots_[handed_ % kSlots].data();
}

void HashPipeline::Hand(std::size_t n) {
  if (digests_.empty()) return;
  {
    std::lock_guard<std::mutex> hold(mutex_);
    sizes_[handed_ % kSlots] = n;
    ++handed_;
  }
  changed_.notify_all();
}

void HashPipeline::Finish() {
  if (threads_.empty()) return;
  {
    std::lock_guard<std::mutex> hold(mutex_);
    done_ = true;
  }
  changed_.notify_all();
  for (std::thread& thread : threads_) thread.join();
  threads_.clear();
}

void HashPipeline::Loop(std::size_t which) {
  std::unique_lock<std::mutex> hold(mutex_);
  std::uint64_t& hashed = hashed_[which];
  for (;;) {
    changed_.wait(hold, [&] { return hashed < handed_ || done_; });
    if (hashed == handed_) return;  // done, and everything is hashed
    const int slot = static_cast<int>(hashed % kSlots);
    hold.unlock();
    digests_[which]->Update(slots_[slot].data(), sizes_[slot]);
    hold.lock();
    ++hashed;
    changed_.notify_all();
  }
}
