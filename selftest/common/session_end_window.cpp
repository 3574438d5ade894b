#include "selftest/common/session_end_window.h"

#include <exception>
#include <string>
#include <utility>

#include "common/debug_report.h"

namespace selftest {

namespace {

constexpr wchar_t kClassName[] = L"Ostrel.SessionEnd";

}  // namespace

SessionEndWindow::SessionEndWindow(std::function<void()> ending) : ending_(std::move(ending)) {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = kClassName;
  // Registered once a process; a second window reuses the class.
  if (RegisterClassExW(&windowClass) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return;
  // Top-level and never shown: message-only windows hear no session end.
  window_ = CreateWindowExW(0, kClassName, L"", WS_OVERLAPPED, 0, 0, 0, 0, nullptr, nullptr,
                            instance, this);
}

SessionEndWindow::~SessionEndWindow() {
  if (window_ != nullptr) DestroyWindow(window_);
}

LRESULT CALLBACK SessionEndWindow::WindowProc(HWND window, UINT message, WPARAM wParam,
                                              LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<SessionEndWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self == nullptr || (message != WM_QUERYENDSESSION && message != WM_ENDSESSION)) {
    return DefWindowProcW(window, message, wParam, lParam);
  }
  if (message == WM_QUERYENDSESSION) return TRUE;
  // The handler runs inside the system's message dispatch, which nothing
  // may unwind into.
  try {
    if (wParam != FALSE) self->ending_();
  } catch (const std::exception& error) {
    ReportToDebugger(std::string("Ostrel: the session's end failed: ") + error.what());
  } catch (...) {
    ReportToDebugger("Ostrel: the session's end failed");
  }
  return 0;
}

}  // namespace selftest
