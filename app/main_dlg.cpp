#include "app/main_dlg.h"

#include <commctrl.h>
#include <shlobj.h>

#include <cwchar>
#include <cwctype>

#include "app/ids.h"
#include "platform/shell.h"
#include "platform/win/handles.h"
#include "skin/skin_font.h"

namespace {

const wchar_t kTermsUrl[] = L"http://" VENDOR_SERVER L"/terms.html";
const wchar_t kBrowseTitle[] = L"选择解压文件路径";

// Added to the dialog class's style: the drop shadow (CS_DROPSHADOW) and bit 0x100.
constexpr ULONG_PTR kDropShadowClassStyle = 0x20100;

// Font sizes in tenths of a point.
constexpr int kButtonFontSize = 150;
constexpr int kOptionFontSize = 90;
constexpr int kLabelFontSize = 100;
constexpr int kEditFontSize = 100;
constexpr int kFeatureFontSize = 130;

// The skinned buttons: place, image strip and the strip frame of each state.
struct ButtonRow {
  int id;
  RECT rect;
  int strip;       // PNG resource id
  int frameCount;  // equal-width frames in the strip
  int normal, pressed, hover, disabled;
};

enum ButtonRowIndex { kRowInstall, kRowCustomOpen, kRowCustomClose, kRowClose, kRowBrowse, kRowFeature1 };

const ButtonRow kButtonRows[] = {
    {IDC_INSTALL, {200, 303, 381, 353}, IDB_INSTALL_BUTTON, 2, 0, 1, 1, 1},
    {IDC_CUSTOM_OPEN, {485, 375, 563, 386}, IDB_CUSTOM_BUTTON, 2, 1, 1, 1, 1},
    {IDC_CUSTOM_CLOSE, {485, 375, 563, 386}, IDB_CUSTOM_BUTTON, 2, 0, 0, 0, 1},
    {IDC_CLOSE, {532, 0, 580, 36}, IDB_CLOSE_BUTTON, 2, 0, 1, 1, 1},
    {IDC_BROWSE, {453, 445, 545, 478}, IDB_BROWSE_BUTTON, 2, 1, 0, 0, 0},
    {IDC_FEATURE1, {58, 130, 123, 195}, IDB_FEATURE1, 1, 0, 0, 0, 0},
    {IDC_FEATURE2, {190, 130, 255, 195}, IDB_FEATURE2, 1, 0, 0, 0, 0},
    {IDC_FEATURE3, {322, 130, 387, 195}, IDB_FEATURE3, 1, 0, 0, 0, 0},
    {IDC_FEATURE4, {454, 130, 519, 195}, IDB_FEATURE4, 1, 0, 0, 0, 0},
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
};

CMainDlg::~CMainDlg() {
  m_job.reset();  // cancels and joins: nothing reports to this object afterwards
  if (m_hWnd && IsWindow(m_hWnd)) DestroyWindow();
}

bool CMainDlg::ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (DispatchMessageMap(*this, kMessageMap, message, wParam, lParam, result)) return true;
  return ReflectNotifications(window, message, wParam, lParam, result);
}

// Navigation keys act as in a dialog. Esc becomes the cancel command (2), which nothing handles.
bool CMainDlg::FilterMessage(MSG* message) { return IsDialogMessageW(m_hWnd, message) != FALSE; }

bool CMainDlg::HandleIdle() { return false; }

std::wstring CMainDlg::ReadInstallDir() const {
  std::wstring text;
  (void)m_editInstallDir.GetEditText(text);  // always succeeds; an empty field gives ""
  return text;
}

// ---- initialisation ----

LRESULT CMainDlg::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&) {
  FitClientWidth();
  CenterOnWorkArea();
  SetClassLongPtrW(m_hWnd, GCL_STYLE, GetClassLongPtrW(m_hWnd, GCL_STYLE) | kDropShadowClassStyle);
  SetIcons();
  if (CMessageLoop* loop = g_module.GetMessageLoop()) {
    loop->AddMessageFilter(this);
    loop->AddIdleHandler(this);
  }
  SetWindowTextW(m_hWnd, kInstallerTitle);
  m_nLastExtractPercent = 0;
  m_background.LoadImages();
  CreateControls();
  return TRUE;
}

// The template's width in dialog units comes to about 580 pixels, more or less depending on the
// dialog font's metrics; the layout is drawn for exactly 580, so the width is set to that. The
// height stays as the template gives it (it shows y < 390 and hides the option rows from 418).
void CMainDlg::FitClientWidth() {
  RECT client{};
  GetClientRect(m_hWnd, &client);
  if (client.right - client.left == kClientWidth) return;
  RECT frame{0, 0, kClientWidth, client.bottom - client.top};
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

HWND CMainDlg::CreateChild(const wchar_t* windowClass, const wchar_t* text, DWORD style, const RECT& rect, int id) {
  return CreateWindowExW(0, windowClass, text, style, rect.left, rect.top, rect.right - rect.left,
                         rect.bottom - rect.top, m_hWnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                         g_module.Instance(), nullptr);
}

void CMainDlg::CreateButton(CCustomButton& button, int row) {
  const ButtonRow& setup = kButtonRows[row];
  button.Create(m_hWnd, setup.rect, nullptr, WS_CHILD | WS_VISIBLE, 0, static_cast<UINT>(setup.id));
  button.m_hWndParent = m_hWnd;
  button.m_strip.Load(MAKEINTRESOURCEW(setup.strip), kSkinImageType);  // a missing strip: a standard button
  button.m_nFrameCount = setup.frameCount;
  button.m_nFrameNormal = setup.normal;
  button.m_nFramePressed = setup.pressed;
  button.m_nFrameHover = setup.hover;
  button.m_nFrameDisabled = setup.disabled;
  button.UpdateStateImages();
}

void CMainDlg::CreateOption(HWND& box, DhStatic& caption, int boxId, const RECT& boxRect, DWORD boxStyle,
                            int captionId, const RECT& captionRect, const wchar_t* text, int index) {
  box = CreateChild(L"BUTTON", nullptr, WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX | boxStyle, boxRect, boxId);
  caption.Create(m_hWnd, captionRect, nullptr, WS_CHILD | WS_VISIBLE | SS_NOTIFY, 0, static_cast<UINT>(captionId));
  caption.m_nIndex = index;
  caption.m_uClickMessage = WM_OPTION_LABEL_CLICKED;
  SetWindowTextW(caption.m_hWnd, text);
  SendMessageW(caption.m_hWnd, WM_SETFONT, reinterpret_cast<WPARAM>(m_fontOption.get()), TRUE);
}

void CMainDlg::CreateControls() {
  // The install button.
  CreateButton(m_btnInstall, kRowInstall);
  m_fontButton.reset(CreateSkinFont(kSkinFontFace, kButtonFontSize));
  SendMessageW(m_btnInstall.m_hWnd, WM_SETFONT, reinterpret_cast<WPARAM>(m_fontButton.get()), TRUE);
  SetWindowTextW(m_btnInstall.m_hWnd, L"立即安装");
  m_btnInstall.UpdateStateImages();
  Place(m_btnInstall.m_hWnd, kOnSetup | kOnFinished);
  m_btnInstall.m_crTextNormal = m_btnInstall.m_crTextPressed = m_btnInstall.m_crTextHover =
      m_btnInstall.m_crTextDisabled = RGB(255, 255, 255);
  m_btnInstall.UpdateStateImages();

  // The agreement and the three install options, each a check box with a clickable caption.
  m_fontOption.reset(CreateSkinFont(kSkinFontFace, kOptionFontSize));
  CreateOption(m_hWndAgree, m_lblAgree, IDC_AGREE, {18, 370, 31, 383}, WS_TABSTOP, IDC_AGREE_LABEL,
               {34, 369, 70, 385}, L"我同意", 1);
  SendMessageW(m_hWndAgree, BM_SETCHECK, BST_CHECKED, 0);
  Place(m_hWndAgree, kOnSetup);
  Place(m_lblAgree.m_hWnd, kOnSetup);
  CreateOption(m_hWndDesktopShortcut, m_lblDesktop, IDC_DESKTOP_SHORTCUT, {66, 525, 79, 538}, 0, IDC_DESKTOP_LABEL,
               {82, 524, 183, 540}, L"建立桌面快捷方式", 2);
  CreateOption(m_hWndAutorun, m_lblAutorun, IDC_AUTORUN, {305, 525, 318, 538}, 0, IDC_AUTORUN_LABEL,
               {321, 524, 380, 540}, L"开机启动", 3);
  CreateOption(m_hWndStartMenuShortcut, m_lblStartMenu, IDC_STARTMENU_SHORTCUT, {66, 555, 79, 568}, 0,
               IDC_STARTMENU_LABEL, {81, 554, 220, 570}, L"建立开始菜单快捷方式", 4);
  const std::pair<HWND, bool> options[] = {{m_hWndDesktopShortcut, m_startOptions.desktopShortcut},
                                           {m_hWndAutorun, m_startOptions.startAtLogon},
                                           {m_hWndStartMenuShortcut, m_startOptions.startMenuShortcut}};
  for (const auto& [box, checked] : options) {
    SendMessageW(box, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
    Place(box, kOnSetupExpanded);
  }
  for (HWND caption : {m_lblDesktop.m_hWnd, m_lblAutorun.m_hWnd, m_lblStartMenu.m_hWnd})
    Place(caption, kOnSetupExpanded);

  // Custom install open and close, and the window's close button.
  CreateButton(m_btnCustomOpen, kRowCustomOpen);
  CreateButton(m_btnCustomClose, kRowCustomClose);
  Place(m_btnCustomOpen.m_hWnd, kOnSetupCollapsed);
  Place(m_btnCustomClose.m_hWnd, kOnSetupExpanded);
  CreateButton(m_btnClose, kRowClose);

  // The user-agreement link, made from a plain static.
  m_hWndTermsStatic = CreateChild(L"STATIC", L"", WS_CHILD | WS_VISIBLE, {72, 370, 150, 390}, IDC_TERMS_LINK);
  if (!m_linkTerms.m_hFont)
    m_linkTerms.m_hFont = reinterpret_cast<HFONT>(SendMessageW(m_hWndTermsStatic, WM_GETFONT, 0, 0));
  m_linkTerms.SubclassWindow(m_hWndTermsStatic);
  m_linkTerms.SetHyperLinkExtendedStyle(m_linkTerms.GetHyperLinkExtendedStyle() | CHyperLink::kLinkNotifyParent);
  m_linkTerms.SetLabel(L"《用户协议》");
  Place(m_hWndTermsStatic, kOnSetup);

  // Section labels of the install options.
  m_fontLabel.reset(CreateSkinFont(kSkinFontFace, kLabelFontSize));
  m_hWndInstallDirLabel =
      CreateChild(L"STATIC", L"安装路径", WS_CHILD | WS_VISIBLE, {45, 418, 105, 435}, IDC_INSTALL_DIR_LABEL);
  SendMessageW(m_hWndInstallDirLabel, WM_SETFONT, reinterpret_cast<WPARAM>(m_fontLabel.get()), TRUE);
  m_hWndOptionsLabel =
      CreateChild(L"STATIC", L"安装选项", WS_CHILD | WS_VISIBLE, {45, 500, 105, 517}, IDC_OPTIONS_LABEL);
  SendMessageW(m_hWndOptionsLabel, WM_SETFONT, reinterpret_cast<WPARAM>(m_fontLabel.get()), TRUE);

  CreateInstallDirField();
  CreateButton(m_btnBrowse, kRowBrowse);
  for (HWND control : {m_hWndInstallDirLabel, m_hWndOptionsLabel, m_editInstallDir.m_hWnd, m_btnBrowse.m_hWnd})
    Place(control, kOnSetupExpanded);

  // The progress page's feature icons and captions, hidden until then.
  for (int i = 0; i < 4; ++i) CreateButton(m_btnFeatures[i], kRowFeature1 + i);
  m_fontFeature.reset(CreateSkinFont(kSkinFontFace, kFeatureFontSize));
  for (int i = 0; i < 4; ++i) {
    const FeatureCaption& caption = kFeatureCaptions[i];
    m_hWndFeatureCaptions[i] = CreateChild(L"STATIC", caption.text, WS_CHILD | WS_VISIBLE, caption.rect, caption.id);
    SendMessageW(m_hWndFeatureCaptions[i], WM_SETFONT, reinterpret_cast<WPARAM>(m_fontFeature.get()), TRUE);
  }
  for (int i = 0; i < 4; ++i) {
    Place(m_btnFeatures[i].m_hWnd, kOnProgress);
    Place(m_hWndFeatureCaptions[i], kOnProgress);
  }

  // The progress display.
  m_hWndProgressText =
      CreateChild(L"STATIC", L"正在下载文件:", WS_CHILD | WS_VISIBLE, {20, 300, 150, 317}, IDC_PROGRESS_TEXT);
  SendMessageW(m_hWndProgressText, WM_SETFONT, reinterpret_cast<WPARAM>(m_fontLabel.get()), TRUE);
  m_hWndDownloadPercent =
      CreateChild(L"STATIC", L"", WS_CHILD | WS_VISIBLE, {110, 300, 140, 317}, IDC_DOWNLOAD_PERCENT);
  SendMessageW(m_hWndDownloadPercent, WM_SETFONT, reinterpret_cast<WPARAM>(m_fontLabel.get()), TRUE);
  m_hWndExtractPercent = CreateChild(L"STATIC", L"", WS_CHILD | WS_VISIBLE, {110, 300, 140, 317}, IDC_EXTRACT_PERCENT);
  SendMessageW(m_hWndExtractPercent, WM_SETFONT, reinterpret_cast<WPARAM>(m_fontLabel.get()), TRUE);
  // The progress bar's class is registered by the common controls library.
  INITCOMMONCONTROLSEX classes{sizeof(classes), ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&classes);  // without it the bar is missing; nothing else depends on it
  m_hWndProgress = CreateChild(PROGRESS_CLASSW, nullptr, WS_CHILD | WS_VISIBLE, {20, 335, 560, 345}, IDC_PROGRESS);
  SendMessageW(m_hWndProgress, PBM_SETPOS, 0, 0);
  Place(m_hWndProgressText, kOnProgress);
  Place(m_hWndProgress, kOnProgress);
  Place(m_hWndDownloadPercent, kOnDownloading);
  Place(m_hWndExtractPercent, kOnExtracting);

  m_bInstalled = FALSE;
  ShowPage(VIEW_SETUP);
}

void CMainDlg::ShowPage(View view) {
  for (const auto& [control, views] : m_pageControls) ShowWindow(control, (views >> view) & 1 ? SW_SHOW : SW_HIDE);
  const bool progress = view == PAGE_DOWNLOADING || view == PAGE_EXTRACTING;
  if (progress && m_view != PAGE_DOWNLOADING && m_view != PAGE_EXTRACTING) {
    // The progress pages are drawn for the collapsed height.
    RECT window{};
    GetWindowRect(m_hWnd, &window);
    if (window.bottom - window.top > 450) ResizeBy(-kExpandHeight);
  }
  m_view = view;
  m_nPage = progress ? PAGE_PROGRESS : view == PAGE_FINISHED ? PAGE_FINISH : PAGE_SETUP;
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
  m_editInstallDir.Create(m_hWnd, nullptr, nullptr, WS_CHILD | WS_VISIBLE, 0, 0);
  m_editInstallDir.m_imgNormal.Load(MAKEINTRESOURCEW(IDB_DIR_FIELD), kSkinImageType);
  m_editInstallDir.m_imgFocus.Load(MAKEINTRESOURCEW(IDB_DIR_FIELD), kSkinImageType);
  m_editInstallDir.ResizeToImage();

  // The default directory: the program-files folder and a backslash.
  wchar_t programFiles[MAX_PATH] = {};
  SHGetSpecialFolderPathW(nullptr, programFiles, CSIDL_PROGRAM_FILES, FALSE);  // on failure the text stays ""
  m_strInstallDir = m_startOptions.directory.empty() ? std::wstring(programFiles) + L"\\" : m_startOptions.directory;

  m_fontEdit.reset(CreateSkinFont(kSkinFontFace, kEditFontSize));
  SendMessageW(m_editInstallDir.m_hWndEdit, WM_SETFONT, reinterpret_cast<WPARAM>(m_fontEdit.get()), TRUE);
  RECT client{};
  GetClientRect(m_editInstallDir.m_hWnd, &client);
  m_editInstallDir.m_rcEdit = {client.left + 5, client.top + 5, client.right - 3, client.bottom - 3};
  SetWindowTextW(m_editInstallDir.m_hWndEdit, m_strInstallDir.c_str());
  // Typing stops one unit short of the longest usable directory, leaving room for the "\\" the
  // install command appends; a longer folder chosen in the picker is refused at install time.
  SendMessageW(m_editInstallDir.m_hWndEdit, EM_LIMITTEXT, MaxInstallDirLength() - 1, 0);
  SetWindowPos(m_editInstallDir.m_hWnd, nullptr, 45, 445, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
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
    ResizeBy(kExpandHeight);
    ShowPage(VIEW_SETUP_EXPANDED);
  }
  return 0;
}

LRESULT CMainDlg::OnCustomClose(UINT, WPARAM, LPARAM, BOOL&) {
  if (m_view == VIEW_SETUP_EXPANDED) {
    ResizeBy(-kExpandHeight);
    ShowPage(VIEW_SETUP);
  }
  return 0;
}

void CMainDlg::ResizeBy(int heightChange) {
  RECT window{};
  GetWindowRect(m_hWnd, &window);
  MoveWindow(m_hWnd, window.left, window.top, window.right - window.left,
             window.bottom - window.top + heightChange, TRUE);
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
  SetWindowTextW(m_hWndDownloadPercent, L"");
  SetWindowTextW(m_hWndDownloadPercent, FormatPercent(static_cast<int>(wParam)).c_str());
  return 0;
}

// wParam is the entry about to be extracted, lParam the number of entries. The display changes
// only with the whole-number percentage, so thousands of entries repaint it at most ~100 times.
LRESULT CMainDlg::OnExtractProgress(UINT, WPARAM wParam, LPARAM lParam, BOOL&) {
  if (lParam <= 0) return 0;  // no entries: no percentage to show
  const int percent = static_cast<int>(static_cast<double>(static_cast<unsigned>(wParam)) * 100.0 /
                                       static_cast<double>(lParam));
  if (percent == m_nLastExtractPercent) return 0;
  SendMessageW(m_hWndProgress, PBM_SETPOS, static_cast<WPARAM>(percent), 0);
  SetWindowTextW(m_hWndExtractPercent, FormatPercent(percent).c_str());
  m_nLastExtractPercent = percent;
  return 0;
}

LRESULT CMainDlg::OnInstallerQuit(UINT, WPARAM, LPARAM, BOOL&) {
  if (m_job) m_job->Cancel();
  DestroyWindow();
  PostQuitMessage(m_wExitCode);
  return 0;
}
