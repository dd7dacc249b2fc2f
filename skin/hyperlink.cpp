#include "skin/hyperlink.h"

#include <commctrl.h>

#include <cwctype>
#include <vector>

#include "platform/shell.h"
#include "skin/repaint.h"

const MessageMapEntry<CHyperLink> CHyperLink::kMessageMap[] = {
    {OnMessage(WM_PAINT), &CHyperLink::OnPaint},
    {OnMessage(WM_PRINTCLIENT), &CHyperLink::OnPaint},
    {OnMessage(WM_ERASEBKGND), &CHyperLink::OnEraseBackground},
    {OnMessage(WM_SETCURSOR), &CHyperLink::OnSetCursor},
    {OnMessage(WM_LBUTTONDOWN), &CHyperLink::OnLButtonDown},
    {OnMessage(WM_LBUTTONUP), &CHyperLink::OnLButtonUp},
    {OnMessage(WM_CHAR), &CHyperLink::OnChar},
    {OnMessage(WM_GETDLGCODE), &CHyperLink::OnGetDlgCode},
    {OnMessage(WM_SETFOCUS), &CHyperLink::OnFocusChange},
    {OnMessage(WM_KILLFOCUS), &CHyperLink::OnFocusChange},
    {OnMessage(WM_SETFONT), &CHyperLink::OnSetFont},
    {OnMessage(WM_GETFONT), &CHyperLink::OnGetFont},
};

bool CHyperLink::ProcessWindowMessage(HWND, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  return DispatchMessageMap(*this, kMessageMap, message, wParam, lParam, result);
}

bool CHyperLink::SubclassWindow(HWND window) {
  if (!win::CWindowImpl<CHyperLink>::SubclassWindow(window)) return false;
  SetWindowLongPtrW(window, GWL_STYLE, GetWindowLongPtrW(window, GWL_STYLE) | SS_NOTIFY);
  ReadBrowserColours();
  MakeFonts();
  m_hCursor = LoadCursorW(nullptr, IDC_HAND);
  if (m_strLabel.empty()) {
    int length = GetWindowTextLengthW(window);
    std::vector<wchar_t> text(static_cast<size_t>(length > 0 ? length : 0) + 1);
    GetWindowTextW(window, text.data(), length + 1);
    m_strLabel = text.data();
  }
  InvalidateRect(window, nullptr, TRUE);
  return true;
}

void CHyperLink::SetHyperLinkExtendedStyle(DWORD style) {
  m_dwExtendedStyle = style;
  if (m_hWnd) {
    MakeFonts();  // the underline bits may have changed
    InvalidateRect(m_hWnd, nullptr, TRUE);
  }
}

void CHyperLink::SetLabel(const std::wstring& label) {
  m_strLabel = label;
  if (m_hWnd) {
    SetWindowTextW(m_hWnd, label.c_str());
    InvalidateRect(m_hWnd, nullptr, TRUE);
  }
}

bool CHyperLink::ParseColour(const std::wstring& text, COLORREF* colour) {
  int parts[3] = {};
  size_t at = 0;
  for (int i = 0; i < 3; ++i) {
    while (at < text.size() && text[at] == L' ') ++at;
    if (at >= text.size() || !std::iswdigit(text[at])) return false;
    int value = 0;
    while (at < text.size() && std::iswdigit(text[at])) {
      value = value * 10 + (text[at++] - L'0');
      if (value > 255) return false;
    }
    parts[i] = value;
    while (at < text.size() && text[at] == L' ') ++at;
    if (i < 2) {
      if (at >= text.size() || text[at] != L',') return false;
      ++at;
    }
  }
  if (at != text.size()) return false;
  *colour = RGB(parts[0], parts[1], parts[2]);
  return true;
}

void CHyperLink::ReadBrowserColours() {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Internet Explorer\\Settings", 0, KEY_READ, &key) !=
      ERROR_SUCCESS)
    return;
  win::UniqueHKey owned(key);
  auto read = [&](const wchar_t* name, COLORREF* colour) {
    wchar_t value[64] = {};
    DWORD size = sizeof(value) - sizeof(wchar_t);
    DWORD type = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size) == ERROR_SUCCESS &&
        type == REG_SZ)
      ParseColour(value, colour);  // a malformed value keeps the default colour
  };
  read(L"Anchor Color", &m_clrLink);
  read(L"Anchor Color Visited", &m_clrVisited);
}

void CHyperLink::MakeFonts() {
  if (!m_hFont) {
    LOGFONTW iconTitle{};
    if (SystemParametersInfoW(SPI_GETICONTITLELOGFONT, sizeof(iconTitle), &iconTitle, 0)) {
      m_ownedFont.reset(CreateFontIndirectW(&iconTitle));
      m_hFont = m_ownedFont.get();
    }
  }
  LOGFONTW description{};
  if (m_hFont && GetObjectW(m_hFont, sizeof(description), &description)) {
    description.lfUnderline = (m_dwExtendedStyle & (kLinkNotUnderlined | kLinkUnderlineHover)) == 0;
    m_linkFont.reset(CreateFontIndirectW(&description));
  }
}

RECT CHyperLink::LabelRect() {
  RECT rect{};
  GetClientRect(m_hWnd, &rect);
  win::WindowDc dc(m_hWnd);
  win::SelectScope font(dc.get(), m_linkFont ? static_cast<HGDIOBJ>(m_linkFont.get()) : GetStockObject(DEFAULT_GUI_FONT));
  DrawTextW(dc.get(), m_strLabel.c_str(), -1, &rect, DT_LEFT | DT_SINGLELINE | DT_NOPREFIX | DT_CALCRECT);
  return rect;
}

bool CHyperLink::IsOverLabel(LPARAM clientPoint) {
  POINT point{static_cast<short>(LOWORD(clientPoint)), static_cast<short>(HIWORD(clientPoint))};
  RECT label = LabelRect();
  return PtInRect(&label, point) != FALSE;
}

void CHyperLink::Paint(HDC dc) {
  RECT client{};
  GetClientRect(m_hWnd, &client);
  // The parent chooses the background (and the text background mode) as for any static.
  auto brush = reinterpret_cast<HBRUSH>(
      SendMessageW(GetParent(m_hWnd), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(m_hWnd)));
  if (brush) FillRect(dc, &client, brush);

  SetTextColor(dc, m_bVisited ? m_clrVisited : m_clrLink);
  win::SelectScope font(dc, m_linkFont ? static_cast<HGDIOBJ>(m_linkFont.get()) : GetStockObject(DEFAULT_GUI_FONT));
  RECT text = client;
  DrawTextW(dc, m_strLabel.c_str(), -1, &text, DT_LEFT | DT_SINGLELINE | DT_NOPREFIX);
  if (GetFocus() == m_hWnd && skin::KeyboardCuesShown(m_hWnd)) skin::DrawFocusMark(dc, LabelRect(), m_clrLink);
}

LRESULT CHyperLink::OnPaint(UINT, WPARAM wParam, LPARAM, BOOL&) {
  win::PaintGivenOrOwnDc(m_hWnd, wParam, [this](HDC dc) { Paint(dc); });
  return 0;
}

LRESULT CHyperLink::OnEraseBackground(UINT, WPARAM, LPARAM, BOOL&) { return 1; }

LRESULT CHyperLink::OnSetCursor(UINT, WPARAM, LPARAM, BOOL& handled) {
  POINT point{};
  GetCursorPos(&point);
  ScreenToClient(m_hWnd, &point);
  RECT label = LabelRect();
  if (m_hCursor && PtInRect(&label, point)) {
    SetCursor(m_hCursor);
    return TRUE;
  }
  handled = FALSE;
  return 0;
}

LRESULT CHyperLink::OnLButtonDown(UINT, WPARAM, LPARAM lParam, BOOL&) {
  if (IsOverLabel(lParam)) {
    SetFocus(m_hWnd);
    SetCapture(m_hWnd);
  }
  return 0;
}

LRESULT CHyperLink::OnLButtonUp(UINT, WPARAM, LPARAM lParam, BOOL&) {
  if (GetCapture() == m_hWnd) {
    ReleaseCapture();
    if (IsOverLabel(lParam)) Activate();
  }
  return 0;
}

LRESULT CHyperLink::OnChar(UINT, WPARAM wParam, LPARAM, BOOL& handled) {
  if (wParam == VK_RETURN || wParam == VK_SPACE) {
    Activate();
    return 0;
  }
  handled = FALSE;
  return 0;
}

// Enter must reach the link instead of becoming the dialog's default command.
LRESULT CHyperLink::OnGetDlgCode(UINT, WPARAM, LPARAM lParam, BOOL&) {
  LRESULT code = DLGC_WANTCHARS;
  const auto* message = reinterpret_cast<const MSG*>(lParam);
  if (message && (message->message == WM_KEYDOWN || message->message == WM_CHAR) && message->wParam == VK_RETURN)
    code |= DLGC_WANTMESSAGE;
  return code;
}

// The label has no background of its own: the parent repaints under it, or a focus mark drawn
// before would stay on screen.
LRESULT CHyperLink::OnFocusChange(UINT, WPARAM, LPARAM, BOOL&) {
  skin::RepaintUnder(m_hWnd);
  return 0;
}

LRESULT CHyperLink::OnSetFont(UINT, WPARAM wParam, LPARAM lParam, BOOL&) {
  m_ownedFont.reset();
  m_hFont = reinterpret_cast<HFONT>(wParam);
  MakeFonts();
  if (LOWORD(lParam)) InvalidateRect(m_hWnd, nullptr, TRUE);
  return 0;
}

LRESULT CHyperLink::OnGetFont(UINT, WPARAM, LPARAM, BOOL&) { return reinterpret_cast<LRESULT>(m_hFont); }

void CHyperLink::Activate() {
  HWND parent = GetParent(m_hWnd);
  const int id = GetDlgCtrlID(m_hWnd);
  if ((m_dwExtendedStyle & kLinkNotifyParent) == kLinkNotifyParent) {
    NMHDR header{};
    header.hwndFrom = m_hWnd;
    header.idFrom = static_cast<UINT_PTR>(id);
    header.code = static_cast<UINT>(NM_CLICK);
    SendMessageW(parent, WM_NOTIFY, static_cast<WPARAM>(id), reinterpret_cast<LPARAM>(&header));
  } else if (m_dwExtendedStyle & kLinkCommandButton) {
    SendMessageW(parent, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(m_hWnd));
  } else if (!m_strHyperLink.empty()) {
    platform::Shell().Open(m_strHyperLink);  // nothing to tell the user when no browser opens
    m_bVisited = true;
    InvalidateRect(m_hWnd, nullptr, TRUE);
  }
}
