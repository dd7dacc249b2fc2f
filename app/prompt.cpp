#include "app/prompt.h"

#include <atomic>

namespace {
std::atomic<IPrompt*> g_prompt{nullptr};
}  // namespace

int ShowPrompt(HWND owner, const std::wstring& text, const std::wstring& caption, UINT type) {
  if (IPrompt* prompt = g_prompt.load()) return prompt->Show(owner, text, caption, type);
  return MessageBoxW(owner, text.c_str(), caption.empty() ? nullptr : caption.c_str(), type);
}

void SetPrompt(IPrompt* prompt) { g_prompt.store(prompt); }
