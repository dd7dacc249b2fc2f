// MainWindow: the installer's one window. It switches between the views, owns the install job
// and its thread, and answers the job's messages; its parts do the rest: PageLayout (places,
// scale, fonts), OptionsPanel (what the user chose), StatusLine (the progress display) and the
// outcome prompts.
//
// The job reaches the window only by posting the private messages of app/ids.h; the window
// cancels and joins the job before it is destroyed.
#pragma once

#include <windows.h>

#include <memory>

#include "app/install_job.h"
#include "app/window/options_panel.h"
#include "app/window/page_layout.h"
#include "app/window/status_line.h"
#include "app/window/window_events.h"
#include "ui/dialog_window.h"
#include "platform/win/handles.h"
#include "ui/message_loop.h"
#include "ui/message_map.h"
#include "res/resource.h"
#include "skin/custom_button.h"
#include "skin/page_background.h"

class MainWindow final : public CDialogWindow<MainWindow>, public CMessageFilter {
 public:
  static constexpr UINT IDD = IDD_MAINDLG;

  // `start`: what the command line chose, applied when the controls are made: the directory
  // field's starting value (empty: the program-files folder) and the three options.
  explicit MainWindow(InstallOptions start = InstallOptions{}) : start_(std::move(start)) {}
  // Cancels and joins the install job, then destroys the window while every control is alive.
  ~MainWindow();

  bool FilterMessage(MSG* message) override;
  bool ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

  // Shows `view`: its controls, its background page and its height.
  void ShowPage(View view);
  [[nodiscard]] View CurrentView() const { return view_; }
  // The DPI the window is laid out for.
  [[nodiscard]] int Dpi() const { return layout_.Dpi(); }
  OptionsPanel& Options() { return options_; }
  StatusLine& Status() { return status_; }

 private:
  LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnDestroy(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnEraseBackground(UINT, WPARAM, LPARAM, BOOL&) { return 1; }
  LRESULT OnPaint(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnCtlColorStatic(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnNcHitTest(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnDpiChanged(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnQueryUiState(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnOptionBoxCommand(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnOptionLabelClicked(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnTermsLinkClick(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnCustomOpen(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnCustomClose(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnBrowse(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnInstall(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnClose(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnInstallerQuit(UINT, WPARAM, LPARAM, BOOL&);
  // The job's messages.
  LRESULT OnDownloadProgress(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnDownloadStatus(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnTimer(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnExtractStart(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnExtractProgress(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnExtractFinished(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnNetworkFailed(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnExtractFailed(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnInstallStopped(UINT, WPARAM, LPARAM, BOOL&);

  void CreateControls();
  void ApplyDpi(int dpi);
  void SetIcons();
  void CenterOnWorkArea();
  void InvalidateWholeWindow();
  bool ActivateFocusedButton();
  void ShowKeyboardCues();
  // Starts the suite and ends the window with the install command's code.
  void LaunchSuite();
  // Destroys the window and ends the loop with `code`.
  void Quit(int code);

  static const MessageMapEntry<MainWindow> kMessageMap[];

  const InstallOptions start_;
  PageLayout layout_;
  OptionsPanel options_;
  StatusLine status_;
  CCustomButton install_, customOpen_, customClose_, close_;
  CCustomButton features_[4];
  HWND featureCaptions_[4] = {};
  CPageBackground background_;
  win::UniqueIcon bigIcon_, smallIcon_;

  View view_ = kViewSetup;
  // Set once the user moves through the window with the keyboard: focus marks show from then on.
  bool keyboardCues_ = false;
  // Set when the finish view is shown: the install button then starts the suite.
  bool installed_ = false;
  // The quit code after the install command: the id of the command that started the installation.
  int installCommand_ = 0;
  // Declared before the job, which reports through it: the job goes first.
  std::unique_ptr<WindowInstallEvents> events_;
  std::unique_ptr<CInstallJob> job_;
};
