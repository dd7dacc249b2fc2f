// Skin images: the PNG loader, an owning image slot, and the snapshot of what a window has painted
// behind a control.
//
// Images are GDI+ objects; GDI+ must have been started by the process before anything here runs.
// Everything here runs on the window thread. Whoever receives an image or a brush from these
// functions owns it, unless the function says it stays with the slot or snapshot.
#pragma once

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <memory>

#include "platform/win/handles.h"

// The resource type of every skin image.
inline constexpr const wchar_t* kSkinImageType = L"PNG";

// Loads an image. `name` is a numeric resource id (MAKEINTRESOURCEW, below 0x10000) found under
// `type` in the executable's module, or else the path of an image file. Returns none when the
// resource is missing, memory runs out, or GDI+ cannot decode the data or read the file.
[[nodiscard]] std::unique_ptr<Gdiplus::Image> LoadSkinImage(LPCWSTR name, LPCWSTR type) noexcept;

// Loads skin image `id` for a screen of `dpi`: the set drawn for that scale where there is one
// (100 %, 150 %, 200 %: ids offset by IDB_SCALE_150 and IDB_SCALE_200), otherwise the nearest
// larger set reduced with high-quality filtering (the 200 % set enlarged above 200 %), so the
// image is its 96-dpi size times dpi / 96. A missing scaled set falls back to the 100 % one.
[[nodiscard]] std::unique_ptr<Gdiplus::Image> LoadSkinImageForDpi(int id, int dpi) noexcept;

// One owned image, empty at start.
class SkinImageSlot {
 public:
  SkinImageSlot() noexcept = default;
  SkinImageSlot(const SkinImageSlot&) = delete;
  SkinImageSlot& operator=(const SkinImageSlot&) = delete;

  // Deletes the image held, then loads `name` (see LoadSkinImage). Returns the image now held,
  // which stays owned by the slot; on failure the slot is left empty and the result is null.
  Gdiplus::Image* Load(LPCWSTR name, LPCWSTR type) noexcept;
  // The same for a skin image at a display scale (see LoadSkinImageForDpi).
  Gdiplus::Image* LoadForDpi(int id, int dpi) noexcept;
  void Reset() noexcept { m_image.reset(); }

  [[nodiscard]] Gdiplus::Image* Get() const noexcept { return m_image.get(); }
  [[nodiscard]] bool IsEmpty() const noexcept { return !m_image; }

 private:
  std::unique_ptr<Gdiplus::Image> m_image;
};

// The picture of what a source window paints under a target window, held as a GDI+ bitmap, a GDI+
// texture brush tiling it and a GDI pattern brush of it (for a child's colour message). All three
// are empty at start and after Reset; the snapshot owns them.
//
// The snapshot is not refreshed by itself: its owner resets it when the target's size or position
// changes and captures again when it next needs it.
class BackgroundSnapshot {
 public:
  BackgroundSnapshot() noexcept = default;
  BackgroundSnapshot(const BackgroundSnapshot&) = delete;
  BackgroundSnapshot& operator=(const BackgroundSnapshot&) = delete;
  ~BackgroundSnapshot() { Reset(); }

  // Asks `source` to paint itself (WM_PAINT with a memory DC in wParam, so its paint handler must
  // draw into a DC given that way) and keeps the part of it under `target`'s window rectangle.
  // `source` is the target's parent, or the target itself for a field laid over it. With either
  // window missing nothing changes and the result is null. Returns the texture brush, owned by
  // the snapshot.
  Gdiplus::TextureBrush* Capture(HWND target, HWND source) noexcept;
  void Reset() noexcept;

  [[nodiscard]] Gdiplus::TextureBrush* GetTextureBrush() const noexcept { return m_textureBrush.get(); }
  [[nodiscard]] Gdiplus::Bitmap* GetBitmap() const noexcept { return m_bitmap.get(); }
  [[nodiscard]] HBRUSH GetPatternBrush() const noexcept { return m_patternBrush.get(); }

 private:
  std::unique_ptr<Gdiplus::TextureBrush> m_textureBrush;
  std::unique_ptr<Gdiplus::Bitmap> m_bitmap;
  win::UniqueBrush m_patternBrush;
};
