#include "app/main_dlg.h"

#include <commctrl.h>
#include <shlobj.h>

#include <cwchar>
#include <cwctype>

#include "app/ids.h"
#include "app/taskbar.h"
#include "platform/clock.h"
#include "platform/shell.h"
#include "platform/win/handles.h"
#include "skin/dpi.h"
#include "skin/repaint.h"
#include "skin/skin_font.h"

namespace {

const wchar_t kTermsUrl[] = L"http://" VENDOR_SERVER L"/terms.html";
const wchar_t kBrowseTitle[] = L"选择解压文件路径";
const wchar_t kDownloadingStatus[] = L"正在下载文件:";
const wchar_t kRetryingStatus[] = L"网络连接中断，正在重试…";


// Added to the dialog class's style: the drop shadow (CS_DROPSHADOW) and bit 0x100.
constexpr ULONG_PTR kDropShadowClassStyle = 0x20100;

// Font sizes in tenths of a point.
constexpr int kButtonFontSize = 150;
constexpr int kOptionFontSize = 90;
constexpr int kLabelFontSize = 100;
constexpr int kEditFontSize = 100;
constexpr int kFeatureFontSize = 130;

// The skinned buttons: place at 96 dpi, image strip, the strip frame of each state, and the
// accessible name of a picture button (its caption is not drawn).
struct ButtonRow {
  int id;
  RECT rect;
  int strip;       // PNG resource id
  int frameCount;  // equal-width frames in the strip
  int normal, pressed, hover, disabled;
  const wchar_t* name;
};

enum ButtonRowIndex { kRowInstall, kRowCustomOpen, kRowCustomClose, kRowClose, kRowBrowse, kRowFeature1 };

const ButtonRow kButtonRows[] = {
    {IDC_INSTALL, {200, 303, 381, 353}, IDB_INSTALL_BUTTON, 2, 0, 1, 1, 1, nullptr},
    {IDC_CUSTOM_OPEN, {485, 375, 563, 386}, IDB_CUSTOM_BUTTON, 2, 1, 1, 1, 1, L"自定义安装"},
    {IDC_CUSTOM_CLOSE, {485, 375, 563, 386}, IDB_CUSTOM_BUTTON, 2, 0, 0, 0, 1, L"自定义安装"},
    {IDC_CLOSE, {532, 0, 580, 36}, IDB_CLOSE_BUTTON, 2, 0, 1, 1, 1, L"关闭"},
    {IDC_BROWSE, {453, 445, 545, 478}, IDB_BROWSE_BUTTON, 2, 1, 0, 0, 0, L"更换目录"},
    {IDC_FEATURE1, {58, 130, 123, 195}, IDB_FEATURE1, 1, 0, 0, 0, 0, L"文件管理"},
    {IDC_FEATURE2, {190, 130, 255, 195}, IDB_FEATURE2, 1, 0, 0, 0, 0, L"图片管理"},
    {IDC_FEATURE3, {322, 130, 387, 195}, IDB_FEATURE3, 1, 0, 0, 0, 0, L"铃音下载"},
    {IDC_FEATURE4, {454, 130, 519, 195}, IDB_FEATURE4, 1, 0, 0, 0, 0, L"软件游戏"},
};

struct FeatureCaption {
  int id;
  RECT rect;
  const wchar_t* text;
};
const FeatureCaption kFeatureCaptions[] = {
    {IDC_FEATURE1_CAPTION, {58, 205, 138, 232}, L"文件管理"},
    {IDC_FEATURE2_CAPTION, {190, 205, 270, 232}, L"图片管理"},
    {IDC_FEATURE3_CAPTION, {322, 205, 402, 232}, L"铃音下载"},
    {IDC_FEATURE4_CAPTION, {454, 205, 534, 232}, L"软件游戏"},
};

// Statics whose text is drawn without a background, found by id.
const int kTransparentStatics[] = {1232, 1233, 1234, 1235, IDC_TERMS_LINK, IDC_INSTALL_DIR_LABEL, IDC_OPTIONS_LABEL,
                                   IDC_AGREE};

// Views as masks for the page table.
constexpr unsigned Shown(std::initializer_list<int> views) {
  unsigned mask = 0;
  for (int view : views) mask |= 1u << view;
  return mask;
}
constexpr unsigned kOnSetup = Shown({CMainDlg::VIEW_SETUP, CMainDlg::VIEW_SETUP_EXPANDED});
constexpr unsigned kOnSetupCollapsed = Shown({CMainDlg::VIEW_SETUP});
constexpr unsigned kOnSetupExpanded = Shown({CMainDlg::VIEW_SETUP_EXPANDED});
constexpr unsigned kOnProgress = Shown({CMainDlg::PAGE_DOWNLOADING, CMainDlg::PAGE_EXTRACTING});
constexpr unsigned kOnDownloading = Shown({CMainDlg::PAGE_DOWNLOADING});
constexpr unsigned kOnExtracting = Shown({CMainDlg::PAGE_EXTRACTING});
constexpr unsigned kOnFinished = Shown({CMainDlg::PAGE_FINISHED});
constexpr unsigned kEverywhere = kOnSetup | kOnProgress | kOnFinished;

int CALLBACK BrowseCallback(HWND picker, UINT message, LPARAM, LPARAM startFolder) {
  if (message == BFFM_INITIALIZED) SendMessageW(picker, BFFM_SETSELECTIONW, TRUE, startFolder);
  return 0;
}

void Trim(std::wstring& text) {
  size_t first = 0;
  while (first < text.size() && std::iswspace(text[first])) ++first;
  size_t last = text.size();
  while (last > first && std::iswspace(text[last - 1])) --last;
  text = text.substr(first, last - first);
}

std::wstring FormatPercent(int percent) {
  wchar_t text[32] = {};
  swprintf(text, 32, L"%d%ls", percent, L"%");
  return text;
}

}  // namespace

const MessageMapEntry<CMainDlg> CMainDlg::kMessageMap[] = {
    {OnMessage(WM_INITDIALOG), &CMainDlg::OnInitDialog},
    {OnMessage(WM_DESTROY), &CMainDlg::OnDestroy},
    {OnMessage(WM_ERASEBKGND), &CMainDlg::OnEraseBackground},
    {OnMessage(WM_PRINTCLIENT), &CMainDlg::OnPaint},
    {OnMessage(WM_PAINT), &CMainDlg::OnPaint},
    {OnMessage(WM_SIZE), &CMainDlg::OnSize},
    {OnMessage(WM_CTLCOLORSTATIC), &CMainDlg::OnCtlColorStatic},
    {OnMessage(WM_NCHITTEST), &CMainDlg::OnNcHitTest},
    {OnNotify(IDC_TERMS_LINK, NM_CLICK), &CMainDlg::OnTermsLinkClick},
    {OnCommandId(IDC_CUSTOM_OPEN), &CMainDlg::OnCustomOpen},
    {OnCommandId(IDC_CUSTOM_CLOSE), &CMainDlg::OnCustomClose},
    {OnCommandId(IDC_CLOSE), &CMainDlg::OnClose},
    {OnCommandId(IDC_BROWSE), &CMainDlg::OnBrowse},
    {OnCommandId(IDC_INSTALL), &CMainDlg::OnInstall},
    {OnMessage(WM_OPTION_LABEL_CLICKED), &CMainDlg::OnOptionLabelClicked},
    {OnMessage(WM_EXTRACT_START), &CMainDlg::OnExtractStart},
    {OnMessage(WM_NETWORK_FAILED), &CMainDlg::OnNetworkFailed},
    {OnMessage(WM_DOWNLOAD_PROGRESS), &CMainDlg::OnDownloadProgress},
    {OnMessage(WM_EXTRACT_FAILED), &CMainDlg::OnExtractFailed},
    {OnMessage(WM_EXTRACT_PROGRESS), &CMainDlg::OnExtractProgress},
    {OnMessage(WM_EXTRACT_FINISHED), &CMainDlg::OnExtractFinished},
    {OnMessage(WM_INSTALLER_QUIT), &CMainDlg::OnInstallerQuit},
    {OnMessage(WM_INSTALL_STOPPED), &CMainDlg::OnInstallStopped},
    {OnMessage(WM_DOWNLOAD_STATUS), &CMainDlg::OnDownloadStatus},
    {OnMessage(WM_TIMER), &CMainDlg::OnTimer},
    {OnMessage(WM_DPICHANGED), &CMainDlg::OnDpiChanged},
    {OnMessage(WM_QUERYUISTATE), &CMainDlg::OnQueryUiState},
    {OnCommandId(IDC_AGREE), &CMainDlg::OnOptionBoxCommand},
    {OnCommandId(IDC_DESKTOP_SHORTCUT), &CMainDlg::OnOptionBoxCommand},
    {OnCommandId(IDC_AUTORUN), &CMainDlg::OnOptionBoxCommand},
    {OnCommandId(IDC_STARTMENU_SHORTCUT), &CMainDlg::OnOptionBoxCommand},
};

CMainDlg::~CMainDlg() {
  m_job.reset();  // cancels and joins: nothing reports to this object afterwards
  if (m_hWnd && IsWindow(m_hWnd)) DestroyWindow();
}

bool CMainDlg::ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (DispatchMessageMap(*this, kMessageMap, message, wParam, lParam, result)) return true;
  return ReflectNotifications(window, message, wParam, lParam, result);
}

// Navigation keys act as in a dialog: Tab and Shift+Tab move through the tab order, Space presses
// the focused button or box. Enter presses the focused button or box too (in a dialog it would be
// the default command, which nothing here has). Esc becomes the cancel command (2), which nothing
// handles. The first navigation key turns the focus marks on.
bool CMainDlg::FilterMessage(MSG* message) {
  if (message->message == WM_KEYDOWN && (message->hwnd == m_hWnd || IsChild(m_hWnd, message->hwnd))) {
    switch (message->wParam) {
      case VK_TAB: case VK_LEFT: case VK_RIGHT: case VK_UP: case VK_DOWN: ShowKeyboardCues(); break;
      case VK_RETURN:
        if (ActivateFocusedButton()) return true;
        break;
      default: break;
    }
  }
  return IsDialogMessageW(m_hWnd, message) != FALSE;
}

bool CMainDlg::ActivateFocusedButton() {
  HWND focus = GetFocus();
  if (!focus || GetParent(focus) != m_hWnd) return false;
  wchar_t className[32] = {};
  GetClassNameW(focus, className, 32);
  if (_wcsicmp(className, L"Button") != 0 && _wcsicmp(className, CCustomButton::kClassName) != 0) return false;
  SendMessageW(focus, BM_CLICK, 0, 0);
  return true;
}

void CMainDlg::ShowKeyboardCues() {
  if (m_bKeyboardCues) return;
  m_bKeyboardCues = true;
  if (HWND focus = GetFocus()) skin::RepaintUnder(focus);
}

// The skinned controls ask the window whether to draw their focus marks.
LRESULT CMainDlg::OnQueryUiState(UINT, WPARAM, LPARAM, BOOL&) {
  return m_bKeyboardCues ? 0 : UISF_HIDEFOCUS | UISF_HIDEACCEL;
}

// A check box that gains or loses the focus has its caption show or drop the focus mark.
LRESULT CMainDlg::OnOptionBoxCommand(UINT, WPARAM wParam, LPARAM lParam, BOOL& handled) {
  const WORD code = HIWORD(wParam);
  if (code != BN_SETFOCUS && code != BN_KILLFOCUS) {
    handled = FALSE;
    return 0;
  }
  for (DhStatic* caption : {&m_lblAgree, &m_lblDesktop, &m_lblAutorun, &m_lblStartMenu}) {
    if (caption->m_hWndBox == reinterpret_cast<HWND>(lParam)) skin::RepaintUnder(caption->m_hWnd);
  }
  return 0;
}

bool CMainDlg::HandleIdle() { return false; }

std::wstring CMainDlg::ReadInstallDir() const {
  std::wstring text;
  (void)m_editInstallDir.GetEditText(text);  // always succeeds; an empty field gives ""
  return text;
}

// ---- initialisation ----

LRESULT CMainDlg::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&) {
  m_dpi = skin::WindowDpi(m_hWnd);
  SetClassLongPtrW(m_hWnd, GCL_STYLE, GetClassLongPtrW(m_hWnd, GCL_STYLE) | kDropShadowClassStyle);
  SetIcons();
  if (CMessageLoop* loop = g_module.GetMessageLoop()) {
    loop->AddMessageFilter(this);
    loop->AddIdleHandler(this);
  }
  SetWindowTextW(m_hWnd, kInstallerTitle);
  m_nLastExtractPercent = 0;
  CreateControls();
  ApplyDpi(m_dpi);
  CenterOnWorkArea();
  // The focus goes to the install button; no focus mark shows until the keyboard is used.
  SetFocus(m_btnInstall.m_hWnd);
  return FALSE;
}

// The window is a popup without frame: its client area is the view's size at 96 dpi times the
// scale, exactly (the dialog template's size depends on the dialog font and is not used).
void CMainDlg::FitClientSize() {
  const int height = kCollapsedHeight + (m_view == VIEW_SETUP_EXPANDED ? kExpandHeight : 0);
  RECT frame{0, 0, skin::Scale(kClientWidth, m_dpi), skin::Scale(height, m_dpi)};
  AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(m_hWnd, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongPtrW(m_hWnd, GWL_EXSTYLE)));
  SetWindowPos(m_hWnd, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CMainDlg::CenterOnWorkArea() {
  MONITORINFO monitor{};
  monitor.cbSize = sizeof(monitor);
  if (!GetMonitorInfoW(MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTONEAREST), &monitor)) return;
  RECT window{};
  GetWindowRect(m_hWnd, &window);
  const int width = window.right - window.left;
  const int height = window.bottom - window.top;
  const RECT& work = monitor.rcWork;
  const int x = work.left + ((work.right - work.left) - width) / 2;
  const int y = work.top + ((work.bottom - work.top) - height) / 2;
  SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CMainDlg::SetIcons() {
  HINSTANCE instance = g_module.Instance();
  m_iconBig.reset(static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON,
                                                GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0)));
  SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_iconBig.get()));
  m_iconSmall.reset(static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON,
                                                  GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0)));
  SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_iconSmall.get()));
}

// Controls are made without a place; Layout puts them where the page table says.
HWND CMainDlg::CreateChild(const wchar_t* windowClass, const wchar_t* text, DWORD style, int id) {
  return CreateWindowExW(0, windowClass, text, style, 0, 0, 0, 0, m_hWnd,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), g_module.Instance(), nullptr);
}

void CMainDlg::CreateButton(CCustomButton& button, int row, unsigned views) {
  const ButtonRow& setup = kButtonRows[row];
  button.Create(m_hWnd, RECT{}, setup.name, WS_CHILD | WS_VISIBLE, 0, static_cast<UINT>(setup.id));
  button.m_hWndParent = m_hWnd;
  button.m_bDrawCaption = setup.name == nullptr;
  button.m_nFrameCount = setup.frameCount;
  button.m_nFrameNormal = setup.normal;
  button.m_nFramePressed = setup.pressed;
  button.m_nFrameHover = setup.hover;
  button.m_nFrameDisabled = setup.disabled;
  Place(button.m_hWnd, setup.rect, views);
}

void CMainDlg::CreateOption(HWND& box, DhStatic& caption, int boxId, const RECT& boxRect, int captionId,
                            const RECT& captionRect, const wchar_t* text, int index, unsigned views) {
  // The box has no text of its own: the caption beside it shows it, clickable too.
  box = CreateChild(L"BUTTON", nullptr, WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX | BS_NOTIFY, boxId);
  caption.Create(m_hWnd, RECT{}, nullptr, WS_CHILD | WS_VISIBLE | SS_NOTIFY, 0, static_cast<UINT>(captionId));
  caption.m_nIndex = index;
  caption.m_uClickMessage = WM_OPTION_LABEL_CLICKED;
  caption.m_hWndBox = box;
  SetWindowTextW(caption.m_hWnd, text);
  SendMessageW(box, BM_SETCHECK, BST_CHECKED, 0);
  Place(box, boxRect, views);
  Place(caption.m_hWnd, captionRect, views);
}

void CMainDlg::CreateControls() {
  // The install button.
  CreateButton(m_btnInstall, kRowInstall, kOnSetup | kOnFinished);
  SetWindowTextW(m_btnInstall.m_hWnd, L"立即安装");
  m_btnInstall.m_crTextNormal = m_btnInstall.m_crTextPressed = m_btnInstall.m_crTextHover =
      m_btnInstall.m_crTextDisabled = RGB(255, 255, 255);

  // The agreement and the three install options, each a check box with a clickable caption.
  CreateOption(m_hWndAgree, m_lblAgree, IDC_AGREE, {18, 370, 31, 383}, IDC_AGREE_LABEL, {34, 369, 70, 385},
               L"我同意", 1, kOnSetup);
  CreateOption(m_hWndDesktopShortcut, m_lblDesktop, IDC_DESKTOP_SHORTCUT, {66, 525, 79, 538}, IDC_DESKTOP_LABEL,
               {82, 524, 183, 540}, L"建立桌面快捷方式", 2, kOnSetupExpanded);
  CreateOption(m_hWndAutorun, m_lblAutorun, IDC_AUTORUN, {305, 525, 318, 538}, IDC_AUTORUN_LABEL,
               {321, 524, 380, 540}, L"开机启动", 3, kOnSetupExpanded);
  CreateOption(m_hWndStartMenuShortcut, m_lblStartMenu, IDC_STARTMENU_SHORTCUT, {66, 555, 79, 568},
               IDC_STARTMENU_LABEL, {81, 554, 220, 570}, L"建立开始菜单快捷方式", 4, kOnSetupExpanded);
  const std::pair<HWND, bool> startStates[] = {{m_hWndDesktopShortcut, m_startOptions.desktopShortcut},
                                               {m_hWndAutorun, m_startOptions.startAtLogon},
                                               {m_hWndStartMenuShortcut, m_startOptions.startMenuShortcut}};
  for (const auto& [box, checked] : startStates) SendMessageW(box, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);

  // Custom install open and close, and the window's close button.
  CreateButton(m_btnCustomOpen, kRowCustomOpen, kOnSetupCollapsed);
  CreateButton(m_btnCustomClose, kRowCustomClose, kOnSetupExpanded);
  CreateButton(m_btnClose, kRowClose, kEverywhere);

  // The user-agreement link, made from a plain static.
  m_hWndTermsStatic = CreateChild(L"STATIC", L"", WS_CHILD | WS_VISIBLE, IDC_TERMS_LINK);
  m_linkTerms.SubclassWindow(m_hWndTermsStatic);
  m_linkTerms.SetHyperLinkExtendedStyle(m_linkTerms.GetHyperLinkExtendedStyle() | CHyperLink::kLinkNotifyParent);
  m_linkTerms.SetLabel(L"《用户协议》");
  Place(m_hWndTermsStatic, {72, 370, 150, 390}, kOnSetup);

  // Section labels of the install options, the directory field and its button.
  m_hWndInstallDirLabel = CreateChild(L"STATIC", L"安装路径", WS_CHILD | WS_VISIBLE, IDC_INSTALL_DIR_LABEL);
  m_hWndOptionsLabel = CreateChild(L"STATIC", L"安装选项", WS_CHILD | WS_VISIBLE, IDC_OPTIONS_LABEL);
  Place(m_hWndInstallDirLabel, {45, 418, 105, 435}, kOnSetupExpanded);
  Place(m_hWndOptionsLabel, {45, 500, 105, 517}, kOnSetupExpanded);
  CreateInstallDirField();
  CreateButton(m_btnBrowse, kRowBrowse, kOnSetupExpanded);

  // The progress page's feature pictures and captions.
  for (int i = 0; i < 4; ++i) CreateButton(m_btnFeatures[i], kRowFeature1 + i, kOnProgress);
  for (int i = 0; i < 4; ++i) {
    const FeatureCaption& caption = kFeatureCaptions[i];
    m_hWndFeatureCaptions[i] = CreateChild(L"STATIC", caption.text, WS_CHILD | WS_VISIBLE, caption.id);
    Place(m_hWndFeatureCaptions[i], caption.rect, kOnProgress);
  }

  // The progress display: the status line (text and percentage at the left, speed and time left
  // at the right) above the bar.
  m_hWndProgressText = CreateChild(L"STATIC", kDownloadingStatus, WS_CHILD | WS_VISIBLE, IDC_PROGRESS_TEXT);
  m_hWndDownloadPercent = CreateChild(L"STATIC", L"", WS_CHILD | WS_VISIBLE, IDC_DOWNLOAD_PERCENT);
  m_hWndExtractPercent = CreateChild(L"STATIC", L"", WS_CHILD | WS_VISIBLE, IDC_EXTRACT_PERCENT);
  m_hWndDownloadSpeed = CreateChild(L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_RIGHT, IDC_DOWNLOAD_SPEED);
  // The progress bar's class is registered by the common controls library.
  INITCOMMONCONTROLSEX classes{sizeof(classes), ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&classes);  // without it the bar is missing; nothing else depends on it
  m_hWndProgress = CreateChild(PROGRESS_CLASSW, nullptr, WS_CHILD | WS_VISIBLE, IDC_PROGRESS);
  SendMessageW(m_hWndProgress, PBM_SETPOS, 0, 0);
  Place(m_hWndProgressText, {20, 300, 250, 317}, kOnProgress);
  Place(m_hWndDownloadPercent, {110, 300, 140, 317}, kOnDownloading);
  Place(m_hWndExtractPercent, {110, 300, 140, 317}, kOnExtracting);
  Place(m_hWndDownloadSpeed, {300, 300, 560, 317}, kOnDownloading);
  Place(m_hWndProgress, {20, 335, 560, 345}, kOnProgress);

  // Tab and Shift+Tab go through these, in this order; hidden ones are passed over.
  SetTabOrder({m_btnInstall.m_hWnd, m_hWndAgree, m_hWndTermsStatic, m_btnCustomOpen.m_hWnd, m_btnCustomClose.m_hWnd,
               m_editInstallDir.m_hWnd, m_btnBrowse.m_hWnd, m_hWndDesktopShortcut, m_hWndAutorun,
               m_hWndStartMenuShortcut});

  m_bInstalled = FALSE;
  ShowPage(VIEW_SETUP);
}

// The dialog manager moves the focus in Z order through controls with WS_TABSTOP (and into the
// directory field, a control parent): those go to the bottom of the Z order in tab order.
void CMainDlg::SetTabOrder(std::initializer_list<HWND> controls) {
  for (HWND control : controls) {
    SetWindowLongPtrW(control, GWL_STYLE, GetWindowLongPtrW(control, GWL_STYLE) | WS_TABSTOP);
    SetWindowPos(control, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
}

void CMainDlg::MakeFonts() {
  m_fontButton.reset(CreateSkinFont(kSkinFontFace, kButtonFontSize, m_dpi));
  m_fontOption.reset(CreateSkinFont(kSkinFontFace, kOptionFontSize, m_dpi));
  m_fontLabel.reset(CreateSkinFont(kSkinFontFace, kLabelFontSize, m_dpi));
  m_fontFeature.reset(CreateSkinFont(kSkinFontFace, kFeatureFontSize, m_dpi));
  m_fontEdit.reset(CreateSkinFont(kSkinFontFace, kEditFontSize, m_dpi));
  auto set = [](HWND control, const win::UniqueFont& font) {
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), TRUE);
  };
  set(m_btnInstall.m_hWnd, m_fontButton);
  for (HWND caption : {m_lblAgree.m_hWnd, m_lblDesktop.m_hWnd, m_lblAutorun.m_hWnd, m_lblStartMenu.m_hWnd,
                       m_hWndTermsStatic})
    set(caption, m_fontOption);
  for (HWND label : {m_hWndInstallDirLabel, m_hWndOptionsLabel, m_hWndProgressText, m_hWndDownloadPercent,
                     m_hWndExtractPercent, m_hWndDownloadSpeed})
    set(label, m_fontLabel);
  for (HWND caption : m_hWndFeatureCaptions) set(caption, m_fontFeature);
  set(m_editInstallDir.m_hWndEdit, m_fontEdit);
}

void CMainDlg::LoadArtwork() {
  m_background.LoadImages(m_dpi);
  for (int row = 0; row < static_cast<int>(sizeof(kButtonRows) / sizeof(kButtonRows[0])); ++row) {
    CCustomButton* buttons[] = {&m_btnInstall, &m_btnCustomOpen, &m_btnCustomClose, &m_btnClose, &m_btnBrowse,
                                &m_btnFeatures[0], &m_btnFeatures[1], &m_btnFeatures[2], &m_btnFeatures[3]};
    // A missing strip leaves a standard button.
    buttons[row]->m_strip.LoadForDpi(kButtonRows[row].strip, m_dpi);
  }
  m_editInstallDir.m_imgNormal.LoadForDpi(IDB_DIR_FIELD, m_dpi);
  m_editInstallDir.m_imgFocus.LoadForDpi(IDB_DIR_FIELD, m_dpi);
}

// Every control at its 96-dpi place times the scale; the field's inner edit keeps its margins.
void CMainDlg::Layout() {
  for (const Placement& placement : m_placements) {
    const RECT rect = skin::Scale(placement.rect, m_dpi);
    SetWindowPos(placement.control, nullptr, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }
  RECT client{};
  GetClientRect(m_editInstallDir.m_hWnd, &client);
  m_editInstallDir.m_rcEdit = {skin::Scale(5, m_dpi), skin::Scale(5, m_dpi), client.right - skin::Scale(3, m_dpi),
                               client.bottom - skin::Scale(3, m_dpi)};
}

void CMainDlg::ApplyDpi(int dpi) {
  m_dpi = dpi;
  MakeFonts();
  LoadArtwork();
  FitClientSize();
  Layout();
  // The buttons capture the new background when they rebuild their faces.
  for (CCustomButton* button : {&m_btnInstall, &m_btnCustomOpen, &m_btnCustomClose, &m_btnClose, &m_btnBrowse,
                                &m_btnFeatures[0], &m_btnFeatures[1], &m_btnFeatures[2], &m_btnFeatures[3]}) {
    button->m_background.Reset();
    button->UpdateStateImages();
  }
  InvalidateWholeWindow();
}

// Moved to a monitor of another scale: the system suggests the new window rectangle; the window
// keeps its place from it and takes its exact size from the layout.
LRESULT CMainDlg::OnDpiChanged(UINT, WPARAM wParam, LPARAM lParam, BOOL&) {
  const auto* suggested = reinterpret_cast<const RECT*>(lParam);
  if (suggested)
    SetWindowPos(m_hWnd, nullptr, suggested->left, suggested->top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  ApplyDpi(LOWORD(wParam));
  return 0;
}

void CMainDlg::ShowPage(View view) {
  for (const Placement& placement : m_placements)
    ShowWindow(placement.control, (placement.views >> view) & 1 ? SW_SHOW : SW_HIDE);
  const bool resize = (view == VIEW_SETUP_EXPANDED) != (m_view == VIEW_SETUP_EXPANDED);
  m_view = view;
  if (resize) FitClientSize();
  const int page = view == PAGE_DOWNLOADING || view == PAGE_EXTRACTING ? PAGE_PROGRESS
                   : view == PAGE_FINISHED                              ? PAGE_FINISH
                                                                        : PAGE_SETUP;
  if (page != m_nPage) {
    m_nPage = page;
    // The pictures show the new band through their transparent parts.
    for (CCustomButton* button : {&m_btnInstall, &m_btnFeatures[0], &m_btnFeatures[1], &m_btnFeatures[2],
                                  &m_btnFeatures[3]}) {
      button->m_background.Reset();
      button->UpdateStateImages();
    }
  }
  InvalidateWholeWindow();
}

void CMainDlg::InvalidateWholeWindow() {
  RECT window{};
  GetWindowRect(m_hWnd, &window);
  RECT area{0, 0, window.right - window.left, window.bottom - window.top};
  InvalidateRect(m_hWnd, &area, FALSE);
}

void CMainDlg::CreateInstallDirField() {
  m_editInstallDir.m_hWndParent = m_hWnd;
  m_editInstallDir.m_nEditId = IDC_INSTALL_DIR;
  // A control parent: the dialog manager tabs into the inner edit.
  m_editInstallDir.Create(m_hWnd, nullptr, nullptr, WS_CHILD | WS_VISIBLE, WS_EX_CONTROLPARENT, 0);
  Place(m_editInstallDir.m_hWnd, {45, 445, 454, 478}, kOnSetupExpanded);

  // The default directory: the program-files folder and a backslash.
  wchar_t programFiles[MAX_PATH] = {};
  SHGetSpecialFolderPathW(nullptr, programFiles, CSIDL_PROGRAM_FILES, FALSE);  // on failure the text stays ""
  m_strInstallDir = m_startOptions.directory.empty() ? std::wstring(programFiles) + L"\\" : m_startOptions.directory;
  SetWindowTextW(m_editInstallDir.m_hWndEdit, m_strInstallDir.c_str());
  // Typing stops one unit short of the longest usable directory, leaving room for the "\\" the
  // install command appends; a longer folder chosen in the picker is refused at install time.
  SendMessageW(m_editInstallDir.m_hWndEdit, EM_LIMITTEXT, MaxInstallDirLength() - 1, 0);
}

LRESULT CMainDlg::OnDestroy(UINT, WPARAM, LPARAM, BOOL&) {
  if (CMessageLoop* loop = g_module.GetMessageLoop()) {
    loop->RemoveMessageFilter(this);
    loop->RemoveIdleHandler(this);
  }
  return 0;
}

// ---- painting and mouse ----

LRESULT CMainDlg::OnEraseBackground(UINT, WPARAM, LPARAM, BOOL&) { return 1; }

LRESULT CMainDlg::OnPaint(UINT, WPARAM wParam, LPARAM, BOOL&) {
  win::PaintGivenOrOwnDc(m_hWnd, wParam, [this](HDC dc) { PaintBackground(dc); });
  return 0;
}

void CMainDlg::PaintBackground(HDC dc) {
  RECT client{};
  GetClientRect(m_hWnd, &client);
  m_background.Paint(dc, m_nPage, client.right - client.left, client.bottom - client.top);
}

LRESULT CMainDlg::OnSize(UINT, WPARAM, LPARAM, BOOL&) { return 0; }

LRESULT CMainDlg::OnCtlColorStatic(UINT, WPARAM wParam, LPARAM lParam, BOOL&) {
  HDC dc = reinterpret_cast<HDC>(wParam);
  HWND control = reinterpret_cast<HWND>(lParam);
  // By id, so of the two controls with 1232 only the agree caption (found first) is transparent.
  for (int id : kTransparentStatics) {
    if (GetDlgItem(m_hWnd, id) == control) SetBkMode(dc, TRANSPARENT);
  }
  for (const FeatureCaption& caption : kFeatureCaptions) {
    if (GetDlgItem(m_hWnd, caption.id) == control) {
      SetBkMode(dc, TRANSPARENT);
      SetTextColor(dc, RGB(255, 255, 255));
    }
  }
  return reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
}

// The whole background is the caption: pressing anywhere on it and moving drags the window.
// Controls that take the mouse answer their own hit test, so they never get here.
LRESULT CMainDlg::OnNcHitTest(UINT, WPARAM, LPARAM lParam, BOOL&) {
  POINT point{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
  RECT client{};
  GetClientRect(m_hWnd, &client);
  POINT topLeft{client.left, client.top};
  POINT bottomRight{client.right, client.bottom};
  ClientToScreen(m_hWnd, &topLeft);
  ClientToScreen(m_hWnd, &bottomRight);
  RECT screen{topLeft.x, topLeft.y, bottomRight.x, bottomRight.y};
  return PtInRect(&screen, point) ? HTCAPTION : HTNOWHERE;
}

// ---- commands ----

LRESULT CMainDlg::OnTermsLinkClick(UINT, WPARAM, LPARAM, BOOL&) {
  platform::Shell().Open(kTermsUrl);  // when no browser opens there is nothing to tell the user
  return 0;
}

LRESULT CMainDlg::OnCustomOpen(UINT, WPARAM, LPARAM, BOOL&) {
  if (m_view == VIEW_SETUP && SendMessageW(m_hWndAgree, BM_GETCHECK, 0, 0) > 0) {
    const bool focused = GetFocus() == m_btnCustomOpen.m_hWnd;
    ShowPage(VIEW_SETUP_EXPANDED);
    if (focused) SetFocus(m_btnCustomClose.m_hWnd);  // the toggle keeps the focus
  }
  return 0;
}

LRESULT CMainDlg::OnCustomClose(UINT, WPARAM, LPARAM, BOOL&) {
  if (m_view == VIEW_SETUP_EXPANDED) {
    const bool focused = GetFocus() == m_btnCustomClose.m_hWnd;
    ShowPage(VIEW_SETUP);
    if (focused || !GetFocus()) SetFocus(m_btnCustomOpen.m_hWnd);
  }
  return 0;
}

LRESULT CMainDlg::OnClose(UINT, WPARAM, LPARAM, BOOL&) {
  // The job stops at its next check; the destructor joins it once the loop has ended.
  if (m_job) m_job->Cancel();
  DestroyWindow();
  PostQuitMessage(EXIT_CLOSED);
  return 0;
}

// The picker starts at m_strInstallDir, not at text typed into the field, and the field is reset
// to m_strInstallDir whatever the picker's outcome.
LRESULT CMainDlg::OnBrowse(UINT, WPARAM, LPARAM, BOOL&) {
  std::wstring start = m_strInstallDir;
  if (!start.empty() && start.back() == L'\\') start.pop_back();

  win::UniqueCoTaskMem<ITEMIDLIST_ABSOLUTE> root;
  SHGetSpecialFolderLocation(nullptr, CSIDL_DESKTOP, root.put());  // a null root is the desktop too
  wchar_t displayName[MAX_PATH] = {};
  BROWSEINFOW browse{};
  // Owned by the window, which is disabled while the picker is open: the install command cannot
  // start, or the directory change, under a running installation.
  browse.hwndOwner = m_hWnd;
  browse.pidlRoot = root.get();
  browse.pszDisplayName = displayName;
  browse.lpszTitle = kBrowseTitle;
  browse.ulFlags = BIF_RETURNONLYFSDIRS;
  browse.lpfn = &BrowseCallback;
  browse.lParam = reinterpret_cast<LPARAM>(start.c_str());
  win::UniqueCoTaskMem<ITEMIDLIST_ABSOLUTE> chosen(SHBrowseForFolderW(&browse));
  wchar_t path[MAX_PATH] = {};
  if (chosen && SHGetPathFromIDListW(chosen.get(), path)) {
    m_strInstallDir = path;
    if (!m_strInstallDir.empty() && m_strInstallDir.back() != L'\\') m_strInstallDir += L'\\';
  }

  Trim(m_strInstallDir);
  SetWindowTextW(m_editInstallDir.m_hWndEdit, m_strInstallDir.c_str());
  return 0;
}

// ---- private messages ----

LRESULT CMainDlg::OnOptionLabelClicked(UINT, WPARAM wParam, LPARAM, BOOL&) {
  HWND box = nullptr;
  switch (wParam) {
    case 1: box = m_hWndAgree; break;
    case 2: box = m_hWndDesktopShortcut; break;
    case 3: box = m_hWndAutorun; break;
    case 4: box = m_hWndStartMenuShortcut; break;
    default: return 0;
  }
  const bool checked = SendMessageW(box, BM_GETCHECK, 0, 0) > 0;
  SendMessageW(box, BM_SETCHECK, checked ? BST_UNCHECKED : BST_CHECKED, 0);
  return 0;
}

LRESULT CMainDlg::OnDownloadProgress(UINT, WPARAM wParam, LPARAM, BOOL&) {
  SendMessageW(m_hWndProgress, PBM_SETPOS, wParam, 0);
  Taskbar().SetValue(m_hWnd, wParam, 100);
  if (!m_bStalled) skin::SetLabelText(m_hWndDownloadPercent, FormatPercent(static_cast<int>(wParam)).c_str());
  return 0;
}

LRESULT CMainDlg::OnDownloadStatus(UINT, WPARAM, LPARAM, BOOL&) {
  WindowInstallEvents::DownloadStatus status;
  if (m_events && m_events->TakeStatus(status))
    ShowDownloadStatus(platform::TickCount(), status.downloaded, status.total, status.stalled);
  return 0;
}

// Between reports the timer feeds the meter the last counts, so that silence becomes a stall.
LRESULT CMainDlg::OnTimer(UINT, WPARAM wParam, LPARAM, BOOL& handled) {
  if (wParam != kStatusTimer) {
    handled = FALSE;
    return 0;
  }
  if (m_view != PAGE_DOWNLOADING) {
    KillTimer(m_hWnd, kStatusTimer);
    return 0;
  }
  // Silence counts only once bytes have been reported: before that the job may still be stopping
  // the running suite, which is no network trouble.
  if (m_downloaded > 0) ShowDownloadStatus(platform::TickCount(), m_downloaded, m_total, false);
  return 0;
}

// The status line: "正在下载文件: 45%" at the left and the speed and time left at the right, or
// the retry notice alone while nothing arrives (the engine's word, or the meter's silence).
void CMainDlg::ShowDownloadStatus(std::uint32_t nowMs, std::uint64_t downloaded, std::uint64_t total, bool stalled) {
  m_downloaded = downloaded;
  m_total = total;
  const bool redraw = m_meter.Update(nowMs, downloaded, total);
  const bool nowStalled = stalled || m_meter.Stalled();
  if (nowStalled != m_bStalled) {
    m_bStalled = nowStalled;
    skin::SetLabelText(m_hWndProgressText, nowStalled ? kRetryingStatus : kDownloadingStatus);
    ShowWindow(m_hWndDownloadPercent, nowStalled || m_view != PAGE_DOWNLOADING ? SW_HIDE : SW_SHOW);
    if (!nowStalled) {
      const LRESULT percent = SendMessageW(m_hWndProgress, PBM_GETPOS, 0, 0);
      skin::SetLabelText(m_hWndDownloadPercent, FormatPercent(static_cast<int>(percent)).c_str());
    }
  } else if (!redraw) {
    return;
  }
  skin::SetLabelText(m_hWndDownloadSpeed, nowStalled ? L"" : m_meter.Text().c_str());
}

// wParam is the entry about to be extracted, lParam the number of entries. The display changes
// only with the whole-number percentage, so thousands of entries repaint it at most ~100 times.
LRESULT CMainDlg::OnExtractProgress(UINT, WPARAM wParam, LPARAM lParam, BOOL&) {
  if (lParam <= 0) return 0;  // no entries: no percentage to show
  const int percent = static_cast<int>(static_cast<double>(static_cast<unsigned>(wParam)) * 100.0 /
                                       static_cast<double>(lParam));
  if (percent == m_nLastExtractPercent) return 0;
  SendMessageW(m_hWndProgress, PBM_SETPOS, static_cast<WPARAM>(percent), 0);
  Taskbar().SetValue(m_hWnd, static_cast<std::uint64_t>(percent), 100);
  skin::SetLabelText(m_hWndExtractPercent, FormatPercent(percent).c_str());
  m_nLastExtractPercent = percent;
  return 0;
}

LRESULT CMainDlg::OnInstallerQuit(UINT, WPARAM, LPARAM, BOOL&) {
  if (m_job) m_job->Cancel();
  DestroyWindow();
  PostQuitMessage(m_wExitCode);
  return 0;
}
