// Owners for the Win32 handles of the Windows shell (app/, system/, skin/).
//
// Each owner's type says how its handle is released: UniqueHandle closes a kernel handle that is
// null when absent, UniqueFileHandle one that is INVALID_HANDLE_VALUE when absent; UniqueHKey
// closes a registry key, UniqueScHandle a service-manager handle, UniqueGdiObject<T> deletes a
// GDI object, UniqueDc deletes a memory DC, WindowDc releases a window's DC, SelectScope puts the
// previous object back into a DC, UniqueCoTaskMem<T> frees COM task memory, ComPtr<T> releases a
// COM interface. Owners move, never copy. The handle owners are platform::Owned (platform/owned.h)
// with the traits below, the same template as the portable core's file owners.
// Windows only: the portable core never includes this.
#pragma once

#include <windows.h>
#include <objbase.h>

#include <utility>

#include "platform/owned.h"

namespace win {

struct KernelHandleTraits {
  using Handle = HANDLE;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { CloseHandle(h); }
};
struct FileHandleTraits {
  using Handle = HANDLE;
  static Handle Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(Handle h) { CloseHandle(h); }
};
struct FindHandleTraits {
  using Handle = HANDLE;
  static Handle Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(Handle h) { FindClose(h); }
};
struct HKeyTraits {
  using Handle = HKEY;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { RegCloseKey(h); }
};
struct ScHandleTraits {
  using Handle = SC_HANDLE;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { CloseServiceHandle(h); }
};
template <typename T>
struct GdiObjectTraits {
  using Handle = T;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { DeleteObject(h); }
};
struct MemoryDcTraits {
  using Handle = HDC;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { DeleteDC(h); }
};
template <typename T>
struct CoTaskMemTraits {
  using Handle = T*;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { CoTaskMemFree(h); }
};
struct IconTraits {
  using Handle = HICON;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { DestroyIcon(h); }
};

using UniqueHandle = platform::Owned<KernelHandleTraits>;
using UniqueFileHandle = platform::Owned<FileHandleTraits>;
using UniqueFind = platform::Owned<FindHandleTraits>;  // FindFirstFileW .. FindClose
using UniqueHKey = platform::Owned<HKeyTraits>;
using UniqueScHandle = platform::Owned<ScHandleTraits>;
template <typename T>
using UniqueGdiObject = platform::Owned<GdiObjectTraits<T>>;
using UniqueFont = UniqueGdiObject<HFONT>;
using UniqueBitmap = UniqueGdiObject<HBITMAP>;
using UniqueBrush = UniqueGdiObject<HBRUSH>;
using UniqueDc = platform::Owned<MemoryDcTraits>;
using UniqueIcon = platform::Owned<IconTraits>;
// Memory the shell or COM hands out with CoTaskMemAlloc (item id lists, strings).
template <typename T>
using UniqueCoTaskMem = platform::Owned<CoTaskMemTraits<T>>;
// Memory the system allocated with LocalAlloc for the caller (CommandLineToArgvW, FormatMessage).
template <typename T>
struct LocalMemTraits {
  using Handle = T;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { LocalFree(reinterpret_cast<HLOCAL>(h)); }
};
template <typename T>
using UniqueLocal = platform::Owned<LocalMemTraits<T>>;

// A window's device context from GetDC, released with ReleaseDC.
class WindowDc {
 public:
  explicit WindowDc(HWND window) noexcept : window_(window), dc_(GetDC(window)) {}
  ~WindowDc() {
    if (dc_) ReleaseDC(window_, dc_);
  }
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  [[nodiscard]] HDC get() const noexcept { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

// BeginPaint .. EndPaint.
class PaintDc {
 public:
  explicit PaintDc(HWND window) noexcept : window_(window) { dc_ = BeginPaint(window, &paint_); }
  ~PaintDc() { EndPaint(window_, &paint_); }
  PaintDc(const PaintDc&) = delete;
  PaintDc& operator=(const PaintDc&) = delete;
  [[nodiscard]] HDC get() const noexcept { return dc_; }

 private:
  HWND window_;
  PAINTSTRUCT paint_{};
  HDC dc_ = nullptr;
};

// Answers WM_PAINT and WM_PRINTCLIENT alike: paints into the DC that wParam carries (a snapshot
// or a print request asks this way), otherwise between BeginPaint and EndPaint.
template <typename PaintFn>
void PaintGivenOrOwnDc(HWND window, WPARAM wParam, PaintFn paint) {
  if (wParam) {
    paint(reinterpret_cast<HDC>(wParam));
  } else {
    PaintDc dc(window);
    paint(dc.get());
  }
}

// Selects an object into a DC and puts the previous one back at scope end.
class SelectScope {
 public:
  SelectScope(HDC dc, HGDIOBJ object) noexcept : dc_(dc), previous_(SelectObject(dc, object)) {}
  ~SelectScope() {
    if (previous_ && previous_ != HGDI_ERROR) SelectObject(dc_, previous_);
  }
  SelectScope(const SelectScope&) = delete;
  SelectScope& operator=(const SelectScope&) = delete;

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

// An owned COM interface pointer.
template <typename T>
class ComPtr {
 public:
  ComPtr() noexcept = default;
  ComPtr(ComPtr&& other) noexcept : ptr_(std::exchange(other.ptr_, nullptr)) {}
  ComPtr& operator=(ComPtr&& other) noexcept {
    if (this != &other) {
      reset();
      ptr_ = std::exchange(other.ptr_, nullptr);
    }
    return *this;
  }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ~ComPtr() { reset(); }

  [[nodiscard]] T* get() const noexcept { return ptr_; }
  T* operator->() const noexcept { return ptr_; }
  explicit operator bool() const noexcept { return ptr_ != nullptr; }
  void reset() noexcept {
    if (ptr_) std::exchange(ptr_, nullptr)->Release();
  }
  T** put() noexcept {
    reset();
    return &ptr_;
  }
  void** put_void() noexcept { return reinterpret_cast<void**>(put()); }

 private:
  T* ptr_ = nullptr;
};

// CoInitialize .. CoUninitialize on the calling thread; the result of CoInitialize is not needed
// by any caller, so it is not kept.
class ComScope {
 public:
  ComScope() noexcept { initialized_ = SUCCEEDED(CoInitialize(nullptr)); }
  ~ComScope() {
    if (initialized_) CoUninitialize();
  }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;

 private:
  bool initialized_ = false;
};

}  // namespace win
