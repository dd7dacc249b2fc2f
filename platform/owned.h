// The one owner template for handles: Owned<Traits> holds one handle and releases it when it is
// destroyed or reset. It moves, never copies, so the types built on it need no move code or
// destructor of their own.
//
// Traits name the handle type, its "none" value and how it is released:
//   struct FileTraits { using Handle = std::intptr_t; static Handle Invalid() { return -1; }
//                       static void Close(Handle h); };
// Close is called once per handle and never with Invalid(). The portable owners (fs.h, file_io.h)
// and the Win32 owners (win/handles.h) are all of this one type.
#pragma once

#include <utility>

namespace platform {

template <typename Traits>
class Owned {
 public:
  using Handle = typename Traits::Handle;

  Owned() noexcept = default;
  explicit Owned(Handle handle) noexcept : handle_(handle) {}
  Owned(Owned&& other) noexcept : handle_(other.release()) {}
  Owned& operator=(Owned&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  Owned(const Owned&) = delete;
  Owned& operator=(const Owned&) = delete;
  ~Owned() { reset(); }

  [[nodiscard]] Handle get() const noexcept { return handle_; }
  [[nodiscard]] bool valid() const noexcept { return handle_ != Traits::Invalid(); }
  explicit operator bool() const noexcept { return valid(); }

  // Gives up ownership without releasing.
  [[nodiscard]] Handle release() noexcept { return std::exchange(handle_, Traits::Invalid()); }
  void reset(Handle handle = Traits::Invalid()) noexcept {
    Handle old = std::exchange(handle_, handle);
    if (old != Traits::Invalid()) Traits::Close(old);
  }
  // For out-parameters: releases what is held and hands out the slot.
  Handle* put() noexcept {
    reset();
    return &handle_;
  }

 private:
  Handle handle_ = Traits::Invalid();
};

}  // namespace platform
