#include "ui/file_dialogs.h"

#include <commdlg.h>

#include <string>

namespace {

// Long enough for extended-length paths.
constexpr DWORD kPathCapacity = 32768;

enum class FileDialogKind { Save, Open };

std::optional<FilePath> AskFile(HWND owner, FileDialogKind kind) {
  std::wstring path(kPathCapacity, L'\0');
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner;
  // The literal's own terminator ends the list.
  dialog.lpstrFilter = L"EEPROM image (*.bin)\0*.bin\0";
  dialog.lpstrFile = path.data();
  dialog.nMaxFile = kPathCapacity;
  dialog.lpstrDefExt = L"bin";
  dialog.Flags = OFN_EXPLORER | OFN_ENABLESIZING | OFN_HIDEREADONLY;
  const BOOL chosen =
      kind == FileDialogKind::Save ? GetSaveFileNameW(&dialog) : GetOpenFileNameW(&dialog);
  if (!chosen) return std::nullopt;
  path.resize(path.find(L'\0'));
  return FilePath(path);
}

}  // namespace

std::optional<FilePath> ShowSaveFileDialog(HWND owner) {
  return AskFile(owner, FileDialogKind::Save);
}

std::optional<FilePath> ShowOpenFileDialog(HWND owner) {
  return AskFile(owner, FileDialogKind::Open);
}
