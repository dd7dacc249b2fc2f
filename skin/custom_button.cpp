#include "skin/custom_button.h"

bool CCustomButton::ProcessWindowMessage(HWND, UINT, WPARAM, LPARAM, LRESULT&) { return false; }
