// The setup views' questions: the agreement with its terms link, and (expanded) the install
// directory with its picker and the three install options. It answers one question: which
// InstallOptions the user chose.
//
// Each check box has no text of its own: the clickable caption beside it (DhStatic) shows it and
// toggles it. Window thread only.
#pragma once

#include <windows.h>

#include <string>

#include "app/install_job.h"
#include "app/window/page_layout.h"
#include "skin/bitmap_edit.h"
#include "skin/dh_static.h"
#include "skin/hyperlink.h"

class OptionsPanel {
 public:
  // Makes and places the controls; the directory field starts at `start.directory` (empty: the
  // program-files folder) and the boxes as `start` says. `start`'s other fields are kept for Accept.
  void Create(PageLayout& layout, const InstallOptions& start);
  // Fonts and the field's picture for the layout's current scale, and the field's inner margins
  // once the layout has placed it.
  void ApplyScale(const PageLayout& layout);
  void FitField(int dpi);

  [[nodiscard]] bool Agreed() const;
  // Takes the field's text, with a final "\\", as the accepted directory and returns what the
  // user chose: the start options with that directory and the three boxes.
  [[nodiscard]] InstallOptions Accept();
  // The directory as last accepted (from the start options, the picker or Accept); the picker
  // starts there.
  [[nodiscard]] const std::wstring& Directory() const { return directory_; }
  // Accepts `directory` and shows it in the field.
  void SetDirectory(std::wstring directory);

  // The browse button: the folder picker, owned by the window (which it disables meanwhile).
  // The field shows the accepted directory afterwards, whatever the picker's answer.
  void Browse();
  // A caption was clicked: its box (1 agreement, 2 desktop, 3 start at logon, 4 start menu) toggles.
  void ToggleBox(int index);
  // A box gained or lost the focus: its caption redraws its focus mark.
  void RepaintCaptionOf(HWND box);

  // The controls the keyboard visits, in their place in the tab order.
  [[nodiscard]] HWND AgreeBox() const { return agree_; }
  [[nodiscard]] HWND TermsLink() const { return terms_; }
  [[nodiscard]] HWND DirectoryField() const { return field_.m_hWnd; }
  [[nodiscard]] HWND BrowseButton() const { return browse_.m_hWnd; }
  [[nodiscard]] HWND DesktopBox() const { return desktop_; }
  [[nodiscard]] HWND AutorunBox() const { return autorun_; }
  [[nodiscard]] HWND StartMenuBox() const { return startMenu_; }

 private:
  void CreateOption(PageLayout& layout, HWND& box, DhStatic& caption, int boxId, const RECT& boxRect,
                    int captionId, const RECT& captionRect, const wchar_t* text, int index, unsigned views);

  InstallOptions start_;
  std::wstring directory_;
  HWND agree_ = nullptr, desktop_ = nullptr, autorun_ = nullptr, startMenu_ = nullptr;
  DhStatic agreeCaption_, desktopCaption_, autorunCaption_, startMenuCaption_;
  HWND terms_ = nullptr;
  CHyperLink termsLink_;
  HWND directoryLabel_ = nullptr, optionsLabel_ = nullptr;
  CBitmapEdit field_;
  CCustomButton browse_;
};
