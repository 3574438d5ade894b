#pragma once

// Reads an extended dialog template (DLGTEMPLATEEX) as a resource compiler
// stored it, so that tests can check exactly what the template says apart
// from what the controls make of it at run time.

#include <windows.h>

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace ostrel_ui {

struct TemplateItem {
  int id = 0;
  std::wstring className;  // predefined classes by name: "Button", "Edit", ...
  std::wstring text;
  DWORD style = 0;
  DWORD exStyle = 0;
  int x = 0, y = 0, width = 0, height = 0;
};

struct DialogTemplate {
  DWORD style = 0;
  DWORD exStyle = 0;
  int width = 0, height = 0;
  std::wstring caption;
  int pointSize = 0;
  std::wstring font;
  std::vector<TemplateItem> items;
};

// Nothing when the data is not a complete extended template.
std::optional<DialogTemplate> ParseDialogTemplate(std::span<const std::uint8_t> data);

}  // namespace ostrel_ui

namespace ostrel_ui {

// Window class names compare without regard to case.
bool SameClassName(const std::wstring& a, const std::wstring& b);

// Template id of the program file exe, as stored and as read.
std::vector<std::uint8_t> DialogTemplateBytes(const std::wstring& exe, int id);
std::optional<DialogTemplate> LoadDialogTemplate(const std::wstring& exe, int id);

}  // namespace ostrel_ui
