#include "ui/message_loop.h"

#include <algorithm>

CAppModule g_module;

namespace {

template <typename T>
void Remove(std::vector<T*>& list, T* item) {
  list.erase(std::remove(list.begin(), list.end(), item), list.end());
}

}  // namespace

void CMessageLoop::AddMessageFilter(CMessageFilter* filter) { filters_.push_back(filter); }
void CMessageLoop::RemoveMessageFilter(CMessageFilter* filter) { Remove(filters_, filter); }
void CMessageLoop::AddIdleHandler(CIdleHandler* handler) { idleHandlers_.push_back(handler); }
void CMessageLoop::RemoveIdleHandler(CIdleHandler* handler) { Remove(idleHandlers_, handler); }

bool CMessageLoop::IsIdleMessage(const MSG& message) {
  switch (message.message) {
    case WM_MOUSEMOVE:
    case WM_NCMOUSEMOVE:
    case WM_PAINT:
    case 0x0118:  // WM_SYSTIMER: the caret blink
      return false;
    default:
      return true;
  }
}

bool CMessageLoop::PreTranslateMessage(MSG* message) {
  // A filter may unregister itself (or another) while it runs: walk a copy.
  const std::vector<CMessageFilter*> filters = filters_;
  for (auto it = filters.rbegin(); it != filters.rend(); ++it)
    if ((*it)->FilterMessage(message)) return true;
  return false;
}

void CMessageLoop::OnIdle() {
  const std::vector<CIdleHandler*> handlers = idleHandlers_;
  for (CIdleHandler* handler : handlers) handler->HandleIdle();
}

int CMessageLoop::Run() {
  bool idle = true;
  for (;;) {
    while (idle && !PeekMessageW(&current_, nullptr, 0, 0, PM_NOREMOVE)) {
      OnIdle();
      idle = false;
    }
    BOOL got = GetMessageW(&current_, nullptr, 0, 0);
    if (got == -1) continue;  // an invalid window handle was passed: nothing to dispatch
    if (!got) break;
    if (!PreTranslateMessage(&current_)) {
      TranslateMessage(&current_);
      DispatchMessageW(&current_);
    }
    if (IsIdleMessage(current_)) idle = true;
  }
  return static_cast<int>(current_.wParam);
}

void CAppModule::Init(HINSTANCE instance) {
  instance_ = instance;
  mainThreadId_ = GetCurrentThreadId();
  std::lock_guard<std::mutex> guard(lock_);
  loops_.clear();
}

void CAppModule::Term() {
  std::lock_guard<std::mutex> guard(lock_);
  loops_.clear();
}

bool CAppModule::AddMessageLoop(CMessageLoop* loop) {
  std::lock_guard<std::mutex> guard(lock_);
  return loops_.emplace(GetCurrentThreadId(), loop).second;
}

bool CAppModule::RemoveMessageLoop() {
  std::lock_guard<std::mutex> guard(lock_);
  return loops_.erase(GetCurrentThreadId()) == 1;
}

CMessageLoop* CAppModule::GetMessageLoop() {
  std::lock_guard<std::mutex> guard(lock_);
  auto it = loops_.find(GetCurrentThreadId());
  return it == loops_.end() ? nullptr : it->second;
}
