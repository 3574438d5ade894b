#include "dialog_units.h"

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <vector>

namespace ostrel_ui {

namespace {

// DLGTEMPLATE with DS_SETFONT and no controls: style, extended style, item
// count, position, size, then menu, class and title (none) and the font.
std::vector<DWORD> FontOnlyTemplate() {
  std::vector<std::uint16_t> words;
  auto dword = [&](DWORD value) {
    words.push_back(static_cast<std::uint16_t>(value & 0xFFFF));
    words.push_back(static_cast<std::uint16_t>(value >> 16));
  };
  dword(WS_POPUP | DS_SETFONT);
  dword(0);
  for (int i = 0; i < 5; ++i) words.push_back(0);  // items, x, y, cx, cy
  for (int i = 0; i < 3; ++i) words.push_back(0);  // menu, class, title
  words.push_back(8);
  for (const wchar_t c : std::wstring_view(L"MS Sans Serif")) words.push_back(c);
  words.push_back(0);
  // DialogBoxIndirect needs DWORD alignment.
  std::vector<DWORD> aligned((words.size() + 1) / 2, 0);
  std::copy(words.begin(), words.end(), reinterpret_cast<std::uint16_t*>(aligned.data()));
  return aligned;
}

INT_PTR CALLBACK HiddenDialogProc(HWND, UINT, WPARAM, LPARAM) {
  return FALSE;
}

}  // namespace

DialogUnits::DialogUnits() {
  const std::vector<DWORD> dialogTemplate = FontOnlyTemplate();
  dialog_ = CreateDialogIndirectParamW(GetModuleHandleW(nullptr),
                                       reinterpret_cast<LPCDLGTEMPLATEW>(dialogTemplate.data()),
                                       nullptr, HiddenDialogProc, 0);
}

DialogUnits::~DialogUnits() {
  if (dialog_ != nullptr) DestroyWindow(dialog_);
}

RECT DialogUnits::ToPixels(int x, int y, int width, int height) const {
  // The dialog manager converts a control's place and its size each on its
  // own, so the far edges round as the sum of the two.
  RECT mapped{x, y, width, height};
  MapDialogRect(dialog_, &mapped);
  return {mapped.left, mapped.top, mapped.left + mapped.right, mapped.top + mapped.bottom};
}

}  // namespace ostrel_ui
