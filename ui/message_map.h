// Message maps: per window class, a table from message (and control id or notification code) to
// handler, tried in order. A handler takes the message, its two parameters and a handled flag
// (true on entry; a handler may clear it to let later rows and the default processing run) and
// returns the message's answer.
#pragma once

#include <windows.h>

#include <cstddef>

enum class MatchKind { kMessage, kMessageRange, kCommand, kNotify };

struct MessageMatch {
  MatchKind kind;
  UINT first;  // message, or first of a range
  UINT last;   // last of a range
  UINT id;     // control id for commands and notifications
  int code;    // notification code
};

constexpr MessageMatch OnMessage(UINT message) { return {MatchKind::kMessage, message, message, 0, 0}; }
constexpr MessageMatch OnMessageRange(UINT first, UINT last) {
  return {MatchKind::kMessageRange, first, last, 0, 0};
}
// WM_COMMAND from control `id`, whatever the notification code in the high word.
constexpr MessageMatch OnCommandId(UINT id) { return {MatchKind::kCommand, WM_COMMAND, WM_COMMAND, id, 0}; }
// WM_NOTIFY from control `id` with notification `code`.
constexpr MessageMatch OnNotify(UINT id, int code) { return {MatchKind::kNotify, WM_NOTIFY, WM_NOTIFY, id, code}; }

bool Matches(const MessageMatch& match, UINT message, WPARAM wParam, LPARAM lParam);

template <typename T>
struct MessageMapEntry {
  MessageMatch match;
  LRESULT (T::*handler)(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
};

// Runs the first row that matches and handles the message; false when none did.
template <typename T, std::size_t N>
bool DispatchMessageMap(T& window, const MessageMapEntry<T> (&map)[N], UINT message, WPARAM wParam,
                        LPARAM lParam, LRESULT& result) {
  for (const MessageMapEntry<T>& entry : map) {
    if (!Matches(entry.match, message, wParam, lParam)) continue;
    BOOL handled = TRUE;
    LRESULT answer = (window.*entry.handler)(message, wParam, lParam, handled);
    if (handled) {
      result = answer;
      return true;
    }
  }
  return false;
}

// The offset at which a parent sends a child the messages it caused (a button's WM_COMMAND comes
// back to the button as OCM_COMMAND).
constexpr UINT kReflectedMessageBase = 0x2000;

// Sends a command, notification, parent notification, owner-draw request, list-box key, scroll or
// child colour message back to the child that caused it, as message + 0x2000; the child's answer
// is the result. False when the message is of another kind or no child can be found, so the
// window's default processing takes it.
bool ReflectNotifications(HWND parent, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
