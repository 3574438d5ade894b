#include "ui/dialog_init_resource.h"

#include <string>

#include "common/win32_text.h"
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

}  // namespace

void ApplyDialogInitData(HWND dialog, HINSTANCE instance, int templateId) {
  const auto entries = ParseDialogInitData(FindDialogInitData(instance, templateId));
  if (!entries) return;
  for (const DialogInitEntry& entry : *entries) {
    // Drop-down list strings are the only entries ours holds.
    if (entry.message != DLGINIT_ADDSTRING) continue;
    const std::wstring text = ToWide(entry.data, NarrowEncoding::Ansi);
    SendDlgItemMessageW(dialog, entry.controlId, CB_ADDSTRING, 0,
                        reinterpret_cast<LPARAM>(text.c_str()));
  }
}
