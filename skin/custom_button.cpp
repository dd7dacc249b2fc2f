#include "skin/custom_button.h"

#include <commctrl.h>

#include <vector>

#include "skin/dpi.h"
#include "skin/repaint.h"

namespace {

// The reflected form of WM_NOTIFY, in which the parent hands the button its custom-draw requests.
constexpr UINT kReflectedNotify = kReflectedMessageBase + WM_NOTIFY;

// Captions longer than this are cut.
constexpr int kMaxCaption = 1023;

}  // namespace

const MessageMapEntry<CCustomButton> CCustomButton::kMessageMap[] = {
    {OnMessage(WM_SIZE), &CCustomButton::OnSize},
    {OnMessage(WM_SETFONT), &CCustomButton::OnSetFont},
    {OnMessage(kReflectedNotify), &CCustomButton::OnCustomDraw},
};

CCustomButton::CCustomButton() : m_pFont(new Gdiplus::Font(L"Arial", 12, Gdiplus::FontStyleRegular, Gdiplus::UnitPoint)) {}

CCustomButton::~CCustomButton() { DestroyIfAlive(); }

bool CCustomButton::ProcessWindowMessage(HWND, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  return DispatchMessageMap(*this, kMessageMap, message, wParam, lParam, result);
}

void CCustomButton::UpdateStateImages() {
  RECT client{};
  GetClientRect(m_hWnd, &client);
  const int width = client.right - client.left;
  const int height = client.bottom - client.top;
  if (width <= 0 || height <= 0) return;
  if (m_strip.IsEmpty() || m_nFrameCount < 1) return;

  std::lock_guard<std::recursive_mutex> lock(m_lock);
  for (auto& image : m_pImages) image.reset(new Gdiplus::Bitmap(width, height, PixelFormat32bppARGB));
  struct StateLook {
    State state;
    int frame;
    COLORREF colour;
  };
  const StateLook looks[] = {
      {kNormal, m_nFrameNormal, m_crTextNormal},
      {kHover, m_nFrameHover, m_crTextHover},
      {kPressed, m_nFramePressed, m_crTextPressed},
      {kDisabled, m_nFrameDisabled, m_crTextDisabled},
  };
  for (const StateLook& look : looks) RenderState(*m_pImages[look.state], look.frame, look.colour, client);
}

void CCustomButton::RenderState(Gdiplus::Bitmap& target, int frame, COLORREF textColour, const RECT& client) {
  if (frame < 0) return;  // a negative frame leaves the state blank
  Gdiplus::Graphics graphics(&target);

  if (!m_background.GetTextureBrush()) m_background.Capture(m_hWnd, m_hWndParent);
  if (Gdiplus::TextureBrush* background = m_background.GetTextureBrush())
    graphics.FillRectangle(background, 0, 0, client.right - client.left, client.bottom - client.top);

  Gdiplus::Image* strip = m_strip.Get();
  const Gdiplus::REAL frameWidth = static_cast<Gdiplus::REAL>(strip->GetWidth()) / m_nFrameCount;
  const Gdiplus::REAL frameHeight = static_cast<Gdiplus::REAL>(strip->GetHeight());
  graphics.DrawImage(strip, Gdiplus::RectF(0, 0, frameWidth, frameHeight), frameWidth * frame, 0, frameWidth,
                     frameHeight, Gdiplus::UnitPixel);

  std::vector<wchar_t> caption(kMaxCaption + 1);
  const int length = m_bDrawCaption ? GetWindowTextW(m_hWnd, caption.data(), kMaxCaption + 1) : 0;
  if (length <= 0) {
    InvalidateRect(m_hWnd, nullptr, TRUE);
    return;
  }
  Gdiplus::SolidBrush brush(Gdiplus::Color(255, GetRValue(textColour), GetGValue(textColour), GetBValue(textColour)));
  Gdiplus::StringFormat format;
  format.SetAlignment(Gdiplus::StringAlignmentCenter);
  format.SetLineAlignment(Gdiplus::StringAlignmentCenter);
  graphics.SetTextRenderingHint(Gdiplus::TextRenderingHintAntiAlias);
  graphics.DrawString(caption.data(), length, m_pFont.get(), Gdiplus::RectF(0, -5, frameWidth, frameHeight + 10),
                      &format, &brush);
  InvalidateRect(m_hWnd, nullptr, TRUE);
}

LRESULT CCustomButton::OnSize(UINT, WPARAM, LPARAM lParam, BOOL&) {
  const UINT width = LOWORD(lParam);
  const UINT height = HIWORD(lParam);
  if (width == m_nLastWidth && height == m_nLastHeight) return 0;
  std::lock_guard<std::recursive_mutex> lock(m_lock);
  m_nLastWidth = width;
  m_nLastHeight = height;
  m_background.Reset();  // the next rebuild captures the parent again
  return 0;
}

// The caption font follows the button's font. The wide LOGFONT is used so the face name survives
// whatever the ANSI code page is.
LRESULT CCustomButton::OnSetFont(UINT, WPARAM wParam, LPARAM, BOOL& handled) {
  m_pFont.reset();
  {
    win::WindowDc dc(m_hWnd);
    LOGFONTW description{};
    if (wParam && GetObjectW(reinterpret_cast<HFONT>(wParam), sizeof(description), &description))
      m_pFont.reset(new Gdiplus::Font(dc.get(), &description));
    else
      m_pFont.reset(new Gdiplus::Font(dc.get()));
  }
  UpdateStateImages();
  handled = FALSE;  // the standard button keeps its font as well
  return 0;
}

LRESULT CCustomButton::OnCustomDraw(UINT, WPARAM, LPARAM lParam, BOOL& handled) {
  auto* header = reinterpret_cast<NMHDR*>(lParam);
  if (!header || header->code != static_cast<UINT>(NM_CUSTOMDRAW)) {
    handled = FALSE;
    return 0;
  }
  auto* draw = reinterpret_cast<NMCUSTOMDRAW*>(lParam);
  switch (draw->dwDrawStage) {
    case CDDS_PREPAINT:
      return CDRF_DOERASE;
    case CDDS_PREERASE: {
      std::lock_guard<std::recursive_mutex> lock(m_lock);
      for (const auto& image : m_pImages) {
        if (!image) return CDRF_DODEFAULT;  // nothing built yet: the standard button draws itself
      }
      Draw(draw->hdc, draw->uItemState);
      return CDRF_SKIPDEFAULT;
    }
    default:
      return CDRF_DODEFAULT;
  }
}

void CCustomButton::Draw(HDC dc, UINT itemState) {
  State state = kNormal;
  if (itemState & CDIS_SELECTED)
    state = kPressed;
  else if (itemState & CDIS_HOT)
    state = kHover;
  else if (itemState & CDIS_DISABLED)
    state = kDisabled;
  Gdiplus::Bitmap* image = m_pImages[state].get();
  {
    Gdiplus::Graphics graphics(dc);
    graphics.DrawImage(image, 0, 0, static_cast<INT>(image->GetWidth()), static_cast<INT>(image->GetHeight()));
  }
  if ((itemState & CDIS_FOCUS) && skin::KeyboardCuesShown(m_hWnd)) {
    RECT mark{};
    GetClientRect(m_hWnd, &mark);
    const int inset = skin::Scale(3, skin::WindowDpi(m_hWnd));
    InflateRect(&mark, -inset, -inset);
    skin::DrawFocusMark(dc, mark, m_crFocusMark);
  }
}
