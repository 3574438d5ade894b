#include "ui/message_queue.h"

namespace {

// A window that never validates itself must not keep us here.
constexpr int kMaxMessagesPerCall = 256;

void DropRange(UINT first, UINT last) {
  MSG msg;
  for (int i = 0;
       i < kMaxMessagesPerCall * 16 && PeekMessageW(&msg, nullptr, first, last, PM_REMOVE); ++i) {
  }
}

}  // namespace

void PaintPendingWhileBusy(HWND progressBar) {
  MSG msg;
  // Any look at the queue counts as responding; this one also takes in
  // messages other processes send us (reading the status, for instance).
  PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
  for (int i = 0;
       i < kMaxMessagesPerCall && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE | PM_QS_PAINT); ++i) {
    DispatchMessageW(&msg);
  }
  for (int i = 0;
       i < kMaxMessagesPerCall && PeekMessageW(&msg, progressBar, WM_TIMER, WM_TIMER, PM_REMOVE);
       ++i) {
    DispatchMessageW(&msg);
  }
}

void DropQueuedInput() {
  DropRange(WM_KEYFIRST, WM_KEYLAST);
  DropRange(WM_MOUSEFIRST, WM_MOUSELAST);
  DropRange(WM_NCMOUSEMOVE, WM_NCXBUTTONDBLCLK);
}
