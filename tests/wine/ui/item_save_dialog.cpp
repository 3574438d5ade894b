// item_save_dialog.exe RESULT: shows the item-based save dialog
// (IFileSaveDialog), the one GetSaveFileNameW shows on Windows 7 and later,
// so that the tests can prove their driver on it; writes the chosen path to
// RESULT (UTF-8). Exit code 0 when a name was chosen, 1 when the dialog was
// cancelled, 2 on an error.

#include <windows.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include <fstream>
#include <memory>

#include "common/com_apartment_win32.h"
#include "common/system_library_win32.h"
#include "common/win32_text.h"

using Microsoft::WRL::ComPtr;

namespace {

constexpr int kChosen = 0;
constexpr int kCancelled = 1;
constexpr int kError = 2;

int AskAndWrite(const wchar_t* resultFile) {
  ComPtr<IFileSaveDialog> dialog;
  if (FAILED(CoCreateInstance(CLSID_FileSaveDialog, nullptr, CLSCTX_INPROC_SERVER,
                              IID_PPV_ARGS(dialog.GetAddressOf())))) {
    return kError;
  }
  const HRESULT shown = dialog->Show(nullptr);
  if (shown == HRESULT_FROM_WIN32(ERROR_CANCELLED)) return kCancelled;
  ComPtr<IShellItem> item;
  PWSTR path = nullptr;
  if (FAILED(shown) || FAILED(dialog->GetResult(item.GetAddressOf())) ||
      FAILED(item->GetDisplayName(SIGDN_FILESYSPATH, &path))) {
    return kError;
  }
  const std::unique_ptr<wchar_t, decltype(&CoTaskMemFree)> owned(path, CoTaskMemFree);
  std::ofstream result(resultFile, std::ios::binary);
  result << ToNarrow(path, NarrowEncoding::Utf8);
  return result ? kChosen : kError;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  RestrictDllSearchToSystemFolder();
  const ComApartment com;
  if (argc != 2 || !com) return kError;
  return AskAndWrite(argv[1]);
}
