// CMainDlg: the installer's one window and the owner of the install flow's interface state.
#pragma once

#include <windows.h>

#include <string>

#include "app/dialog_window.h"
#include "app/message_loop.h"
#include "app/message_map.h"
#include "res/resource.h"

class CMainDlg final : public CDialogWindow<CMainDlg>, public CMessageFilter, public CIdleHandler {
 public:
  static constexpr UINT IDD = IDD_MAINDLG;

  bool FilterMessage(MSG* message) override;
  bool HandleIdle() override;

  bool ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

 private:
  LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnDestroy(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnClose(UINT, WPARAM, LPARAM, BOOL&);

  static const MessageMapEntry<CMainDlg> kMessageMap[];

  HWND m_closeButton = nullptr;
};
