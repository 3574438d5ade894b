#include "check_report.h"

#include <cstdio>

void CheckReport::Line(const std::string& text) {
  std::printf("%s\n", text.c_str());
  std::fflush(stdout);
  lines_.push_back(text);
}

void CheckReport::Failure(const std::string& text) {
  failed_ = true;
  Line(text);
}

std::string CheckReport::Text() const {
  std::string text;
  for (const std::string& line : lines_) text += line + "\r\n";
  return text;
}
