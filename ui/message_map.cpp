#include "ui/message_map.h"

#include <commctrl.h>

bool Matches(const MessageMatch& match, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (match.kind) {
    case MatchKind::kMessage:
      return message == match.first;
    case MatchKind::kMessageRange:
      return message >= match.first && message <= match.last;
    case MatchKind::kCommand:
      return message == WM_COMMAND && LOWORD(wParam) == match.id;
    case MatchKind::kNotify: {
      if (message != WM_NOTIFY || lParam == 0) return false;
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      return static_cast<UINT>(header->idFrom) == match.id && static_cast<int>(header->code) == match.code;
    }
  }
  return false;
}

bool ReflectNotifications(HWND parent, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  HWND child = nullptr;
  switch (message) {
    case WM_COMMAND:
      child = reinterpret_cast<HWND>(lParam);
      break;
    case WM_NOTIFY:
      child = reinterpret_cast<const NMHDR*>(lParam)->hwndFrom;
      break;
    case WM_PARENTNOTIFY:
      if (LOWORD(wParam) == WM_CREATE || LOWORD(wParam) == WM_DESTROY)
        child = reinterpret_cast<HWND>(lParam);
      else
        child = GetDlgItem(parent, HIWORD(wParam));
      break;
    case WM_DRAWITEM:
      if (wParam) child = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)->hwndItem;
      break;
    case WM_MEASUREITEM:
      if (wParam) child = GetDlgItem(parent, reinterpret_cast<const MEASUREITEMSTRUCT*>(lParam)->CtlID);
      break;
    case WM_COMPAREITEM:
      if (wParam) child = reinterpret_cast<const COMPAREITEMSTRUCT*>(lParam)->hwndItem;
      break;
    case WM_DELETEITEM:
      if (wParam) child = reinterpret_cast<const DELETEITEMSTRUCT*>(lParam)->hwndItem;
      break;
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
      child = reinterpret_cast<HWND>(lParam);
      break;
    default:
      break;
  }
  if (!child || !IsWindow(child)) return false;
  result = SendMessageW(child, message + kReflectedMessageBase, wParam, lParam);
  return true;
}
