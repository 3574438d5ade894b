#include "machine/session_end_window.h"

#include <utility>

namespace {

constexpr wchar_t kClassName[] = L"Ostrel.SessionEnd";

}  // namespace

SessionEndWindow::SessionEndWindow(Handlers handlers) : handlers_(std::move(handlers)) {
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
  if (self != nullptr) {
    switch (message) {
      case WM_QUERYENDSESSION:
        return self->handlers_.mayEnd() ? TRUE : FALSE;
      case WM_ENDSESSION:
        if (wParam != FALSE) self->handlers_.ending();
        return 0;
      default:
        break;
    }
  }
  return DefWindowProcW(window, message, wParam, lParam);
}
