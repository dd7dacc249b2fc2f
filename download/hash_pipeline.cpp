#include "download/hash_pipeline.h"

HashPipeline::HashPipeline(platform::Digest* digest, std::size_t blockSize) : digest_(digest), blockSize_(blockSize) {
  for (int i = 0; i < (digest_ ? kSlots : 1); ++i) slots_[i].resize(blockSize_);
  if (digest_) thread_ = std::thread([this] { Loop(); });
}

char* HashPipeline::NextBuffer() {
  if (!digest_) return slots_[0].data();
  std::unique_lock<std::mutex> hold(mutex_);
  changed_.wait(hold, [this] { return handed_ - hashed_ < kSlots; });
  return slots_[handed_ % kSlots].data();
}

void HashPipeline::Hand(std::size_t n) {
  if (!digest_) return;
  {
    std::lock_guard<std::mutex> hold(mutex_);
    sizes_[handed_ % kSlots] = n;
    ++handed_;
  }
  changed_.notify_all();
}

void HashPipeline::Finish() {
  if (!thread_.joinable()) return;
  {
    std::lock_guard<std::mutex> hold(mutex_);
    done_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

void HashPipeline::Loop() {
  std::unique_lock<std::mutex> hold(mutex_);
  for (;;) {
    changed_.wait(hold, [this] { return hashed_ < handed_ || done_; });
    if (hashed_ == handed_) return;  // done, and everything is hashed
    const int slot = static_cast<int>(hashed_ % kSlots);
    hold.unlock();
    digest_->Update(slots_[slot].data(), sizes_[slot]);
    hold.lock();
    ++hashed_;
    changed_.notify_all();
  }
}
