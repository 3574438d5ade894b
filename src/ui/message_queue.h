#pragma once

// The thread's message queue while a command runs inside a click handler:
// the dialog takes no input then, but must keep painting and must not look
// hung to the system.

#include <windows.h>

// Carries out pending paints (and the progress bar's animation timer) and
// lets the system see that the thread still looks at its queue. Input stays
// queued.
void PaintPendingWhileBusy(HWND progressBar);

// Throws away the keyboard and mouse input waiting in the thread's queue.
void DropQueuedInput();
