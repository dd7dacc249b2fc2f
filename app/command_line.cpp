#include "app/command_line.h"

#include <windows.h>
#include <shellapi.h>

#include <cwctype>
#include <vector>

#include "platform/text.h"
#include "platform/win/handles.h"

namespace {

bool StartsWithSwitch(const std::wstring& text, std::size_t at, const wchar_t* name) {
  const std::wstring expected = name;
  return platform::EqualsIgnoringCase(text.substr(at, expected.size()), expected);
}

// Where "/D=" starts a word (at the start or after a blank, possibly behind a double quote).
std::size_t FindDirectorySwitch(const std::wstring& arguments) {
  for (std::size_t at = 0; at < arguments.size(); ++at) {
    if (at > 0 && !std::iswspace(arguments[at - 1])) continue;
    std::size_t name = at;
    if (arguments[name] == L'"') ++name;
    if (StartsWithSwitch(arguments, name, L"/D=")) return at;
  }
  return std::wstring::npos;
}

std::wstring Trimmed(const std::wstring& text) {
  std::size_t first = 0, last = text.size();
  while (first < last && std::iswspace(text[first])) ++first;
  while (last > first && std::iswspace(text[last - 1])) --last;
  return text.substr(first, last - first);
}

// Splits with the system's own rules for quotes and backslashes.
std::vector<std::wstring> SplitArguments(const std::wstring& text) {
  std::vector<std::wstring> words;
  if (Trimmed(text).empty()) return words;
  // The first word of a command line follows the program-name rules: a placeholder takes its place.
  const std::wstring line = L"x " + text;
  int count = 0;
  win::UniqueLocal<wchar_t**> argv(CommandLineToArgvW(line.c_str(), &count));
  for (int i = 1; argv && i < count; ++i) words.emplace_back(argv.get()[i]);
  return words;
}

}  // namespace

std::wstring ArgumentsOf(const std::wstring& commandLine) {
  std::size_t at = 0;
  if (!commandLine.empty() && commandLine[0] == L'"') {
    at = commandLine.find(L'"', 1);
    at = at == std::wstring::npos ? commandLine.size() : at + 1;
  } else {
    while (at < commandLine.size() && !std::iswspace(commandLine[at])) ++at;
  }
  return Trimmed(commandLine.substr(at));
}

CommandLine ParseCommandLine(const std::wstring& arguments) {
  CommandLine parsed;
  std::wstring rest = arguments;
  const std::size_t directoryAt = FindDirectorySwitch(arguments);
  if (directoryAt != std::wstring::npos) {
    std::wstring value = Trimmed(arguments.substr(directoryAt));
    const bool quoted = value[0] == L'"';
    value = value.substr(quoted ? 4 : 3);
    if (quoted) {
      if (value.empty() || value.back() != L'"') {
        parsed.error = Trimmed(arguments.substr(directoryAt));
        return parsed;
      }
      value.pop_back();
    }
    parsed.directory = Trimmed(value);
    if (parsed.directory.empty()) parsed.error = L"/D=";
    rest = arguments.substr(0, directoryAt);
  }

  // Every switch is read even after one that is not understood, so that /LOG= still names the
  // file the complaint goes to.
  for (const std::wstring& word : SplitArguments(rest)) {
    if (platform::EqualsIgnoringCase(word, L"/S")) {
      parsed.silent = true;
    } else if (word == L"/?") {
      parsed.usage = true;
    } else if (platform::EqualsIgnoringCase(word, L"/NODESKTOP")) {
      parsed.desktopShortcut = false;
    } else if (platform::EqualsIgnoringCase(word, L"/NOSTARTMENU")) {
      parsed.startMenuShortcut = false;
    } else if (platform::EqualsIgnoringCase(word, L"/NOAUTORUN")) {
      parsed.startAtLogon = false;
    } else if (StartsWithSwitch(word, 0, L"/LOG=") && word.size() > 5) {
      parsed.logPath = word.substr(5);
    } else if (std::uint64_t seconds = 0; StartsWithSwitch(word, 0, L"/RETRY=") &&
                                          platform::ParseDecimal(word.substr(7), 86400, seconds)) {
      parsed.retrySeconds = static_cast<int>(seconds);
    } else if (parsed.error.empty()) {
      parsed.error = word;
    }
  }
  return parsed;
}

std::wstring UsageText() {
  return L"Install.exe [/S] [/NODESKTOP] [/NOSTARTMENU] [/NOAUTORUN] [/LOG=文件] [/RETRY=秒] [/D=目录]\n\n"
         L"/S\t静默安装：不显示窗口和提示，退出码表示结果\n"
         L"/D=目录\t安装目录（须放在最后，可含空格，无需引号）\n"
         L"/NODESKTOP\t不建立桌面快捷方式\n"
         L"/NOSTARTMENU\t不建立开始菜单快捷方式\n"
         L"/NOAUTORUN\t不开机启动\n"
         L"/LOG=文件\t日志写入该文件（默认 %TEMP%\\TavoInstall.log）\n"
         L"/RETRY=秒\t网络中断时持续重试的时间（默认 120 秒）\n"
         L"/?\t显示本说明";
}
