#include "app/installer.h"

#include <windows.h>
#include <objbase.h>
#include <gdiplus.h>

#include <memory>

#include "app/ids.h"
#include "app/main_dlg.h"
#include "platform/win/handles.h"
#include "platform/win/message_loop.h"

int RunInstaller(int showCommand) {
  CMessageLoop loop;
  g_module.AddMessageLoop(&loop);

  auto dialog = std::make_unique<CMainDlg>();
  if (!dialog->Create(nullptr)) {
    dialog.reset();
    g_module.RemoveMessageLoop();
    return EXIT_WINDOW_FAILED;
  }
  ShowWindow(dialog->m_hWnd, showCommand);

  int code = loop.Run();

  g_module.RemoveMessageLoop();
  dialog.reset();
  return code;
}

int RunProcess(void* instance, int showCommand) {
  Gdiplus::GdiplusStartupInput input;  // version 1, no debug callback, background thread, codecs
  ULONG_PTR gdiplusToken = 0;
  int code = 0;
  {
    win::ComScope com;  // a failure only shows as missing shortcuts
    Gdiplus::GdiplusStartup(&gdiplusToken, &input, nullptr);  // a failure only shows as missing images
    g_module.Init(static_cast<HINSTANCE>(instance));
    code = RunInstaller(showCommand);
    g_module.Term();
  }  // COM ends before GDI+
  Gdiplus::GdiplusShutdown(gdiplusToken);
  return code;
}
