// CBitmapEdit: the skinned single-line text field of the installer window.
//
// A window of its own class "WTL_BitmapEditControl" that paints a skin image (the box) over a
// snapshot of what its parent paints beneath it, and hosts a borderless standard EDIT
// (m_hWndEdit) placed at m_rcEdit whenever the control paints. The EDIT's colour requests are
// answered with a pattern brush of the control's own painting under it and a transparent text
// background, so text appears drawn directly on the box.
//
// The owner sets m_nEditId and m_hWndParent before Create, loads the images into m_imgNormal (and
// m_imgFocus, drawn instead while m_bFocus is set), then sends the inner field its font and text
// through m_hWndEdit. Both snapshots are dropped when the control moves or changes size and are
// captured again when next needed. While the parent window is hidden the control paints nothing.
#pragma once

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <string>

#include "skin/skin_image.h"
#include "ui/window_impl.h"

class CBitmapEdit : public win::CWindowImpl<CBitmapEdit> {
 public:
  static constexpr const wchar_t* kClassName = L"WTL_BitmapEditControl";
  static constexpr const wchar_t* kBaseClassName = nullptr;
  static constexpr UINT kClassStyle = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
  static constexpr int kClassBackground = COLOR_WINDOW + 1;
  static constexpr DWORD kDefaultStyle = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;

  CBitmapEdit() = default;
  ~CBitmapEdit() {
    DestroyIfAlive();
    m_bkParent.Reset();
    m_bkEdit.Reset();
  }

  // A null rect creates the control with zero size at the parent's origin.
  HWND Create(HWND parent, const RECT* rect, const wchar_t* text = nullptr, DWORD style = 0, DWORD exStyle = 0,
              UINT id = 0) {
    return CreateImpl(parent, rect, text, style, exStyle, id, kDefaultStyle);
  }

  // Resizes the control so that its client area has the normal image's size, keeping its place
  // and Z order. Does nothing without a normal image.
  void ResizeToImage();

  // Sets `text` to the inner field's text (empty when the field is empty). Always true. May be
  // called from another thread: it waits for the window's thread to answer.
  bool GetEditText(std::wstring& text) const;

  bool ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

  HWND m_hWndEdit = nullptr;
  SkinImageSlot m_imgNormal;
  SkinImageSlot m_imgFocus;
  UINT m_nEditId = 0;
  BackgroundSnapshot m_bkParent;
  BackgroundSnapshot m_bkEdit;
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
  LRESULT OnMoveOrSize(UINT, WPARAM, LPARAM, BOOL&);

  void Paint(HDC dc);

  static const MessageMapEntry<CBitmapEdit> kMessageMap[];
};
