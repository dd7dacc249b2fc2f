#include "app/window/main_window.h"

#include <commctrl.h>
#include <shellapi.h>

#include <cwchar>

#include "app/ids.h"
#include "app/window/outcome_prompts.h"
#include "platform/clock.h"
#include "platform/shell.h"
#include "skin/dpi.h"
#include "skin/repaint.h"
#include "system/suite.h"

namespace {

const wchar_t kTryItNow[] = L"立即体验";

// Added to the dialog class's style: the drop shadow (CS_DROPSHADOW) and bit 0x100.
constexpr ULONG_PTR kDropShadowClassStyle = 0x20100;

// The progress views' feature captions, under the feature pictures.
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

// The background page each view is drawn on.
int PageOf(View view) {
  switch (view) {
    case kViewDownloading:
    case kViewExtracting: return CPageBackground::kProgress;
    case kViewFinished: return CPageBackground::kFinish;
    case kViewSetup:
    case kViewSetupExpanded: break;
  }
  return CPageBackground::kSetup;
}

}  // namespace

const MessageMapEntry<MainWindow> MainWindow::kMessageMap[] = {
    {OnMessage(WM_INITDIALOG), &MainWindow::OnInitDialog},
    {OnMessage(WM_DESTROY), &MainWindow::OnDestroy},
    {OnMessage(WM_ERASEBKGND), &MainWindow::OnEraseBackground},
    {OnMessage(WM_PRINTCLIENT), &MainWindow::OnPaint},
    {OnMessage(WM_PAINT), &MainWindow::OnPaint},
    {OnMessage(WM_CTLCOLORSTATIC), &MainWindow::OnCtlColorStatic},
    {OnMessage(WM_NCHITTEST), &MainWindow::OnNcHitTest},
    {OnMessage(WM_DPICHANGED), &MainWindow::OnDpiChanged},
    {OnMessage(WM_QUERYUISTATE), &MainWindow::OnQueryUiState},
    {OnCommandId(IDC_AGREE), &MainWindow::OnOptionBoxCommand},
    {OnCommandId(IDC_DESKTOP_SHORTCUT), &MainWindow::OnOptionBoxCommand},
    {OnCommandId(IDC_AUTORUN), &MainWindow::OnOptionBoxCommand},
    {OnCommandId(IDC_STARTMENU_SHORTCUT), &MainWindow::OnOptionBoxCommand},
    {OnMessage(WM_OPTION_LABEL_CLICKED), &MainWindow::OnOptionLabelClicked},
    {OnNotify(IDC_TERMS_LINK, NM_CLICK), &MainWindow::OnTermsLinkClick},
    {OnCommandId(IDC_CUSTOM_OPEN), &MainWindow::OnCustomOpen},
    {OnCommandId(IDC_CUSTOM_CLOSE), &MainWindow::OnCustomClose},
    {OnCommandId(IDC_BROWSE), &MainWindow::OnBrowse},
    {OnCommandId(IDC_INSTALL), &MainWindow::OnInstall},
    {OnCommandId(IDC_CLOSE), &MainWindow::OnClose},
    {OnMessage(WM_INSTALLER_QUIT), &MainWindow::OnInstallerQuit},
    {OnMessage(WM_DOWNLOAD_PROGRESS), &MainWindow::OnDownloadProgress},
    {OnMessage(WM_DOWNLOAD_STATUS), &MainWindow::OnDownloadStatus},
    {OnMessage(WM_TIMER), &MainWindow::OnTimer},
    {OnMessage(WM_EXTRACT_START), &MainWindow::OnExtractStart},
    {OnMessage(WM_EXTRACT_PROGRESS), &MainWindow::OnExtractProgress},
    {OnMessage(WM_EXTRACT_FINISHED), &MainWindow::OnExtractFinished},
    {OnMessage(WM_NETWORK_FAILED), &MainWindow::OnNetworkFailed},
    {OnMessage(WM_EXTRACT_FAILED), &MainWindow::OnExtractFailed},
    {OnMessage(WM_INSTALL_STOPPED), &MainWindow::OnInstallStopped},
};

MainWindow::~MainWindow() {
  job_.reset();  // cancels and joins: nothing reports to this object afterwards
  if (m_hWnd && IsWindow(m_hWnd)) DestroyWindow();
}

bool MainWindow::ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (DispatchMessageMap(*this, kMessageMap, message, wParam, lParam, result)) return true;
  return ReflectNotifications(window, message, wParam, lParam, result);
}

// ---- making the window ----

LRESULT MainWindow::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&) {
  SetClassLongPtrW(m_hWnd, GCL_STYLE, GetClassLongPtrW(m_hWnd, GCL_STYLE) | kDropShadowClassStyle);
  SetIcons();
  if (CMessageLoop* loop = g_module.GetMessageLoop()) loop->AddMessageFilter(this);
  SetWindowTextW(m_hWnd, suite::kInstallerTitle);
  CreateControls();
  ApplyDpi(skin::WindowDpi(m_hWnd));
  CenterOnWorkArea();
  // The focus goes to the install button; no focus mark shows until the keyboard is used.
  SetFocus(install_.m_hWnd);
  return FALSE;
}

LRESULT MainWindow::OnDestroy(UINT, WPARAM, LPARAM, BOOL&) {
  if (CMessageLoop* loop = g_module.GetMessageLoop()) loop->RemoveMessageFilter(this);
  return 0;
}

void MainWindow::CreateControls() {
  layout_.Attach(m_hWnd);
  layout_.CreateButton(install_, SkinButton::kInstall, kOnSetup | kOnFinished);
  SetWindowTextW(install_.m_hWnd, L"立即安装");
  install_.m_crTextNormal = install_.m_crTextPressed = install_.m_crTextHover = install_.m_crTextDisabled =
      RGB(255, 255, 255);
  options_.Create(layout_, start_);
  layout_.CreateButton(customOpen_, SkinButton::kCustomOpen, kOnSetupCollapsed);
  layout_.CreateButton(customClose_, SkinButton::kCustomClose, kOnSetupExpanded);
  layout_.CreateButton(close_, SkinButton::kClose, kEverywhere);

  // The progress views' feature pictures and captions.
  for (int i = 0; i < 4; ++i)
    layout_.CreateButton(features_[i], static_cast<SkinButton>(static_cast<int>(SkinButton::kFeature1) + i),
                         kOnProgress);
  for (int i = 0; i < 4; ++i) {
    const FeatureCaption& caption = kFeatureCaptions[i];
    featureCaptions_[i] = layout_.CreateChild(L"STATIC", caption.text, WS_CHILD | WS_VISIBLE, caption.id);
    layout_.Place(featureCaptions_[i], caption.rect, kOnProgress);
  }
  status_.Create(layout_);

  // Tab and Shift+Tab go through these, in this order; hidden ones are passed over. The dialog
  // manager moves the focus in Z order through controls with WS_TABSTOP (and into the directory
  // field, a control parent): those go to the bottom of the Z order in tab order.
  for (HWND control : {install_.m_hWnd, options_.AgreeBox(), options_.TermsLink(), customOpen_.m_hWnd,
                       customClose_.m_hWnd, options_.DirectoryField(), options_.BrowseButton(), options_.DesktopBox(),
                       options_.AutorunBox(), options_.StartMenuBox()}) {
    SetWindowLongPtrW(control, GWL_STYLE, GetWindowLongPtrW(control, GWL_STYLE) | WS_TABSTOP);
    SetWindowPos(control, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
  ShowPage(kViewSetup);
}

void MainWindow::SetIcons() {
  HINSTANCE instance = g_module.Instance();
  bigIcon_.reset(static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0)));
  SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_.get()));
  smallIcon_.reset(static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON,
                                                 GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0)));
  SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_.get()));
}

void MainWindow::CenterOnWorkArea() {
  MONITORINFO monitor{};
  monitor.cbSize = sizeof(monitor);
  if (!GetMonitorInfoW(MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTONEAREST), &monitor)) return;
  RECT window{};
  GetWindowRect(m_hWnd, &window);
  const RECT& work = monitor.rcWork;
  const int x = work.left + ((work.right - work.left) - (window.right - window.left)) / 2;
  const int y = work.top + ((work.bottom - work.top) - (window.bottom - window.top)) / 2;
  SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// ---- views and scale ----

void MainWindow::ApplyDpi(int dpi) {
  layout_.SetDpi(dpi);
  const WindowFonts& fonts = layout_.Fonts();
  SetFont(install_.m_hWnd, fonts.button);
  for (HWND caption : featureCaptions_) SetFont(caption, fonts.feature);
  options_.ApplyScale(layout_);
  status_.ApplyFonts(fonts);
  background_.LoadImages(dpi);
  layout_.FitClient(view_);
  layout_.Arrange();
  options_.FitField(dpi);
  layout_.RefreshButtons(false);  // the buttons capture the new background when they rebuild their faces
  InvalidateWholeWindow();
}

// Moved to a monitor of another scale: the system suggests the new window rectangle; the window
// keeps its place from it and takes its exact size from the layout.
LRESULT MainWindow::OnDpiChanged(UINT, WPARAM wParam, LPARAM lParam, BOOL&) {
  if (const auto* suggested = reinterpret_cast<const RECT*>(lParam))
    SetWindowPos(m_hWnd, nullptr, suggested->left, suggested->top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  ApplyDpi(LOWORD(wParam));
  return 0;
}

void MainWindow::ShowPage(View view) {
  layout_.Show(view);
  const bool resize = (view == kViewSetupExpanded) != (view_ == kViewSetupExpanded);
  const bool newPage = PageOf(view) != PageOf(view_);
  view_ = view;
  status_.OnViewShown(view);
  if (resize) layout_.FitClient(view);
  if (newPage) layout_.RefreshButtons(true);  // the pictures show the new band through their transparent parts
  InvalidateWholeWindow();
}

void MainWindow::InvalidateWholeWindow() {
  RECT window{};
  GetWindowRect(m_hWnd, &window);
  RECT area{0, 0, window.right - window.left, window.bottom - window.top};
  InvalidateRect(m_hWnd, &area, FALSE);
}

LRESULT MainWindow::OnPaint(UINT, WPARAM wParam, LPARAM, BOOL&) {
  win::PaintGivenOrOwnDc(m_hWnd, wParam, [this](HDC dc) {
    RECT client{};
    GetClientRect(m_hWnd, &client);
    background_.Paint(dc, PageOf(view_), client.right - client.left, client.bottom - client.top);
  });
  return 0;
}

LRESULT MainWindow::OnCtlColorStatic(UINT, WPARAM wParam, LPARAM lParam, BOOL&) {
  HDC dc = reinterpret_cast<HDC>(wParam);
  HWND control = reinterpret_cast<HWND>(lParam);
  // By id, so of the two controls with 1232 only the agree caption (found first) is transparent.
  for (int id : kTransparentStatics)
    if (GetDlgItem(m_hWnd, id) == control) SetBkMode(dc, TRANSPARENT);
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
LRESULT MainWindow::OnNcHitTest(UINT, WPARAM, LPARAM lParam, BOOL&) {
  POINT point{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
  ScreenToClient(m_hWnd, &point);
  RECT client{};
  GetClientRect(m_hWnd, &client);
  return PtInRect(&client, point) ? HTCAPTION : HTNOWHERE;
}

// ---- the keyboard ----

// Navigation keys act as in a dialog: Tab and Shift+Tab move through the tab order, Space presses
// the focused button or box. Enter presses the focused button or box too (in a dialog it would be
// the default command, which nothing here has). Esc becomes the cancel command (2), which nothing
// handles. The first navigation key turns the focus marks on.
bool MainWindow::FilterMessage(MSG* message) {
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

bool MainWindow::ActivateFocusedButton() {
  HWND focus = GetFocus();
  if (!focus || GetParent(focus) != m_hWnd) return false;
  wchar_t className[32] = {};
  GetClassNameW(focus, className, 32);
  if (_wcsicmp(className, L"Button") != 0 && _wcsicmp(className, CCustomButton::kClassName) != 0) return false;
  SendMessageW(focus, BM_CLICK, 0, 0);
  return true;
}

void MainWindow::ShowKeyboardCues() {
  if (keyboardCues_) return;
  keyboardCues_ = true;
  if (HWND focus = GetFocus()) skin::RepaintUnder(focus);
}

// The skinned controls ask the window whether to draw their focus marks.
LRESULT MainWindow::OnQueryUiState(UINT, WPARAM, LPARAM, BOOL&) {
  return keyboardCues_ ? 0 : UISF_HIDEFOCUS | UISF_HIDEACCEL;
}

// A check box that gains or loses the focus has its caption show or drop the focus mark.
LRESULT MainWindow::OnOptionBoxCommand(UINT, WPARAM wParam, LPARAM lParam, BOOL& handled) {
  const WORD code = HIWORD(wParam);
  if (code != BN_SETFOCUS && code != BN_KILLFOCUS) {
    handled = FALSE;
    return 0;
  }
  options_.RepaintCaptionOf(reinterpret_cast<HWND>(lParam));
  return 0;
}

// ---- the user's commands ----

LRESULT MainWindow::OnOptionLabelClicked(UINT, WPARAM wParam, LPARAM, BOOL&) {
  options_.ToggleBox(static_cast<int>(wParam));
  return 0;
}

LRESULT MainWindow::OnTermsLinkClick(UINT, WPARAM, LPARAM, BOOL&) {
  platform::Shell().Open(suite::kTermsUrl);  // when no browser opens there is nothing to tell the user
  return 0;
}

LRESULT MainWindow::OnCustomOpen(UINT, WPARAM, LPARAM, BOOL&) {
  if (view_ == kViewSetup && options_.Agreed()) {
    const bool focused = GetFocus() == customOpen_.m_hWnd;
    ShowPage(kViewSetupExpanded);
    if (focused) SetFocus(customClose_.m_hWnd);  // the toggle keeps the focus
  }
  return 0;
}

LRESULT MainWindow::OnCustomClose(UINT, WPARAM, LPARAM, BOOL&) {
  if (view_ == kViewSetupExpanded) {
    const bool focused = GetFocus() == customClose_.m_hWnd;
    ShowPage(kViewSetup);
    if (focused || !GetFocus()) SetFocus(customOpen_.m_hWnd);
  }
  return 0;
}

LRESULT MainWindow::OnBrowse(UINT, WPARAM, LPARAM, BOOL&) {
  options_.Browse();
  return 0;
}

LRESULT MainWindow::OnInstall(UINT, WPARAM wParam, LPARAM, BOOL&) {
  installCommand_ = LOWORD(wParam);
  if (installed_) {
    LaunchSuite();
    return 0;
  }
  if (job_) return 0;  // already installing

  InstallOptions options = options_.Accept();
  if (!UsableInstallDirectory(options.directory)) {
    ReportUnusableDirectory();
    return 0;
  }
  if (!options_.Agreed()) return 0;

  ShowPage(kViewDownloading);
  status_.StartDownload();
  events_ = std::make_unique<WindowInstallEvents>(m_hWnd);
  job_ = std::make_unique<CInstallJob>(std::move(options), *events_);
  // When the thread cannot be started the progress view stays until the user closes the window.
  (void)job_->Start();
  return 0;
}

void MainWindow::LaunchSuite() {
  const std::wstring program = options_.Directory() + suite::kProgram;
  if (program.size() <= MAX_PATH - 1)
    ShellExecuteW(nullptr, L"open", program.c_str(), nullptr, nullptr, SW_SHOW);  // a missing suite is not reported
  Quit(installCommand_);
}

void MainWindow::Quit(int code) {
  // The job stops at its next check; the destructor joins it once the loop has ended.
  if (job_) job_->Cancel();
  DestroyWindow();
  PostQuitMessage(code);
}

LRESULT MainWindow::OnClose(UINT, WPARAM, LPARAM, BOOL&) {
  Quit(EXIT_CLOSED);
  return 0;
}

LRESULT MainWindow::OnInstallerQuit(UINT, WPARAM, LPARAM, BOOL&) {
  Quit(installCommand_);
  return 0;
}

// ---- the job's messages ----

LRESULT MainWindow::OnDownloadProgress(UINT, WPARAM wParam, LPARAM, BOOL&) {
  status_.ShowDownloadPercent(static_cast<int>(wParam));
  return 0;
}

LRESULT MainWindow::OnDownloadStatus(UINT, WPARAM, LPARAM, BOOL&) {
  WindowInstallEvents::DownloadStatus latest;
  if (events_ && events_->TakeStatus(latest))
    status_.ShowDownloadStatus(platform::TickCount(), latest.downloaded, latest.total, latest.stalled);
  return 0;
}

LRESULT MainWindow::OnTimer(UINT, WPARAM wParam, LPARAM, BOOL& handled) {
  if (wParam != StatusLine::kTimerId) {
    handled = FALSE;
    return 0;
  }
  status_.OnTimer(platform::TickCount());
  return 0;
}

LRESULT MainWindow::OnExtractStart(UINT, WPARAM, LPARAM, BOOL&) {
  ShowPage(kViewExtracting);
  status_.StartExtraction();
  return 0;
}

// wParam is the entry about to be extracted, lParam the number of entries.
LRESULT MainWindow::OnExtractProgress(UINT, WPARAM wParam, LPARAM lParam, BOOL&) {
  status_.ShowExtractProgress(static_cast<std::uint32_t>(wParam), static_cast<std::int32_t>(lParam));
  return 0;
}

LRESULT MainWindow::OnExtractFinished(UINT, WPARAM, LPARAM, BOOL&) {
  status_.Finish();
  SetWindowTextW(install_.m_hWnd, kTryItNow);
  install_.UpdateStateImages();
  installed_ = true;
  ShowPage(kViewFinished);
  return 0;
}

LRESULT MainWindow::OnNetworkFailed(UINT, WPARAM, LPARAM, BOOL&) {
  const bool offline = status_.WithErrorShown([this] { return OfferOfflineInstaller(m_hWnd) ? 1 : 0; }) != 0;
  if (!offline) PostMessageW(m_hWnd, WM_INSTALLER_QUIT, 0, 0);
  return 0;
}

LRESULT MainWindow::OnExtractFailed(UINT, WPARAM wParam, LPARAM lParam, BOOL&) {
  (void)status_.WithErrorShown([&] {
    ReportExtractFailure(m_hWnd, static_cast<unzip::ExtractStage>(wParam), static_cast<std::int32_t>(lParam));
    return 0;
  });
  PostMessageW(m_hWnd, WM_INSTALLER_QUIT, 0, 0);
  return 0;
}

LRESULT MainWindow::OnInstallStopped(UINT, WPARAM, LPARAM, BOOL&) {
  ReportInstallStopped(m_hWnd, job_ ? job_->Result() : InstallResult{});
  PostMessageW(m_hWnd, WM_INSTALLER_QUIT, 0, 0);
  return 0;
}
