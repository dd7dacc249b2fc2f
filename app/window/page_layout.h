// Where the installer window's controls lie and on which of its views each shows.
//
// Every control is placed in 96-dpi units (the artwork's scale) with the views that show it; at
// another display scale each edge is that length times dpi / 96. The layout also makes the
// window's fonts and loads the skinned buttons' picture strips for the current scale, so that a
// change of scale is one call. Window thread only.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <vector>

#include "platform/win/handles.h"
#include "skin/custom_button.h"

// What the window shows; every control's visibility follows from it.
enum View : int { kViewSetup, kViewSetupExpanded, kViewDownloading, kViewExtracting, kViewFinished };

// A set of views, as the mask of the views' bits.
constexpr unsigned Views(std::initializer_list<int> views) {
  unsigned mask = 0;
  for (int view : views) mask |= 1u << view;
  return mask;
}
constexpr unsigned kOnSetupCollapsed = Views({kViewSetup});
constexpr unsigned kOnSetupExpanded = Views({kViewSetupExpanded});
constexpr unsigned kOnSetup = Views({kViewSetup, kViewSetupExpanded});
constexpr unsigned kOnDownloading = Views({kViewDownloading});
constexpr unsigned kOnExtracting = Views({kViewExtracting});
constexpr unsigned kOnProgress = Views({kViewDownloading, kViewExtracting});
constexpr unsigned kOnFinished = Views({kViewFinished});
constexpr unsigned kEverywhere = kOnSetup | kOnProgress | kOnFinished;

// The skinned buttons, each with its place, picture strip and accessible name in the layout's table.
enum class SkinButton { kInstall, kCustomOpen, kCustomClose, kClose, kBrowse, kFeature1, kFeature2, kFeature3, kFeature4 };

// The window's fonts at the current scale.
struct WindowFonts {
  win::UniqueFont button;   // the install button's caption
  win::UniqueFont option;   // the option captions and the terms link
  win::UniqueFont label;    // section labels and the status line
  win::UniqueFont feature;  // the feature captions of the progress page
  win::UniqueFont edit;     // the directory field
};

// Sets `font` on `control`, redrawing it.
void SetFont(HWND control, const win::UniqueFont& font);

class PageLayout {
 public:
  // The client area at 96 dpi; the expanded setup view adds kExpandHeight below the collapsed one.
  static constexpr int kClientWidth = 580;
  static constexpr int kCollapsedHeight = 398;
  static constexpr int kExpandHeight = 200;

  // The window the controls are children of; before any other call.
  void Attach(HWND window) { window_ = window; }
  [[nodiscard]] HWND Window() const { return window_; }
  [[nodiscard]] int Dpi() const { return dpi_; }
  [[nodiscard]] const WindowFonts& Fonts() const { return fonts_; }

  // A child of the window without a place yet (Arrange gives it one).
  HWND CreateChild(const wchar_t* windowClass, const wchar_t* text, DWORD style, int id) const;
  // Makes `button` from its table row (id, accessible name, strip frames) and places it on `views`.
  void CreateButton(CCustomButton& button, SkinButton which, unsigned views);
  // Records where `control` lies at 96 dpi and which views show it.
  void Place(HWND control, const RECT& rect, unsigned views) { placements_.push_back({control, rect, views}); }

  // Makes the fonts and loads the buttons' strips for `dpi` (a missing strip leaves a standard button).
  void SetDpi(int dpi);
  // Gives the window the client size of `view` at the current scale, exactly (a popup without
  // frame: the dialog template's size depends on its font and is not used).
  void FitClient(View view) const;
  // Puts every control at its place times the scale.
  void Arrange() const;
  // Shows the controls of `view` and hides all others.
  void Show(View view) const;
  // Has the buttons capture the background under them again (a new page or scale shows through
  // their transparent parts); `pictures` only: the install button and the feature pictures.
  void RefreshButtons(bool picturesOnly) const;

 private:
  struct Placement {
    HWND control;
    RECT rect;
    unsigned views;
  };
  struct Button {
    CCustomButton* button;
    SkinButton which;
  };
  HWND window_ = nullptr;
  int dpi_ = 96;
  WindowFonts fonts_;
  std::vector<Placement> placements_;
  std::vector<Button> buttons_;
};
