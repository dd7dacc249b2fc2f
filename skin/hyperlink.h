// CHyperLink: an underlined text link attached to an existing static control.
//
// SubclassWindow takes over the static and sets it up: SS_NOTIFY (so it takes the mouse), the
// fonts (the static's font, or the system's icon-title font when it has none, and the same font
// underlined for the label), the hand cursor and the link colours (blue and purple, or the
// current user's browser anchor colours where they are set). The label is drawn in the link
// colour over whatever brush the parent answers to WM_CTLCOLORSTATIC.
//
// Activation is a left click released over the label, or Enter or Space while the link has the
// focus. With the focus, once the window shows keyboard cues, a dotted focus mark in the link
// colour surrounds the label; the parent repaints under the link whenever the focus comes or goes,
// so the mark never stays behind. In notify mode (kLinkNotifyParent) it sends the parent WM_NOTIFY with NM_CLICK and opens
// nothing itself; in command mode it sends WM_COMMAND; otherwise it opens m_strHyperLink with the
// shell and marks the link visited.
#pragma once

#include <windows.h>

#include <string>

#include "platform/win/handles.h"
#include "ui/window_impl.h"

class CHyperLink : public win::CWindowImpl<CHyperLink> {
 public:
  static constexpr const wchar_t* kClassName = L"CHyperLink";
  static constexpr const wchar_t* kBaseClassName = nullptr;
  static constexpr UINT kClassStyle = 0;
  static constexpr int kClassBackground = 0;

  // Extended style bits.
  static constexpr DWORD kLinkNotUnderlined = 0x01;
  static constexpr DWORD kLinkUnderlineHover = 0x02;
  static constexpr DWORD kLinkCommandButton = 0x04;
  static constexpr DWORD kLinkNotifyParent = 0x0C;

  CHyperLink() = default;
  ~CHyperLink() { DestroyIfAlive(); }

  bool SubclassWindow(HWND window);
  void SetHyperLinkExtendedStyle(DWORD style);
  [[nodiscard]] DWORD GetHyperLinkExtendedStyle() const { return m_dwExtendedStyle; }
  void SetLabel(const std::wstring& label);

  bool ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

  // Reads "r,g,b" (three decimal numbers of 0..255) as a colour; false when the text is not one.
  static bool ParseColour(const std::wstring& text, COLORREF* colour);

  HFONT m_hFont = nullptr;  // the label's normal font; not owned unless made here
  std::wstring m_strLabel;
  std::wstring m_strHyperLink;
  COLORREF m_clrLink = RGB(0, 0, 255);
  COLORREF m_clrVisited = RGB(128, 0, 128);
  bool m_bVisited = false;

 private:
  LRESULT OnPaint(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnEraseBackground(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnSetCursor(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnLButtonDown(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnLButtonUp(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnChar(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnGetDlgCode(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnFocusChange(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnSetFont(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnGetFont(UINT, WPARAM, LPARAM, BOOL&);

  void Paint(HDC dc);
  void ReadBrowserColours();
  void MakeFonts();
  RECT LabelRect();
  bool IsOverLabel(LPARAM clientPoint);
  void Activate();

  DWORD m_dwExtendedStyle = 0;
  win::UniqueFont m_ownedFont;  // the icon-title font, when the static had none
  win::UniqueFont m_linkFont;
  HCURSOR m_hCursor = nullptr;

  static const MessageMapEntry<CHyperLink> kMessageMap[];
};
