#include "app/window/options_panel.h"

#include <shlobj.h>

#include <cwctype>

#include "app/ids.h"
#include "platform/fs.h"
#include "platform/win/handles.h"
#include "res/resource.h"
#include "skin/dpi.h"
#include "skin/repaint.h"

namespace {

const wchar_t kBrowseTitle[] = L"选择解压文件路径";

int CALLBACK BrowseCallback(HWND picker, UINT message, LPARAM, LPARAM startFolder) {
  if (message == BFFM_INITIALIZED) SendMessageW(picker, BFFM_SETSELECTIONW, TRUE, startFolder);
  return 0;
}

std::wstring Trimmed(const std::wstring& text) {
  std::size_t first = 0, last = text.size();
  while (first < last && std::iswspace(text[first])) ++first;
  while (last > first && std::iswspace(text[last - 1])) --last;
  return text.substr(first, last - first);
}

bool IsChecked(HWND box) { return SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED; }
void SetChecked(HWND box, bool checked) { SendMessageW(box, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0); }

}  // namespace

void OptionsPanel::CreateOption(PageLayout& layout, HWND& box, DhStatic& caption, int boxId, const RECT& boxRect,
                                int captionId, const RECT& captionRect, const wchar_t* text, int index,
                                unsigned views) {
  HWND window = layout.Window();
  box = layout.CreateChild(L"BUTTON", nullptr, WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX | BS_NOTIFY, boxId);
  caption.Create(window, RECT{}, nullptr, WS_CHILD | WS_VISIBLE | SS_NOTIFY, 0, static_cast<UINT>(captionId));
  caption.m_nIndex = index;
  caption.m_uClickMessage = WM_OPTION_LABEL_CLICKED;
  caption.m_hWndBox = box;
  SetWindowTextW(caption.m_hWnd, text);
  SetChecked(box, true);
  layout.Place(box, boxRect, views);
  layout.Place(caption.m_hWnd, captionRect, views);
}

void OptionsPanel::Create(PageLayout& layout, const InstallOptions& start) {
  start_ = start;
  CreateOption(layout, agree_, agreeCaption_, IDC_AGREE, {18, 370, 31, 383}, IDC_AGREE_LABEL, {34, 369, 70, 385},
               L"我同意", 1, kOnSetup);
  CreateOption(layout, desktop_, desktopCaption_, IDC_DESKTOP_SHORTCUT, {66, 525, 79, 538}, IDC_DESKTOP_LABEL,
               {82, 524, 183, 540}, L"建立桌面快捷方式", 2, kOnSetupExpanded);
  CreateOption(layout, autorun_, autorunCaption_, IDC_AUTORUN, {305, 525, 318, 538}, IDC_AUTORUN_LABEL,
               {321, 524, 380, 540}, L"开机启动", 3, kOnSetupExpanded);
  CreateOption(layout, startMenu_, startMenuCaption_, IDC_STARTMENU_SHORTCUT, {66, 555, 79, 568},
               IDC_STARTMENU_LABEL, {81, 554, 220, 570}, L"建立开始菜单快捷方式", 4, kOnSetupExpanded);
  SetChecked(desktop_, start.desktopShortcut);
  SetChecked(autorun_, start.startAtLogon);
  SetChecked(startMenu_, start.startMenuShortcut);

  // The user-agreement link, made from a plain static.
  terms_ = layout.CreateChild(L"STATIC", L"", WS_CHILD | WS_VISIBLE, IDC_TERMS_LINK);
  termsLink_.SubclassWindow(terms_);
  termsLink_.SetHyperLinkExtendedStyle(termsLink_.GetHyperLinkExtendedStyle() | CHyperLink::kLinkNotifyParent);
  termsLink_.SetLabel(L"《用户协议》");
  layout.Place(terms_, {72, 370, 150, 390}, kOnSetup);

  directoryLabel_ = layout.CreateChild(L"STATIC", L"安装路径", WS_CHILD | WS_VISIBLE, IDC_INSTALL_DIR_LABEL);
  optionsLabel_ = layout.CreateChild(L"STATIC", L"安装选项", WS_CHILD | WS_VISIBLE, IDC_OPTIONS_LABEL);
  layout.Place(directoryLabel_, {45, 418, 105, 435}, kOnSetupExpanded);
  layout.Place(optionsLabel_, {45, 500, 105, 517}, kOnSetupExpanded);

  field_.m_hWndParent = layout.Window();
  field_.m_nEditId = IDC_INSTALL_DIR;
  // A control parent: the dialog manager tabs into the inner edit.
  field_.Create(layout.Window(), nullptr, nullptr, WS_CHILD | WS_VISIBLE, WS_EX_CONTROLPARENT, 0);
  layout.Place(field_.m_hWnd, {45, 445, 454, 478}, kOnSetupExpanded);
  // The default directory: the program-files folder and a backslash.
  wchar_t programFiles[MAX_PATH] = {};
  SHGetSpecialFolderPathW(nullptr, programFiles, CSIDL_PROGRAM_FILES, FALSE);  // on failure the text stays ""
  SetDirectory(start.directory.empty() ? std::wstring(programFiles) + L"\\" : start.directory);
  // Typing stops one unit short of the longest usable directory, leaving room for the "\\" the
  // install command appends; a longer folder chosen in the picker is refused at install time.
  SendMessageW(field_.m_hWndEdit, EM_LIMITTEXT, kMaxInstallDirLength - 1, 0);
  layout.CreateButton(browse_, SkinButton::kBrowse, kOnSetupExpanded);
}

void OptionsPanel::ApplyScale(const PageLayout& layout) {
  const WindowFonts& fonts = layout.Fonts();
  for (HWND caption : {agreeCaption_.m_hWnd, desktopCaption_.m_hWnd, autorunCaption_.m_hWnd,
                       startMenuCaption_.m_hWnd, terms_})
    SetFont(caption, fonts.option);
  for (HWND label : {directoryLabel_, optionsLabel_}) SetFont(label, fonts.label);
  SetFont(field_.m_hWndEdit, fonts.edit);
  field_.m_imgNormal.LoadForDpi(IDB_DIR_FIELD, layout.Dpi());
  field_.m_imgFocus.LoadForDpi(IDB_DIR_FIELD, layout.Dpi());
}

// The inner edit keeps its margins inside the field's picture.
void OptionsPanel::FitField(int dpi) {
  RECT client{};
  GetClientRect(field_.m_hWnd, &client);
  field_.m_rcEdit = {skin::Scale(5, dpi), skin::Scale(5, dpi), client.right - skin::Scale(3, dpi),
                     client.bottom - skin::Scale(3, dpi)};
}

bool OptionsPanel::Agreed() const { return SendMessageW(agree_, BM_GETCHECK, 0, 0) > 0; }

InstallOptions OptionsPanel::Accept() {
  std::wstring text;
  (void)field_.GetEditText(text);  // always succeeds; an empty field gives ""
  directory_ = platform::WithTrailingSeparator(text);
  InstallOptions options = start_;  // what the command line set beyond the controls
  options.directory = directory_;
  options.desktopShortcut = IsChecked(desktop_);
  options.startMenuShortcut = IsChecked(startMenu_);
  options.startAtLogon = IsChecked(autorun_);
  return options;
}

void OptionsPanel::SetDirectory(std::wstring directory) {
  directory_ = std::move(directory);
  SetWindowTextW(field_.m_hWndEdit, directory_.c_str());
}

// The picker starts at the accepted directory, not at text typed into the field.
void OptionsPanel::Browse() {
  std::wstring start = directory_;
  if (!start.empty() && start.back() == L'\\') start.pop_back();

  win::UniqueCoTaskMem<ITEMIDLIST_ABSOLUTE> root;
  SHGetSpecialFolderLocation(nullptr, CSIDL_DESKTOP, root.put());  // a null root is the desktop too
  wchar_t displayName[MAX_PATH] = {};
  BROWSEINFOW browse{};
  // Owned by the window, which is disabled while the picker is open: the install command cannot
  // start, or the directory change, under a running installation.
  browse.hwndOwner = GetParent(field_.m_hWnd);
  browse.pidlRoot = root.get();
  browse.pszDisplayName = displayName;
  browse.lpszTitle = kBrowseTitle;
  browse.ulFlags = BIF_RETURNONLYFSDIRS;
  browse.lpfn = &BrowseCallback;
  browse.lParam = reinterpret_cast<LPARAM>(start.c_str());
  win::UniqueCoTaskMem<ITEMIDLIST_ABSOLUTE> chosen(SHBrowseForFolderW(&browse));
  wchar_t path[MAX_PATH] = {};
  std::wstring directory = directory_;
  if (chosen && SHGetPathFromIDListW(chosen.get(), path)) directory = platform::WithTrailingSeparator(path);
  SetDirectory(Trimmed(directory));
}

void OptionsPanel::ToggleBox(int index) {
  const HWND boxes[] = {agree_, desktop_, autorun_, startMenu_};
  if (index < 1 || index > 4) return;
  HWND box = boxes[index - 1];
  SetChecked(box, SendMessageW(box, BM_GETCHECK, 0, 0) <= 0);
}

void OptionsPanel::RepaintCaptionOf(HWND box) {
  for (DhStatic* caption : {&agreeCaption_, &desktopCaption_, &autorunCaption_, &startMenuCaption_})
    if (caption->m_hWndBox == box) skin::RepaintUnder(caption->m_hWnd);
}
