// Screenshots of a window as the screen shows it, saved as PNG under build/screenshots/.
#pragma once

#include <windows.h>

#include <string>

// Brings `window` to the front, lets it and its children paint, and saves the screen's pixels
// under its window rectangle as `<build>/screenshots/<name>.png`. Returns false when capturing or
// saving failed.
bool SaveWindowScreenshot(HWND window, const std::wstring& name);

// Runs the thread's message queue for about `milliseconds`.
void PumpMessagesFor(DWORD milliseconds);

// The colour the screen shows at `point` of `window`'s client area.
COLORREF ScreenPixel(HWND window, POINT point);
