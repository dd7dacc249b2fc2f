// A modeless dialog whose messages go to its C++ object.
//
// T provides `static constexpr UINT IDD` (the dialog template) and
// `bool ProcessWindowMessage(HWND, UINT, WPARAM, LPARAM, LRESULT&)`. The object is attached to its
// window on the first message the dialog procedure sees, before WM_INITDIALOG; the creation
// parameter stays 0. No exception may leave ProcessWindowMessage: it runs inside the system's
// dialog procedure.
#pragma once

#include <windows.h>

#include "ui/message_loop.h"

template <typename T>
class CDialogWindow {
 public:
  CDialogWindow() = default;
  CDialogWindow(const CDialogWindow&) = delete;
  CDialogWindow& operator=(const CDialogWindow&) = delete;
  ~CDialogWindow() {
    if (m_hWnd && IsWindow(m_hWnd)) ::DestroyWindow(m_hWnd);
  }

  // Creates the window from T::IDD; null on failure.
  HWND Create(HWND parent) {
    creating_ = this;
    HWND window = CreateDialogParamW(g_module.Instance(), MAKEINTRESOURCEW(T::IDD), parent, &DialogProc, 0);
    creating_ = nullptr;
    return window;
  }

  BOOL DestroyWindow() { return ::DestroyWindow(m_hWnd); }

  HWND m_hWnd = nullptr;

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<CDialogWindow*>(GetWindowLongPtrW(window, DWLP_USER));
    if (!self && creating_) {
      self = creating_;
      creating_ = nullptr;
      self->m_hWnd = window;
      SetWindowLongPtrW(window, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
    }
    if (!self) return FALSE;

    LRESULT result = 0;
    bool handled = static_cast<T*>(self)->ProcessWindowMessage(window, message, wParam, lParam, result);
    if (message == WM_NCDESTROY) {
      SetWindowLongPtrW(window, DWLP_USER, 0);
      self->m_hWnd = nullptr;
    }
    if (!handled) return FALSE;
    switch (message) {
      // These answers are returned directly rather than through DWLP_MSGRESULT.
      case WM_COMPAREITEM:
      case WM_VKEYTOITEM:
      case WM_CHARTOITEM:
      case WM_INITDIALOG:
      case WM_QUERYDRAGICON:
      case WM_CTLCOLORMSGBOX:
      case WM_CTLCOLOREDIT:
      case WM_CTLCOLORLISTBOX:
      case WM_CTLCOLORBTN:
      case WM_CTLCOLORDLG:
      case WM_CTLCOLORSCROLLBAR:
      case WM_CTLCOLORSTATIC:
        return static_cast<INT_PTR>(result);
      default:
        if (message != WM_NCDESTROY) SetWindowLongPtrW(window, DWLP_MSGRESULT, result);
        return TRUE;
    }
  }

  static inline thread_local CDialogWindow* creating_ = nullptr;
};
