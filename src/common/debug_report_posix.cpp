#include <cstdio>

#include "common/debug_report.h"

void ReportToDebugger(const std::string& text) {
  std::fprintf(stderr, "%s\n", text.c_str());
}
