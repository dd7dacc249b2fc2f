// CCustomButton: the skinned push button of the installer window.
//
// A standard push button under a class name of its own whose face is replaced by pictures. Clicks,
// keyboard handling and the BN_CLICKED notification are the standard button's. For each state
// (normal, hover, pressed, disabled) UpdateStateImages pre-renders a bitmap of the client size:
// what the parent window paints behind the button, one frame of a horizontal image strip at the
// top left at its own size, and the caption (the window text) centred on the frame in that
// state's colour. The button then draws itself from the custom-draw notification that its parent
// reflects back to it (message + 0x2000), choosing pressed, then hot, then disabled, then normal.
//
// The owner configures it through the public fields after creating it (parent window, strip,
// frame count, the four frames and text colours) and calls UpdateStateImages after each change;
// only a font change (WM_SETFONT) rebuilds by itself. With the focus, and once the window shows
// keyboard cues, the button draws a focus mark inside its edge. A button whose caption is only its
// accessible name (a picture button) sets m_bDrawCaption to false. The parent's paint handler must paint into a
// DC given in wParam of WM_PAINT, from which the background is captured once and kept until the
// button's size changes. Used on the window thread only; the lock guards rebuilding and drawing.
#pragma once

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <memory>
#include <mutex>

#include "skin/skin_image.h"
#include "ui/window_impl.h"

class CCustomButton : public win::CWindowImpl<CCustomButton> {
 public:
  static constexpr const wchar_t* kClassName = L"CCustomButton";
  static constexpr const wchar_t* kBaseClassName = L"BUTTON";
  static constexpr UINT kClassStyle = 0;
  static constexpr int kClassBackground = 0;
  static constexpr DWORD kDefaultStyle = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;

  enum State { kNormal, kHover, kPressed, kDisabled, kStateCount };

  CCustomButton();
  ~CCustomButton();

  HWND Create(HWND parent, const RECT& rect, const wchar_t* text = nullptr, DWORD style = 0, DWORD exStyle = 0,
              UINT id = 0) {
    return CreateImpl(parent, &rect, text, style, exStyle, id, kDefaultStyle);
  }

  // Rebuilds the four state bitmaps. Does nothing while the button has no width, no strip or a
  // frame count below 1 (the bitmaps it had are kept).
  void UpdateStateImages();

  // The pre-rendered bitmap of `state`, or null before the first rebuild.
  [[nodiscard]] Gdiplus::Bitmap* GetStateImage(State state) const { return m_pImages[state].get(); }

  bool ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

  HWND m_hWndParent = nullptr;
  bool m_bDrawCaption = true;
  COLORREF m_crFocusMark = RGB(255, 255, 255);
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
  std::unique_ptr<Gdiplus::Font> m_pFont;
  BackgroundSnapshot m_background;
  SkinImageSlot m_strip;

 private:
  LRESULT OnSize(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnSetFont(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnCustomDraw(UINT, WPARAM, LPARAM, BOOL&);

  void RenderState(Gdiplus::Bitmap& target, int frame, COLORREF textColour, const RECT& client);
  void Draw(HDC dc, UINT itemState);

  std::unique_ptr<Gdiplus::Bitmap> m_pImages[kStateCount];
  std::recursive_mutex m_lock;

  static const MessageMapEntry<CCustomButton> kMessageMap[];
};
