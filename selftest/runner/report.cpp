#include "report.h"

#include <windows.h>

#include <fstream>

#include "common/win32_text.h"

namespace selftest {

void Print(const std::string& line) {
  const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD mode = 0;
  DWORD written = 0;
  if (GetConsoleMode(out, &mode)) {
    // The console shows any character this way, whatever its code page.
    const std::wstring wide = ToWide(line + "\r\n", NarrowEncoding::Utf8);
    WriteConsoleW(out, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
  } else {
    const std::string bytes = line + "\r\n";
    WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  }
}

std::string Utf8(const std::wstring& text) {
  return ToNarrow(text, NarrowEncoding::Utf8);
}

void Report::Say(const std::string& line) {
  Print(line);
  Record(line);
}

void Report::Record(const std::vector<std::string>& lines) {
  lines_.insert(lines_.end(), lines.begin(), lines.end());
}

bool Report::Write() const {
  std::ofstream file(resultsFile_, std::ios::binary | std::ios::trunc);
  for (const std::string& line : lines_) file << line << "\r\n";
  return static_cast<bool>(file);
}

}  // namespace selftest
