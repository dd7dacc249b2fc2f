// Helpers for controls that draw over their parent's picture without a background of their own
// (hollow-brush labels, the link, the option captions), and the focus mark the skinned controls
// draw.
#pragma once

#include <windows.h>

namespace skin {

// Has the parent repaint its picture under `control`, then the control itself, at once: what a
// hollow control drew before (an older, longer text; a focus mark) is gone afterwards.
void RepaintUnder(HWND control) noexcept;

// Sets a hollow label's text and repaints the parent's picture under it, so no part of the old
// text stays on screen.
void SetLabelText(HWND label, const wchar_t* text) noexcept;

// Whether the window that `control` belongs to shows keyboard cues (the focus mark): not until
// the user has used the keyboard to move around it, as Windows does.
[[nodiscard]] bool KeyboardCuesShown(HWND control) noexcept;

// Draws the focus mark, a dotted frame of `colour` just inside `rect`. Drawn with a pen, not by
// inverting, so drawing it twice leaves it on screen and never erases it.
void DrawFocusMark(HDC dc, const RECT& rect, COLORREF colour) noexcept;

}  // namespace skin
