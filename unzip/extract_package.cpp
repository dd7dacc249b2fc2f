#include "unzip/extract_package.h"

#include "platform/fs.h"
#include "unzip/zip_reader.h"

using namespace unzip;

namespace {

// Boxes have the window as owner, the system's default caption and a lone OK button.
void ShowBox(platform::WindowHandle window, const std::wstring& text) {
  (void)platform::Shell().ShowMessageBox(window, text, std::wstring(), platform::kMbOk);
}

// Posting is fire-and-forget: a window that is gone has nobody left to tell.
void PostToWindow(platform::WindowHandle window, unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
  (void)platform::Shell().Post(window, message, wParam, lParam);
}

// Results that mean the package's own bytes are bad, so a fresh download may cure them; failures
// to write the output keep the package.
bool PackageIsBad(ZipResult result) {
  return result == ZIP_CORRUPT || result == ZIP_READ_ERROR || result == ZIP_INFLATE_ERROR;
}

void DeletePackage(const std::wstring& packagePath) {
  // Ignored on failure: the next run then finds the same package and fails the same way.
  (void)platform::RemoveFile(packagePath);
}

// An extracted empty file comes back as ZIP_INFLATE_ERROR with nothing to read.
bool Extracted(ZipResult result, const ZipItemInfo& item) {
  return result == ZIP_OK || (result == ZIP_INFLATE_ERROR && item.uncompressedSize == 0);
}

}  // namespace

bool ExtractPackage(const std::wstring& packagePath, const std::wstring& installDir, platform::WindowHandle window) {
  ZipReaderHandle* zip = ZipOpenFile(packagePath, nullptr);
  if (zip == nullptr) {
    DeletePackage(packagePath);
    ShowBox(window, L"打开压缩包解压路径出错!");
    PostToWindow(window, WM_EXTRACT_FAILED, kStageOpen, 0);
    return true;
  }

  bool failed = false;
  // Reports one failure: closes (and for a bad package deletes) first, then the box, then the post.
  auto fail = [&](ExtractStage stage, const std::wstring& text, bool deletePackage) {
    if (deletePackage) {
      (void)ZipClose(zip);
      zip = nullptr;
      DeletePackage(packagePath);
    }
    ShowBox(window, text);
    PostToWindow(window, WM_EXTRACT_FAILED, stage, 0);
    failed = true;
  };
  auto incomplete = [](ZipResult result) { return L"未解压完全!" + std::to_wstring(static_cast<int>(result)); };

  ZipItemInfo item;
  if (ZipSetBaseDir(zip, installDir) != ZIP_OK) {
    fail(kStageBaseDir, L"设置解压路径出错!", false);
  } else if (ZipGetItem(zip, -1, &item) != ZIP_OK) {
    fail(kStageCount, L"获取压缩包对象出错!", false);
  } else {
    const std::int32_t count = item.index;
    for (std::int32_t i = 0; i < count; ++i) {
      PostToWindow(window, WM_EXTRACT_PROGRESS, static_cast<std::uintptr_t>(i), count);
      ZipResult result = ZipGetItem(zip, i, &item);
      if (result != ZIP_OK) {
        fail(kStageItemInfo, incomplete(result), PackageIsBad(result));
        break;
      }
      result = ZipExtractItem(zip, i, item.name);
      if (!Extracted(result, item)) {
        fail(kStageExtract, incomplete(result), PackageIsBad(result));
        break;
      }
    }
  }

  if (zip != nullptr) (void)ZipClose(zip);
  if (!failed) PostToWindow(window, WM_EXTRACT_FINISHED, 0, 0);
  return true;
}
