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
class SessionEndWindow {
 public:
  struct Handlers {
    // Whether the session may end now (false while the card is in use).
    std::function<bool()> mayEnd;
    // The session ends: all of it done before this returns, since the
    // system may end the process right after.
    std::function<void()> ending;
  };

  explicit SessionEndWindow(Handlers handlers);
  ~SessionEndWindow();
  SessionEndWindow(const SessionEndWindow&) = delete;
  SessionEndWindow& operator=(const SessionEndWindow&) = delete;

  // Null when it could not be made.
  HWND Window() const { return window_; }

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  Handlers handlers_;
  HWND window_ = nullptr;
};

}  // namespace selftest
