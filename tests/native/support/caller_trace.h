#pragma once

// A shared assertion helper takes the caller's place as its last argument,
// defaulted so that callers write nothing, and holds a CallerTrace while it
// checks: its failures then name the calling test's line as well.

#include <gtest/gtest.h>

#include <source_location>

using Here = std::source_location;

class CallerTrace {
 public:
  explicit CallerTrace(const Here& where)
      : trace_(where.file_name(), static_cast<int>(where.line()), "called from here") {}

 private:
  testing::ScopedTrace trace_;
};
