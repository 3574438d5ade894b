#include <windows.h>

#include "common/debug_report.h"
#include "common/win32_text.h"

void ReportToDebugger(const std::string& text) {
  OutputDebugStringW(ToWide(text + "\n", NarrowEncoding::Utf8).c_str());
}
