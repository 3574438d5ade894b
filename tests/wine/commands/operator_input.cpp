#include "operator_input.h"

namespace ostrel_commands {

void TypeText(HWND control, const std::wstring& text) {
  for (const wchar_t character : text) {
    PostMessageW(control, WM_CHAR, character, 1);
  }
}

}  // namespace ostrel_commands
