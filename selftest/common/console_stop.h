#pragma once

#include <windows.h>

#include <atomic>

#include "common/win32_handle.h"

namespace selftest {

// Ctrl+C, Ctrl+Break and the closing of the console, as a request to stop
// that the program's own thread carries out. The system calls the handler on
// a thread of its own and ends the process as soon as the handler of a
// close returns, so the handler only tells, then waits (up to patience) for
// the program to say that it has finished what a stop needs. One at a time
// in a process, from construction to destruction.
class ConsoleStop {
 public:
  explicit ConsoleStop(DWORD patienceMs);
  ~ConsoleStop();
  ConsoleStop(const ConsoleStop&) = delete;
  ConsoleStop& operator=(const ConsoleStop&) = delete;

  bool Requested() const { return WaitForSingleObject(requested_.Get(), 0) == WAIT_OBJECT_0; }
  // Whether the console is being closed: the system then ends the process
  // about 5 s after it told it, whatever its patience.
  bool Closing() const { return closing_; }
  // Set once a stop has been asked for, to wait on beside other things.
  HANDLE RequestedEvent() const { return requested_.Get(); }
  // What a stop needs is done: the handler returns, and with a close the
  // system ends the process.
  void Finished() { SetEvent(finished_.Get()); }

 private:
  static BOOL WINAPI Handler(DWORD event);

  Win32Handle requested_;
  Win32Handle finished_;
  DWORD patienceMs_;
  std::atomic<bool> closing_{false};
};

}  // namespace selftest
