// DhStatic: the clickable caption beside an option check box.
//
// A standard static under a class name of its own. A left-button press on it sends (not posts)
// the parent's click message (m_uClickMessage) with the caption's option index; the static itself does
// not see the press. Text, font and colours are those of a standard static, the colours coming
// from the parent's answer to WM_CTLCOLORSTATIC. Create it with SS_NOTIFY, or the static lets
// the mouse through to the window beneath. While its check box (m_hWndBox) has the focus and the
// window shows keyboard cues, the caption draws the box's focus mark around itself (the box has
// no text to draw one around); the owner repaints it (skin::RepaintUnder) when that focus changes.
#pragma once

#include <windows.h>

#include "ui/window_impl.h"

class DhStatic : public win::CWindowImpl<DhStatic> {
 public:
  static constexpr const wchar_t* kClassName = L"DhStatic";
  static constexpr const wchar_t* kBaseClassName = L"STATIC";
  static constexpr UINT kClassStyle = 0;
  static constexpr int kClassBackground = 0;
  static constexpr DWORD kDefaultStyle = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;

  HWND Create(HWND parent, const RECT& rect, const wchar_t* text = nullptr, DWORD style = 0, DWORD exStyle = 0,
              UINT id = 0) {
    return CreateImpl(parent, &rect, text, style, exStyle, id, kDefaultStyle);
  }

  bool ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

  // The number reported to the parent when the caption is clicked.
  int m_nIndex = 0;
  // The message the parent receives for a click (the parent owns its message numbers).
  UINT m_uClickMessage = 0;
  // The check box whose focus the caption shows; none by default.
  HWND m_hWndBox = nullptr;

 private:
  LRESULT OnLButtonDown(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnPaint(UINT, WPARAM, LPARAM, BOOL&);

  static const MessageMapEntry<DhStatic> kMessageMap[];
};
