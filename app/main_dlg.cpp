#include "app/main_dlg.h"

#include "app/ids.h"

namespace {
const wchar_t kTitle[] = L"Tavo手机助手安装程序";
}

const MessageMapEntry<CMainDlg> CMainDlg::kMessageMap[] = {
    {OnMessage(WM_INITDIALOG), &CMainDlg::OnInitDialog},
    {OnMessage(WM_DESTROY), &CMainDlg::OnDestroy},
    {OnCommandId(IDC_CLOSE), &CMainDlg::OnClose},
};

bool CMainDlg::ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (DispatchMessageMap(*this, kMessageMap, message, wParam, lParam, result)) return true;
  return ReflectNotifications(window, message, wParam, lParam, result);
}

// Navigation keys act as in a dialog. Esc becomes the cancel command (2), which nothing handles.
bool CMainDlg::FilterMessage(MSG* message) { return IsDialogMessageW(m_hWnd, message) != FALSE; }

bool CMainDlg::HandleIdle() { return false; }

LRESULT CMainDlg::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&) {
  if (CMessageLoop* loop = g_module.GetMessageLoop()) {
    loop->AddMessageFilter(this);
    loop->AddIdleHandler(this);
  }
  SetWindowTextW(m_hWnd, kTitle);
  m_closeButton = CreateWindowExW(0, L"BUTTON", L"×", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 532, 0, 48, 36,
                                  m_hWnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_CLOSE)),
                                  g_module.Instance(), nullptr);
  return TRUE;
}

LRESULT CMainDlg::OnDestroy(UINT, WPARAM, LPARAM, BOOL&) {
  if (CMessageLoop* loop = g_module.GetMessageLoop()) {
    loop->RemoveMessageFilter(this);
    loop->RemoveIdleHandler(this);
  }
  return 0;
}

LRESULT CMainDlg::OnClose(UINT, WPARAM, LPARAM, BOOL&) {
  DestroyWindow();
  PostQuitMessage(EXIT_CLOSED);
  return 0;
}
