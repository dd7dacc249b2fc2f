#include "app/window/page_layout.h"

#include <iterator>

#include "app/ids.h"
#include "res/resource.h"
#include "skin/dpi.h"
#include "skin/skin_font.h"
#include "ui/message_loop.h"

namespace {

// Font sizes in tenths of a point.
constexpr int kButtonFontSize = 150;
constexpr int kOptionFontSize = 90;
constexpr int kLabelFontSize = 100;
constexpr int kEditFontSize = 100;
constexpr int kFeatureFontSize = 130;

// A skinned button: its place at 96 dpi, its picture strip, the strip's frame for each state,
// and the accessible name of a picture button (whose caption is not drawn).
struct ButtonRow {
  int id;
  RECT rect;
  int strip;       // PNG resource id
  int frameCount;  // equal-width frames in the strip
  int normal, pressed, hover, disabled;
  const wchar_t* name;
};

// In the order of SkinButton.
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
static_assert(std::size(kButtonRows) == static_cast<int>(SkinButton::kFeature4) + 1, "one row per button");

const ButtonRow& RowOf(SkinButton which) { return kButtonRows[static_cast<int>(which)]; }

}  // namespace

void SetFont(HWND control, const win::UniqueFont& font) {
  SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), TRUE);
}

HWND PageLayout::CreateChild(const wchar_t* windowClass, const wchar_t* text, DWORD style, int id) const {
  return CreateWindowExW(0, windowClass, text, style, 0, 0, 0, 0, window_,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), g_module.Instance(), nullptr);
}

void PageLayout::CreateButton(CCustomButton& button, SkinButton which, unsigned views) {
  const ButtonRow& row = RowOf(which);
  button.Create(window_, RECT{}, row.name, WS_CHILD | WS_VISIBLE, 0, static_cast<UINT>(row.id));
  button.m_hWndParent = window_;
  button.m_bDrawCaption = row.name == nullptr;
  button.m_nFrameCount = row.frameCount;
  button.m_nFrameNormal = row.normal;
  button.m_nFramePressed = row.pressed;
  button.m_nFrameHover = row.hover;
  button.m_nFrameDisabled = row.disabled;
  buttons_.push_back({&button, which});
  Place(button.m_hWnd, row.rect, views);
}

void PageLayout::SetDpi(int dpi) {
  dpi_ = dpi;
  fonts_.button.reset(CreateSkinFont(kSkinFontFace, kButtonFontSize, dpi));
  fonts_.option.reset(CreateSkinFont(kSkinFontFace, kOptionFontSize, dpi));
  fonts_.label.reset(CreateSkinFont(kSkinFontFace, kLabelFontSize, dpi));
  fonts_.feature.reset(CreateSkinFont(kSkinFontFace, kFeatureFontSize, dpi));
  fonts_.edit.reset(CreateSkinFont(kSkinFontFace, kEditFontSize, dpi));
  for (const Button& b : buttons_) b.button->m_strip.LoadForDpi(RowOf(b.which).strip, dpi);
}

void PageLayout::FitClient(View view) const {
  const int height = kCollapsedHeight + (view == kViewSetupExpanded ? kExpandHeight : 0);
  RECT frame{0, 0, skin::Scale(kClientWidth, dpi_), skin::Scale(height, dpi_)};
  AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(window_, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongPtrW(window_, GWL_EXSTYLE)));
  SetWindowPos(window_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void PageLayout::Arrange() const {
  for (const Placement& placement : placements_) {
    const RECT rect = skin::Scale(placement.rect, dpi_);
    SetWindowPos(placement.control, nullptr, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

void PageLayout::Show(View view) const {
  for (const Placement& placement : placements_)
    ShowWindow(placement.control, (placement.views >> view) & 1 ? SW_SHOW : SW_HIDE);
}

void PageLayout::RefreshButtons(bool picturesOnly) const {
  for (const Button& b : buttons_) {
    const bool picture = b.which == SkinButton::kInstall || b.which >= SkinButton::kFeature1;
    if (picturesOnly && !picture) continue;
    b.button->m_background.Reset();
    b.button->UpdateStateImages();
  }
}
