#pragma once

// Owns a kernel handle and closes it when it goes (Windows only).

#include <windows.h>

#include <utility>

class Win32Handle {
 public:
  Win32Handle() = default;
  // Takes both the null handle and INVALID_HANDLE_VALUE as "none".
  explicit Win32Handle(HANDLE handle)
      : handle_(handle == INVALID_HANDLE_VALUE ? nullptr : handle) {}
  ~Win32Handle() { Close(); }
  Win32Handle(Win32Handle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
  Win32Handle& operator=(Win32Handle&& other) noexcept {
    if (this != &other) {
      Close();
      handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
  }
  Win32Handle(const Win32Handle&) = delete;
  Win32Handle& operator=(const Win32Handle&) = delete;

  HANDLE Get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }

 private:
  void Close() {
    if (handle_ != nullptr) CloseHandle(std::exchange(handle_, nullptr));
  }

  HANDLE handle_ = nullptr;
};
