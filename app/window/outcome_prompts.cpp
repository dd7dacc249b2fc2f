#include "app/window/outcome_prompts.h"

#include "app/prompt.h"
#include "platform/shell.h"
#include "system/suite.h"

namespace {

const wchar_t kNotice[] = L"提示";
const wchar_t kDirectoryMessage[] = L"未知的位置,请确定目录是否存在或手动创建目录";
const wchar_t kNetworkFailedMessage[] =
    L"网络异常,安装失败.您可以直接下载完整的安装包进行安装，点击确定开始下载完整安装包!";
const wchar_t kExtractFailedMessage[] = L"解压文件失败,请使用管理员身份运行程序";

// The text the user reads for the stage where extraction stopped.
std::wstring ExtractStageText(unzip::ExtractStage stage, std::int32_t result) {
  switch (stage) {
    case unzip::kStageOpen: return L"打开压缩包解压路径出错!";
    case unzip::kStageBaseDir: return L"设置解压路径出错!";
    case unzip::kStageCount: return L"获取压缩包对象出错!";
    case unzip::kStageItemInfo:
    case unzip::kStageExtract:
    case unzip::kStageCancelled: break;
  }
  return L"未解压完全!" + std::to_wstring(result);
}

std::wstring Megabytes(std::uint64_t bytes) { return std::to_wstring((bytes + (1 << 20) - 1) >> 20) + L" MB"; }

}  // namespace

void ReportUnusableDirectory() { ShowPrompt(nullptr, kDirectoryMessage, kNotice, MB_OK); }

bool OfferOfflineInstaller(HWND owner) {
  if (ShowPrompt(owner, kNetworkFailedMessage, kNotice, MB_OKCANCEL) != IDOK) return false;
  platform::Shell().Open(suite::kOfflineInstallerUrl);  // without a browser there is nothing more to do
  return true;
}

void ReportExtractFailure(HWND owner, unzip::ExtractStage stage, std::int32_t result) {
  ShowPrompt(owner, ExtractStageText(stage, result), std::wstring(), MB_OK);  // with the system's caption
  ShowPrompt(owner, kExtractFailedMessage, kNotice, MB_OK);
}

void ReportInstallStopped(HWND owner, const InstallResult& result) {
  ShowPrompt(owner, result.outcome == InstallOutcome::kDiskFull ? DiskFullText(result) : kDirectoryMessage, kNotice,
             MB_OK | MB_ICONWARNING);
}

std::wstring DiskFullText(const InstallResult& result) {
  return L"磁盘空间不足：" + result.drive + L" 需要 " + Megabytes(result.bytesNeeded) + L" 可用空间，当前只有 " +
         Megabytes(result.bytesFree) + L"。请释放空间后重新安装。";
}
