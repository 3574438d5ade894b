#include "ui/win32_text.h"

#include <windows.h>

std::wstring WideFromUtf8(std::string_view text) {
  if (text.empty()) return {};
  const int inLength = static_cast<int>(text.size());
  const int outLength = MultiByteToWideChar(CP_UTF8, 0, text.data(), inLength, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(outLength), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), inLength, wide.data(), outLength);
  return wide;
}
