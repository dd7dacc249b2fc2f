// CWindowImpl<T>: a C++ object behind a child window, for the skinned controls.
//
// Three ways to bind the object to a window:
//   - a window class of its own (T::kBaseClassName is null): registered once with T's class style
//     and background; unhandled messages go to DefWindowProcW;
//   - a superclass of a system class (T::kBaseClassName names it, e.g. "BUTTON"): registered once
//     under T::kClassName with the system class's procedure kept for unhandled messages, so the
//     control behaves as the system one except where T says otherwise;
//   - SubclassWindow: an existing window's procedure is replaced; unhandled messages go to the
//     procedure it had.
// T provides `static constexpr const wchar_t* kClassName`, `kBaseClassName`, `UINT kClassStyle`,
// `int kClassBackground` (a COLOR_* + 1 value, or 0) and
// `bool ProcessWindowMessage(HWND, UINT, WPARAM, LPARAM, LRESULT&)`, which must not throw.
//
// The object is attached on the first message its window receives and detached on WM_NCDESTROY.
// Messages reflected by the parent (message + kReflectedMessageBase) that T does not take get the
// default answer of the original message, as a window that nobody reflects to would give.
// Destroying the object destroys its window if the window still exists (derived destructors call
// DestroyIfAlive first).
#pragma once

#include <windows.h>

#include "ui/message_map.h"

namespace win {

template <typename T>
class CWindowImpl {
 public:
  CWindowImpl() = default;
  CWindowImpl(const CWindowImpl&) = delete;
  CWindowImpl& operator=(const CWindowImpl&) = delete;

  // Creates the window as a child of `parent`; null on failure. A null rect means zero size at
  // the parent's origin; style 0 means `defaultStyle`.
  HWND CreateImpl(HWND parent, const RECT* rect, const wchar_t* text, DWORD style, DWORD exStyle, UINT id,
                  DWORD defaultStyle) {
    if (!RegisterClassOnce()) return nullptr;
    RECT bounds = rect ? *rect : RECT{0, 0, 0, 0};
    creating_ = this;
    HWND window = CreateWindowExW(exStyle, T::kClassName, text ? text : L"", style ? style : defaultStyle,
                                  bounds.left, bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top,
                                  parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                  GetModuleHandleW(nullptr), nullptr);
    creating_ = nullptr;
    return window;
  }

  // Takes over an existing window; false when it is gone or already taken.
  bool SubclassWindow(HWND window) {
    if (m_hWnd || !IsWindow(window) || GetWindowLongPtrW(window, GWLP_USERDATA) != 0) return false;
    m_hWnd = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    subclassedProc_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WindowProc)));
    return true;
  }

  // The processing the window would get without T.
  LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    return CallWindowProcW(OriginalProc(), m_hWnd, message, wParam, lParam);
  }

  HWND m_hWnd = nullptr;

 protected:
  ~CWindowImpl() { DestroyIfAlive(); }

  // Derived destructors call this first, so that the window's last messages still find the whole
  // object.
  void DestroyIfAlive() {
    if (m_hWnd && IsWindow(m_hWnd)) ::DestroyWindow(m_hWnd);
  }

 private:
  WNDPROC OriginalProc() const {
    if (subclassedProc_) return subclassedProc_;
    return baseProc_ ? baseProc_ : &::DefWindowProcW;
  }

  static bool RegisterClassOnce() {
    if (registered_) return true;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    if (T::kBaseClassName) {
      if (!GetClassInfoExW(nullptr, T::kBaseClassName, &wc)) return false;
      baseProc_ = wc.lpfnWndProc;
    } else {
      wc.style = T::kClassStyle;
      wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
      wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(T::kClassBackground));
    }
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = &WindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = T::kClassName;
    wc.lpszMenuName = nullptr;
    registered_ = RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    return registered_;
  }

  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<CWindowImpl*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self && creating_) {
      self = creating_;
      creating_ = nullptr;
      self->m_hWnd = window;
      SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    if (!self) return CallWindowProcW(baseProc_ ? baseProc_ : &::DefWindowProcW, window, message, wParam, lParam);

    LRESULT result = 0;
    if (!static_cast<T*>(self)->ProcessWindowMessage(window, message, wParam, lParam, result)) {
      if (message >= kReflectedMessageBase && message < kReflectedMessageBase + WM_USER)
        result = ::DefWindowProcW(window, message - kReflectedMessageBase, wParam, lParam);
      else
        result = self->DefWindowProc(message, wParam, lParam);
    }
    if (message == WM_NCDESTROY) {
      SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      if (self->subclassedProc_) {
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(self->subclassedProc_));
        self->subclassedProc_ = nullptr;
      }
      self->m_hWnd = nullptr;
    }
    return result;
  }

  WNDPROC subclassedProc_ = nullptr;
  static inline WNDPROC baseProc_ = nullptr;
  static inline bool registered_ = false;
  static inline thread_local CWindowImpl* creating_ = nullptr;
};

}  // namespace win
