// The application module and the one message loop of the installer.
//
// CAppModule holds the instance, the main thread id and a map from thread id to that thread's
// loop (only the main thread has one). CMessageLoop runs GetMessageW until WM_QUIT and returns its
// code. Before dispatch a message is offered to the filters, last registered first; when the
// queue has run empty the idle handlers run once, and run again only after a message that is not
// a mouse move, a non-client mouse move, a paint request or the system timer (0x0118).
// The loop does not own its filters and handlers; they add and remove themselves.
#pragma once

#include <windows.h>

#include <map>
#include <mutex>
#include <vector>

class CMessageFilter {
 public:
  // True when the message was consumed and must not be dispatched.
  virtual bool FilterMessage(MSG* message) = 0;

 protected:
  ~CMessageFilter() = default;
};

class CIdleHandler {
 public:
  // Called when the queue has run empty; the result is not used.
  virtual bool HandleIdle() = 0;

 protected:
  ~CIdleHandler() = default;
};

class CMessageLoop {
 public:
  void AddMessageFilter(CMessageFilter* filter);
  void RemoveMessageFilter(CMessageFilter* filter);
  void AddIdleHandler(CIdleHandler* handler);
  void RemoveIdleHandler(CIdleHandler* handler);

  // Runs until WM_QUIT and returns its wParam.
  int Run();

  // Whether a message of this kind re-enables idle processing.
  static bool IsIdleMessage(const MSG& message);

  // Offers the message to the filters, last registered first; true when one took it. Run does
  // this for every message; a loop of the caller's own (a test's) may too.
  bool PreTranslateMessage(MSG* message);

 private:
  void OnIdle();

  std::vector<CMessageFilter*> filters_;
  std::vector<CIdleHandler*> idleHandlers_;
  MSG current_{};
};

class CAppModule {
 public:
  void Init(HINSTANCE instance);
  void Term();

  [[nodiscard]] HINSTANCE Instance() const { return instance_; }
  [[nodiscard]] DWORD MainThreadId() const { return mainThreadId_; }

  bool AddMessageLoop(CMessageLoop* loop);
  bool RemoveMessageLoop();
  // The calling thread's loop, or null.
  CMessageLoop* GetMessageLoop();

 private:
  HINSTANCE instance_ = nullptr;
  DWORD mainThreadId_ = 0;
  std::mutex lock_;
  std::map<DWORD, CMessageLoop*> loops_;
};

// The one module of the process.
extern CAppModule g_module;
