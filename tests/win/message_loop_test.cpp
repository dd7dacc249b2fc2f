// The message loop's filter order and idle bookkeeping, on a real Win32 message queue.
#include "platform/win/message_loop.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

constexpr UINT kProbe = WM_APP + 1;

struct RecordingFilter final : CMessageFilter {
  RecordingFilter(std::vector<std::string>& log, std::string name, bool consume)
      : log(log), name(std::move(name)), consume(consume) {}
  bool FilterMessage(MSG* message) override {
    if (message->message == kProbe) log.push_back(name);
    return consume && message->message == kProbe;
  }
  std::vector<std::string>& log;
  std::string name;
  bool consume;
};

// Posts `messages` to the thread's queue followed by the quit request, then runs the loop.
int RunWith(CMessageLoop& loop, const std::vector<UINT>& messages, int quitCode) {
  MSG flush;
  while (PeekMessageW(&flush, nullptr, 0, 0, PM_REMOVE)) {
  }
  for (UINT message : messages) PostThreadMessageW(GetCurrentThreadId(), message, 0, 0);
  PostQuitMessage(quitCode);
  return loop.Run();
}

TEST(MessageLoop, ReturnsTheQuitCode) {
  CMessageLoop loop;
  EXPECT_EQ(RunWith(loop, {}, 1009), 1009);
}

TEST(MessageLoop, OffersMessagesToFiltersLastRegisteredFirst) {
  std::vector<std::string> log;
  RecordingFilter first(log, "first", false), second(log, "second", false), third(log, "third", true);
  CMessageLoop loop;
  loop.AddMessageFilter(&first);
  loop.AddMessageFilter(&second);
  loop.AddMessageFilter(&third);
  RunWith(loop, {kProbe}, 0);
  // The last registered consumes the message: the others never see it.
  EXPECT_EQ(log, std::vector<std::string>{"third"});

  log.clear();
  loop.RemoveMessageFilter(&third);
  RunWith(loop, {kProbe}, 0);
  EXPECT_EQ(log, (std::vector<std::string>{"second", "first"}));
}

// The first idle call starts a thread that posts a mouse move, then (after the loop has surely
// drained it) a probe message, then the quit request. Idle work runs at the start and after the
// probe, but not after the mouse move: two calls.
struct ScriptedIdle final : CIdleHandler {
  explicit ScriptedIdle(std::vector<UINT> script) : script(std::move(script)) {}
  bool HandleIdle() override {
    if (calls++ == 0) {
      const DWORD loopThread = GetCurrentThreadId();
      poster = std::thread([this, loopThread] {
        for (UINT message : script) {
          Sleep(200);
          PostThreadMessageW(loopThread, message, 0, 0);
        }
        Sleep(200);
        PostThreadMessageW(loopThread, WM_QUIT, 7, 0);
      });
    }
    return false;
  }
  std::vector<UINT> script;
  std::thread poster;
  int calls = 0;
};

TEST(MessageLoop, MouseMovesAndPaintDoNotRearmIdleProcessing) {
  MSG flush;
  while (PeekMessageW(&flush, nullptr, 0, 0, PM_REMOVE)) {
  }
  CMessageLoop loop;
  ScriptedIdle idle({WM_MOUSEMOVE, WM_NCMOUSEMOVE, 0x0118, kProbe});
  loop.AddIdleHandler(&idle);
  EXPECT_EQ(loop.Run(), 7);
  idle.poster.join();
  EXPECT_EQ(idle.calls, 2);
}

TEST(MessageLoop, IdleMessageClassification) {
  MSG message{};
  for (UINT kind : {static_cast<UINT>(WM_MOUSEMOVE), static_cast<UINT>(WM_NCMOUSEMOVE), static_cast<UINT>(WM_PAINT), 0x0118u}) {
    message.message = kind;
    EXPECT_FALSE(CMessageLoop::IsIdleMessage(message)) << kind;
  }
  message.message = WM_KEYDOWN;
  EXPECT_TRUE(CMessageLoop::IsIdleMessage(message));
}

}  // namespace
