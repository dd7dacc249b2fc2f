// Tavo.exe of the demo suite: one window that says which suite is running, its version and the
// folder it was installed into, so a finished installation can be seen at a glance.
#include <windows.h>

#include <string>

#include "platform/win/handles.h"
#include "system/suite.h"

namespace {

constexpr wchar_t kWindowClass[] = L"TavoDemoSuiteWindow";
constexpr int kClientWidth = 520;
constexpr int kClientHeight = 280;
constexpr COLORREF kAccent = RGB(0x1b, 0x7f, 0xd1);
constexpr COLORREF kText = RGB(0x33, 0x33, 0x33);

enum ControlId : int {
  IDC_TITLE = 100,
  IDC_VERSION,
  IDC_LOCATION_LABEL,
  IDC_LOCATION,
  IDC_HINT,
};

struct Fonts {
  win::UniqueFont title;
  win::UniqueFont body;
};
Fonts g_fonts;

// The folder of this program, without the final backslash.
std::wstring ProgramFolder() {
  wchar_t path[MAX_PATH] = {};
  DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path, length);
  size_t slash = folder.find_last_of(L'\\');
  return slash == std::wstring::npos ? folder : folder.substr(0, slash);
}

HFONT MakeFont(int pixelHeight, int weight) {
  return CreateFontW(-pixelHeight, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                     CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH, L"微软雅黑");
}

void AddText(HWND parent, int id, const std::wstring& text, int x, int y, int width, int height, HFONT font,
             DWORD style = 0) {
  HWND control = CreateWindowExW(0, L"STATIC", text.c_str(), WS_CHILD | WS_VISIBLE | SS_NOPREFIX | style, x, y,
                                 width, height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                 nullptr, nullptr);
  SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
}

void CreateContent(HWND window) {
  g_fonts.title.reset(MakeFont(30, FW_BOLD));
  g_fonts.body.reset(MakeFont(15, FW_NORMAL));
  AddText(window, IDC_TITLE, suite::kProductName, 32, 28, 456, 44, g_fonts.title.get());
  AddText(window, IDC_VERSION, std::wstring(L"版本 ") + suite::kVersion, 32, 76, 456, 22, g_fonts.body.get());
  AddText(window, IDC_LOCATION_LABEL, L"安装位置:", 32, 120, 456, 22, g_fonts.body.get());
  AddText(window, IDC_LOCATION, ProgramFolder(), 32, 144, 456, 44, g_fonts.body.get(), SS_PATHELLIPSIS);
  AddText(window, IDC_HINT, L"请使用USB数据线连接您的手机。", 32, 210, 456, 22, g_fonts.body.get());
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      CreateContent(window);
      return 0;
    case WM_CTLCOLORSTATIC: {
      HDC dc = reinterpret_cast<HDC>(wParam);
      int id = GetDlgCtrlID(reinterpret_cast<HWND>(lParam));
      SetTextColor(dc, id == IDC_TITLE ? kAccent : kText);
      SetBkColor(dc, GetSysColor(COLOR_WINDOW));
      return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
    }
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = &WindowProc;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = GetSysColorBrush(COLOR_WINDOW);
  windowClass.lpszClassName = kWindowClass;
  if (!RegisterClassExW(&windowClass)) return 1;

  constexpr DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  RECT bounds{0, 0, kClientWidth, kClientHeight};
  AdjustWindowRect(&bounds, style, FALSE);
  HWND window = CreateWindowExW(0, kWindowClass, suite::kProductName, style, CW_USEDEFAULT, CW_USEDEFAULT,
                                bounds.right - bounds.left, bounds.bottom - bounds.top, nullptr, nullptr, instance,
                                nullptr);
  if (!window) return 1;
  ShowWindow(window, showCommand);
  UpdateWindow(window);

  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  g_fonts = {};
  return static_cast<int>(message.wParam);
}
