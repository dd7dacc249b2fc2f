#include "skin/skin_image.h"

#include <cstring>

#include "res/resource.h"

namespace {

using Gdiplus::Image;

// GDI+ objects come from GDI+'s own allocator (GdiplusBase::operator new), which returns null
// rather than throwing when memory runs out.

// GDI+ reports a file or stream it cannot decode through the status of the object it returns.
std::unique_ptr<Image> Checked(Image* image) {
  std::unique_ptr<Image> owned(image);
  if (owned && owned->GetLastStatus() != Gdiplus::Ok) owned.reset();
  return owned;
}

std::unique_ptr<Image> LoadFromResource(LPCWSTR name, LPCWSTR type) {
  HMODULE module = GetModuleHandleW(nullptr);
  HRSRC info = FindResourceW(module, name, type);
  if (!info) return nullptr;
  HGLOBAL resource = LoadResource(module, info);
  if (!resource) return nullptr;
  const void* bytes = LockResource(resource);
  DWORD size = SizeofResource(module, info);
  if (!bytes || size == 0) return nullptr;
  // Resources need no release on Win32: they live as long as the module is mapped.

  // The stream takes the block and frees it when its last reference goes; GDI+ keeps one
  // reference for the image's life.
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
  if (!block) return nullptr;
  void* copy = GlobalLock(block);
  if (!copy) {
    GlobalFree(block);
    return nullptr;
  }
  std::memcpy(copy, bytes, size);
  GlobalUnlock(block);

  win::ComPtr<IStream> stream;
  if (FAILED(CreateStreamOnHGlobal(block, TRUE, stream.put()))) {
    GlobalFree(block);
    return nullptr;
  }
  return Checked(new Image(stream.get()));
}

}  // namespace

std::unique_ptr<Gdiplus::Image> LoadSkinImage(LPCWSTR name, LPCWSTR type) noexcept {
  if (!name) return nullptr;
  if (!IS_INTRESOURCE(name)) return Checked(new Image(name));
  return LoadFromResource(name, type);
}

std::unique_ptr<Gdiplus::Image> LoadSkinImageForDpi(int id, int dpi) noexcept {
  struct DrawnSet {
    int dpi;
    int idOffset;
  };
  static constexpr DrawnSet kSets[] = {{96, 0}, {144, IDB_SCALE_150}, {192, IDB_SCALE_200}};
  const DrawnSet* set = &kSets[2];
  for (const DrawnSet& candidate : kSets) {
    if (dpi <= candidate.dpi) {
      set = &candidate;
      break;
    }
  }
  std::unique_ptr<Image> drawn = LoadFromResource(MAKEINTRESOURCEW(id + set->idOffset), kSkinImageType);
  if (!drawn && set->idOffset != 0) {
    set = &kSets[0];
    drawn = LoadFromResource(MAKEINTRESOURCEW(id), kSkinImageType);
  }
  if (!drawn || dpi == set->dpi) return drawn;

  const int width = MulDiv(static_cast<int>(drawn->GetWidth()), dpi, set->dpi);
  const int height = MulDiv(static_cast<int>(drawn->GetHeight()), dpi, set->dpi);
  if (width <= 0 || height <= 0) return drawn;
  auto scaled = std::unique_ptr<Image>(new Gdiplus::Bitmap(width, height, PixelFormat32bppARGB));
  if (!scaled || scaled->GetLastStatus() != Gdiplus::Ok) return drawn;
  Gdiplus::Graphics canvas(scaled.get());
  canvas.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBicubic);
  canvas.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHighQuality);
  canvas.SetCompositingMode(Gdiplus::CompositingModeSourceCopy);
  // Edge pixels are mirrored rather than blended with nothing, so the reduced image has no faded rim.
  Gdiplus::ImageAttributes edges;
  edges.SetWrapMode(Gdiplus::WrapModeTileFlipXY);
  canvas.DrawImage(drawn.get(), Gdiplus::Rect(0, 0, width, height), 0, 0, static_cast<INT>(drawn->GetWidth()),
                   static_cast<INT>(drawn->GetHeight()), Gdiplus::UnitPixel, &edges);
  return scaled;
}

Gdiplus::Image* SkinImageSlot::LoadForDpi(int id, int dpi) noexcept {
  m_image.reset();
  m_image = LoadSkinImageForDpi(id, dpi);
  return m_image.get();
}

Gdiplus::Image* SkinImageSlot::Load(LPCWSTR name, LPCWSTR type) noexcept {
  m_image.reset();
  m_image = LoadSkinImage(name, type);
  return m_image.get();
}

void BackgroundSnapshot::Reset() noexcept {
  m_patternBrush.reset();
  m_textureBrush.reset();
  m_bitmap.reset();
}

Gdiplus::TextureBrush* BackgroundSnapshot::Capture(HWND target, HWND source) noexcept {
  if (!target || !source || !IsWindow(target) || !IsWindow(source)) return nullptr;
  Reset();

  RECT sourceRect{}, targetRect{};
  GetWindowRect(source, &sourceRect);
  GetWindowRect(target, &targetRect);
  const int sourceWidth = sourceRect.right - sourceRect.left;
  const int sourceHeight = sourceRect.bottom - sourceRect.top;
  const int targetWidth = targetRect.right - targetRect.left;
  const int targetHeight = targetRect.bottom - targetRect.top;

  win::WindowDc sourceDc(source);
  if (!sourceDc.get()) return nullptr;
  win::UniqueDc paintDc(CreateCompatibleDC(sourceDc.get()));
  win::UniqueBitmap painted(CreateCompatibleBitmap(sourceDc.get(), sourceWidth, sourceHeight));
  if (!paintDc || !painted) return nullptr;
  win::UniqueBitmap copied;
  {
    win::SelectScope paintSelection(paintDc.get(), painted.get());
    // 14: non-client area, client area and background, as a print request would ask.
    SendMessageW(source, WM_PAINT, reinterpret_cast<WPARAM>(paintDc.get()), 14);

    win::UniqueDc copyDc(CreateCompatibleDC(paintDc.get()));
    copied.reset(CreateCompatibleBitmap(paintDc.get(), targetWidth, targetHeight));
    if (!copyDc || !copied) return nullptr;
    POINT topLeft{targetRect.left, targetRect.top};
    POINT bottomRight{targetRect.right, targetRect.bottom};
    ScreenToClient(source, &topLeft);
    ScreenToClient(source, &bottomRight);
    win::SelectScope copySelection(copyDc.get(), copied.get());
    BitBlt(copyDc.get(), 0, 0, targetWidth, targetHeight, paintDc.get(), topLeft.x, topLeft.y, SRCCOPY);
  }
  // The copy is out of every DC here, as GDI+ and the pattern brush want it.
  m_patternBrush.reset(CreatePatternBrush(copied.get()));
  m_bitmap.reset(Gdiplus::Bitmap::FromHBITMAP(copied.get(), nullptr));
  if (m_bitmap && m_bitmap->GetLastStatus() == Gdiplus::Ok) {
    m_textureBrush.reset(new Gdiplus::TextureBrush(m_bitmap.get(), Gdiplus::WrapModeTile));
  }
  return m_textureBrush.get();
}
