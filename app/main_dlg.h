// CMainDlg: the installer's one window and the owner of the install flow's interface state.
//
// The window owns the install job (app/install_job.h) and its thread: the job reaches the window
// only by posting the private messages of app/ids.h, and the window cancels and joins the job
// before it is destroyed.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "app/download_meter.h"
#include "app/install_job.h"
#include "platform/win/handles.h"
#include "res/resource.h"
#include "skin/bitmap_edit.h"
#include "skin/custom_button.h"
#include "skin/dh_static.h"
#include "skin/hyperlink.h"
#include "skin/page_background.h"
#include "ui/dialog_window.h"
#include "ui/message_loop.h"
#include "ui/message_map.h"

// The job's reports as messages to the window (defined with the install flow). Byte counts do not
// fit a message: the latest wait here and WM_DOWNLOAD_STATUS tells the window to take them.
class WindowInstallEvents final : public IInstallEvents {
 public:
  struct DownloadStatus {
    std::uint64_t downloaded = 0;
    std::uint64_t total = 0;
    bool stalled = false;
  };

  explicit WindowInstallEvents(HWND window) : window_(window) {}
  void OnDownloadProgress(int percent) override;
  void OnDownloadStatus(std::uint64_t downloaded, std::uint64_t total, bool stalled) override;
  void OnExtractStart() override;
  void OnExtractProgress(std::int32_t index, std::int32_t count) override;
  void OnInstallEnded(const InstallResult& result) override;

  // The latest status; false when none came since the last call. Any thread.
  bool TakeStatus(DownloadStatus& status);

 private:
  HWND window_;
  std::mutex lock_;
  DownloadStatus status_;
  bool pending_ = false;
};

// The window's title; a second start finds the running installer by it.
inline constexpr wchar_t kInstallerTitle[] = L"Tavo手机助手安装程序";

// The message that names the drive and the space a full disk lacks.
std::wstring DiskFullText(const InstallResult& result);

class CMainDlg final : public CDialogWindow<CMainDlg>, public CMessageFilter, public CIdleHandler {
 public:
  static constexpr UINT IDD = IDD_MAINDLG;

  // The page whose background the window paints.
  enum Page : int {
    PAGE_SETUP = CPageBackground::kSetup,
    PAGE_PROGRESS = CPageBackground::kProgress,
    PAGE_FINISH = CPageBackground::kFinish
  };
  // What the window shows; every control's visibility follows from it (kPageControls).
  enum View : int { VIEW_SETUP, VIEW_SETUP_EXPANDED, PAGE_DOWNLOADING, PAGE_EXTRACTING, PAGE_FINISHED };

  // The client area at 96 dpi; at other scales it is this times dpi / 96. The install options
  // add kExpandHeight below the collapsed page.
  static constexpr int kClientWidth = 580;
  static constexpr int kCollapsedHeight = 398;
  static constexpr int kExpandHeight = 200;

  CMainDlg() = default;
  // Cancels and joins the install job, then destroys the window while every control object is
  // still alive.
  ~CMainDlg();

  bool FilterMessage(MSG* message) override;
  bool HandleIdle() override;

  bool ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

  // The text of the install-directory field; empty when the field is empty.
  std::wstring ReadInstallDir() const;

  // Shows the controls of `view` and hides all others, sets the background page and gives the
  // window the view's height (expanded only for VIEW_SETUP_EXPANDED).
  void ShowPage(View view);
  // The DPI the window is laid out for.
  int Dpi() const { return m_dpi; }
  // Lays the window out for `dpi`: fonts, artwork, every control's place and the window's size.
  void ApplyDpi(int dpi);
  // Takes the latest byte counts (as from WindowInstallEvents) into the download page at `nowMs`.
  void ShowDownloadStatus(std::uint32_t nowMs, std::uint64_t downloaded, std::uint64_t total, bool stalled);
  View CurrentView() const { return m_view; }
  // The running or finished install job, null before the install command.
  const CInstallJob* Job() const { return m_job.get(); }

  // What the command line chose, applied when the controls are made: the field's starting
  // directory (empty: the program-files folder) and the three options. Call before Create.
  void SetStartOptions(const InstallOptions& options) { m_startOptions = options; }

  // The longest install directory, final "\\" included, that every path built on it fits.
  static size_t MaxInstallDirLength();

 private:
  LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnDestroy(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnEraseBackground(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnPaint(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnSize(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnCtlColorStatic(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnNcHitTest(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnTermsLinkClick(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnCustomOpen(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnCustomClose(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnClose(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnBrowse(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnInstall(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnOptionLabelClicked(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnExtractStart(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnNetworkFailed(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnDownloadProgress(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnExtractFailed(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnExtractProgress(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnExtractFinished(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnInstallStopped(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnInstallerQuit(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnDownloadStatus(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnTimer(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnDpiChanged(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnQueryUiState(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnOptionBoxCommand(UINT, WPARAM, LPARAM, BOOL&);

  void FitClientSize();
  void MakeFonts();
  void LoadArtwork();
  void Layout();
  void SetTabOrder(std::initializer_list<HWND> controls);
  void ShowKeyboardCues();
  bool ActivateFocusedButton();
  void CenterOnWorkArea();
  void SetIcons();
  void CreateControls();
  void CreateButton(CCustomButton& button, int row, unsigned views);
  HWND CreateChild(const wchar_t* windowClass, const wchar_t* text, DWORD style, int id);
  void CreateOption(HWND& box, DhStatic& caption, int boxId, const RECT& boxRect, int captionId,
                    const RECT& captionRect, const wchar_t* text, int index, unsigned views);
  void CreateInstallDirField();
  void PaintBackground(HDC dc);
  // Records where `control` lies at 96 dpi and which views show it (a mask of 1 << View).
  void Place(HWND control, const RECT& rect, unsigned views) { m_placements.push_back({control, rect, views}); }
  void LaunchSuite();
  void InvalidateWholeWindow();

  static const MessageMapEntry<CMainDlg> kMessageMap[];

  // While the download page shows, the window looks at the byte counts this often, so that a
  // download from which nothing arrives is seen as stalled even when the job reports nothing.
  static constexpr UINT_PTR kStatusTimer = 1;
  static constexpr UINT kStatusTimerMs = 500;

  // Controls and their fonts.
  CCustomButton m_btnInstall;
  CCustomButton m_btnCustomOpen;
  CCustomButton m_btnCustomClose;
  CCustomButton m_btnBrowse;
  CCustomButton m_btnClose;
  win::UniqueFont m_fontButton;
  HWND m_hWndAgree = nullptr;
  win::UniqueFont m_fontOption;
  CHyperLink m_linkTerms;
  win::UniqueFont m_fontFeature;
  HWND m_hWndTermsStatic = nullptr;
  HWND m_hWndInstallDirLabel = nullptr;
  win::UniqueFont m_fontLabel;
  CBitmapEdit m_editInstallDir;
  HWND m_hWndOptionsLabel = nullptr;
  HWND m_hWndDesktopShortcut = nullptr;
  HWND m_hWndAutorun = nullptr;
  HWND m_hWndStartMenuShortcut = nullptr;
  win::UniqueFont m_fontEdit;
  CCustomButton m_btnFeatures[4];
  HWND m_hWndFeatureCaptions[4] = {};
  HWND m_hWndProgressText = nullptr;
  HWND m_hWndDownloadPercent = nullptr;
  HWND m_hWndExtractPercent = nullptr;  // shares id 1232 with the agree caption: reached only through this
  HWND m_hWndProgress = nullptr;
  DhStatic m_lblAgree;
  DhStatic m_lblDesktop;
  DhStatic m_lblAutorun;
  DhStatic m_lblStartMenu;
  win::UniqueIcon m_iconBig;
  win::UniqueIcon m_iconSmall;
  CPageBackground m_background;

  // Every control: its place at 96 dpi and the views that show it.
  struct Placement {
    HWND control;
    RECT rect;
    unsigned views;
  };
  std::vector<Placement> m_placements;
  View m_view = VIEW_SETUP;
  InstallOptions m_startOptions;
  int m_dpi = 96;
  // Set once the user moves through the window with the keyboard: focus marks show from then on.
  bool m_bKeyboardCues = false;
  HWND m_hWndDownloadSpeed = nullptr;
  DownloadMeter m_meter;
  std::uint64_t m_downloaded = 0;
  std::uint64_t m_total = 0;
  bool m_bStalled = false;
  // Declared before the job, which reports through it: the job goes first.
  std::unique_ptr<WindowInstallEvents> m_events;
  std::unique_ptr<CInstallJob> m_job;

 public:
  // Interface state shared with the install flow; used on the window's thread only.

  // The install directory as last accepted; ends with "\\" once the window has set it.
  std::wstring m_strInstallDir;
  int m_nPage = PAGE_SETUP;
  // Set when the finish page is shown: the install button then starts the suite.
  BOOL m_bInstalled = FALSE;
  // The extraction percentage last shown.
  int m_nLastExtractPercent = 0;
  // The quit code of WM_INSTALLER_QUIT: the id of the command that started the installation.
  WORD m_wExitCode = 0;
};
