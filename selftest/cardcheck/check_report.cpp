#include "check_report.h"

#include "selftest/console/console_text.h"

void CheckReport::Line(const std::string& text) {
  selftest::Print(text);
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
