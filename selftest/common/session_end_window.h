#pragma once

#include <windows.h>

#include <functional>

namespace selftest {

// A hidden top-level window of the calling thread, for a program with no
// window of its own: a console program that loads user32 hears of a log-off
// or shutdown only as WM_QUERYENDSESSION and WM_ENDSESSION on a top-level
// window of its own, never as a console control event. Both are sent, so
// they are handled wherever the thread next answers sent messages (a wait
// that does, a message loop).
//
// WM_QUERYENDSESSION is always answered TRUE: Windows ends at once a console
// program that tries to refuse, before it could put anything back.
class SessionEndWindow {
 public:
  // ending: the session ends. All of it is done before it returns, since the
  // system may end the process right after.
  explicit SessionEndWindow(std::function<void()> ending);
  ~SessionEndWindow();
  SessionEndWindow(const SessionEndWindow&) = delete;
  SessionEndWindow& operator=(const SessionEndWindow&) = delete;

  // Null when it could not be made.
  HWND Window() const { return window_; }

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  std::function<void()> ending_;
  HWND window_ = nullptr;
};

}  // namespace selftest
