// Screenshots of a window as the user sees it, saved as PNG under build/screenshots/.
#pragma once

#include <windows.h>

#include <string>

namespace e2e {

// Copies the window's area of the screen into build/screenshots/<name>.png; false on failure.
bool SaveScreenshot(HWND window, const std::wstring& name);

}  // namespace e2e
