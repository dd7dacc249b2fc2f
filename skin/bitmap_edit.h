// CBitmapEdit: the skinned single-line text field of the installer window.
//
// A window of its own class "WTL_BitmapEditControl" that draws the field's box and hosts a
// borderless standard EDIT (m_hWndEdit) at m_rcEdit inside it. The owner sets m_nEditId and
// m_hWndParent before Create, then sends the inner field its font and text through m_hWndEdit.
#pragma once

#include <windows.h>

#include <string>

#include "platform/win/window_impl.h"

class CBitmapEdit : public win::CWindowImpl<CBitmapEdit> {
 public:
  static constexpr const wchar_t* kClassName = L"WTL_BitmapEditControl";
  static constexpr const wchar_t* kBaseClassName = nullptr;
  static constexpr UINT kClassStyle = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
  static constexpr int kClassBackground = COLOR_WINDOW + 1;
  static constexpr DWORD kDefaultStyle = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;

  CBitmapEdit() = default;
  ~CBitmapEdit() { DestroyIfAlive(); }

  // A null rect creates the control with zero size at the parent's origin.
  HWND Create(HWND parent, const RECT* rect, const wchar_t* text = nullptr, DWORD style = 0, DWORD exStyle = 0,
              UINT id = 0) {
    return CreateImpl(parent, rect, text, style, exStyle, id, kDefaultStyle);
  }

  // Sets `text` to the inner field's text (empty when the field is empty). Always true. May be
  // called from another thread: it waits for the window's thread to answer.
  bool GetEditText(std::wstring& text) const;

  bool ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

  HWND m_hWndEdit = nullptr;
  UINT m_nEditId = 0;
  DWORD m_dwEditStyle = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_TABSTOP | ES_AUTOHSCROLL;
  COLORREF m_crText = RGB(0, 0, 0);
  HWND m_hWndParent = nullptr;
  bool m_bFocus = false;
  RECT m_rcEdit = {1, 1, 1, 1};

 private:
  LRESULT OnCreate(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnPaint(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnEraseBackground(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnCtlColorEdit(UINT, WPARAM, LPARAM, BOOL&);

  void Paint(HDC dc);

  static const MessageMapEntry<CBitmapEdit> kMessageMap[];
};
