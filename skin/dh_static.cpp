#include "skin/dh_static.h"

#include "app/ids.h"

const MessageMapEntry<DhStatic> DhStatic::kMessageMap[] = {
    {OnMessage(WM_LBUTTONDOWN), &DhStatic::OnLButtonDown},
};

bool DhStatic::ProcessWindowMessage(HWND, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  return DispatchMessageMap(*this, kMessageMap, message, wParam, lParam, result);
}

LRESULT DhStatic::OnLButtonDown(UINT, WPARAM, LPARAM, BOOL&) {
  SendMessageW(GetParent(m_hWnd), WM_OPTION_LABEL_CLICKED, static_cast<WPARAM>(m_nIndex), 0);
  return 0;
}
