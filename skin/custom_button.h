// CCustomButton: the skinned push button of the installer window.
//
// A standard push button under a class name of its own. Clicks, keyboard handling and the
// BN_CLICKED notification are the standard button's. The owner configures it through the public
// fields after creating it: the parent window whose painting lies behind the button, the strip
// frame shown in each state (normal, pressed, hover, disabled) out of m_nFrameCount equal-width
// frames, and the caption colour of each state.
#pragma once

#include <windows.h>

#include "platform/win/window_impl.h"

class CCustomButton : public win::CWindowImpl<CCustomButton> {
 public:
  static constexpr const wchar_t* kClassName = L"CCustomButton";
  static constexpr const wchar_t* kBaseClassName = L"BUTTON";
  static constexpr UINT kClassStyle = 0;
  static constexpr int kClassBackground = 0;
  static constexpr DWORD kDefaultStyle = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;

  CCustomButton() = default;
  ~CCustomButton() { DestroyIfAlive(); }

  HWND Create(HWND parent, const RECT& rect, const wchar_t* text = nullptr, DWORD style = 0, DWORD exStyle = 0,
              UINT id = 0) {
    return CreateImpl(parent, &rect, text, style, exStyle, id, kDefaultStyle);
  }

  bool ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

  HWND m_hWndParent = nullptr;
  COLORREF m_crTextNormal = RGB(0, 0, 0);
  COLORREF m_crTextPressed = RGB(0, 0, 0);
  COLORREF m_crTextHover = RGB(255, 255, 255);
  COLORREF m_crTextDisabled = RGB(40, 40, 40);
  int m_nFrameNormal = 0;
  int m_nFramePressed = 0;
  int m_nFrameHover = 0;
  int m_nFrameDisabled = 0;
  int m_nFrameCount = 0;
  UINT m_nLastWidth = 0;
  UINT m_nLastHeight = 0;
};
