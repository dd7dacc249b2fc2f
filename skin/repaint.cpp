#include "skin/repaint.h"

#include "platform/win/handles.h"

namespace skin {

void RepaintUnder(HWND control) noexcept {
  HWND parent = GetParent(control);
  if (!parent) {
    RedrawWindow(control, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    return;
  }
  RECT area{};
  GetWindowRect(control, &area);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&area), 2);
  // Invalidated, not painted at once: a burst of text changes (one per extracted percent) then
  // costs one paint of the page, not one each.
  RedrawWindow(parent, &area, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void SetLabelText(HWND label, const wchar_t* text) noexcept {
  SetWindowTextW(label, text);
  if (IsWindowVisible(label)) RepaintUnder(label);
}

bool KeyboardCuesShown(HWND control) noexcept {
  HWND root = GetAncestor(control, GA_ROOT);
  return (SendMessageW(root ? root : control, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS) == 0;
}

void DrawFocusMark(HDC dc, const RECT& rect, COLORREF colour) noexcept {
  win::UniqueGdiObject<HPEN> pen(CreatePen(PS_DOT, 1, colour));
  if (!pen) return;
  win::SelectScope penScope(dc, pen.get());
  win::SelectScope brushScope(dc, GetStockObject(NULL_BRUSH));
  const int mode = SetBkMode(dc, TRANSPARENT);
  Rectangle(dc, rect.left, rect.top, rect.right, rect.bottom);
  SetBkMode(dc, mode);
}

}  // namespace skin
