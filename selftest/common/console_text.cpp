#include "selftest/common/console_text.h"

#include "common/win32_text.h"

namespace selftest {

void WriteText(DWORD standardHandle, const std::string& text) {
  const HANDLE out = GetStdHandle(standardHandle);
  DWORD mode = 0;
  DWORD written = 0;
  if (GetConsoleMode(out, &mode)) {
    const std::wstring wide = ToWide(text, NarrowEncoding::Utf8);
    WriteConsoleW(out, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
  } else {
    WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  }
}

void Print(const std::string& line) {
  WriteText(STD_OUTPUT_HANDLE, line + "\r\n");
}

std::string Utf8(const std::wstring& text) {
  return ToNarrow(text, NarrowEncoding::Utf8);
}

}  // namespace selftest
