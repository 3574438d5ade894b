#include "ui/dialog_init_resource.h"

#include <string>

#include "resource.h"
#include "ui/dialog_init_data.h"

namespace {

std::span<const std::uint8_t> FindDialogInitData(HINSTANCE instance, int templateId) {
  HRSRC found =
      FindResourceW(instance, MAKEINTRESOURCEW(templateId), MAKEINTRESOURCEW(RT_DLGINIT_ID));
  if (found == nullptr) return {};
  // Resources stay mapped with the module; nothing to release.
  HGLOBAL loaded = LoadResource(instance, found);
  const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
  if (bytes == nullptr) return {};
  return {static_cast<const std::uint8_t*>(bytes), SizeofResource(instance, found)};
}

std::wstring WideFromAnsi(const std::string& text) {
  if (text.empty()) return {};
  const int inLength = static_cast<int>(text.size());
  const int outLength = MultiByteToWideChar(CP_ACP, 0, text.data(), inLength, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(outLength), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), inLength, wide.data(), outLength);
  return wide;
}

// The format keeps 16-bit message codes; only list strings occur in ours.
UINT AddStringMessage(std::uint16_t message) {
  switch (message) {
    case DLGINIT_ADDSTRING:
      return CB_ADDSTRING;
    case 0x0401:  // list box
      return LB_ADDSTRING;
    default:
      return 0;
  }
}

}  // namespace

void ApplyDialogInitData(HWND dialog, HINSTANCE instance, int templateId) {
  const auto entries = ParseDialogInitData(FindDialogInitData(instance, templateId));
  if (!entries) return;
  for (const DialogInitEntry& entry : *entries) {
    const UINT message = AddStringMessage(entry.message);
    if (message == 0) continue;
    const std::wstring text = WideFromAnsi(entry.data);
    SendDlgItemMessageW(dialog, entry.controlId, message, 0,
                        reinterpret_cast<LPARAM>(text.c_str()));
  }
}
