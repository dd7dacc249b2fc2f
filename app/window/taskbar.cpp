#include "app/window/taskbar.h"

#include <shobjidl.h>

#include <atomic>

#include "platform/win/handles.h"

namespace {

// The shell's taskbar list, made on first use on the window's thread. Where there is none (no
// shell, Windows before 7) every call does nothing: the window shows the progress anyway.
class SystemTaskbar final : public ITaskbarProgress {
 public:
  void SetState(HWND window, State state) override {
    static constexpr TBPFLAG kFlags[] = {TBPF_NOPROGRESS, TBPF_NORMAL, TBPF_ERROR};
    if (ITaskbarList3* list = List()) list->SetProgressState(window, kFlags[static_cast<int>(state)]);
  }
  void SetValue(HWND window, std::uint64_t done, std::uint64_t total) override {
    if (ITaskbarList3* list = List()) list->SetProgressValue(window, done, total);
  }

 private:
  ITaskbarList3* List() {
    if (!tried_) {
      tried_ = true;
      if (SUCCEEDED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3,
                                     list_.put_void())) &&
          FAILED(list_->HrInit()))
        list_.reset();
    }
    return list_.get();
  }

  win::ComScope com_;  // the window's thread is an apartment of its own for the list's life
  win::ComPtr<ITaskbarList3> list_;
  bool tried_ = false;
};

std::atomic<ITaskbarProgress*> g_taskbar{nullptr};

}  // namespace

ITaskbarProgress& Taskbar() {
  if (ITaskbarProgress* taskbar = g_taskbar.load()) return *taskbar;
  static SystemTaskbar system;
  return system;
}

void SetTaskbar(ITaskbarProgress* taskbar) { g_taskbar.store(taskbar); }
