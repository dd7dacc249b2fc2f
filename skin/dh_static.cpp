#include "skin/dh_static.h"

const MessageMapEntry<DhStatic> DhStatic::kMessageMap[] = {
    {OnMessage(WM_LBUTTONDOWN), &DhStatic::OnLButtonDown},
};

bool DhStatic::ProcessWindowMessage(HWND, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  return DispatchMessageMap(*this, kMessageMap, message, wParam, lParam, result);
}

LRESULT DhStatic::OnLButtonDown(UINT, WPARAM, LPARAM, BOOL&) {
  if (m_uClickMessage != 0) SendMessageW(GetParent(m_hWnd), m_uClickMessage, static_cast<WPARAM>(m_nIndex), 0);
  return 0;
}
