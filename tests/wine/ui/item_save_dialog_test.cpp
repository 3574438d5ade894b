// The driver on the item-based save dialog that Windows 7 and later show
// for GetSaveFileNameW, whose name box is no direct child of the dialog.

#include <windows.h>
#include <dlgs.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ostrel_driver.h"
#include "common/module_path_win32.h"
#include "support/temp_folder.h"

namespace ostrel_ui {
namespace {

// Laid out as Windows 7 and later lay it out, which Wine does not: the name
// box is the edit of the combo box cmb13 inside a pane, after another edit.
TEST(ItemSaveDialog, TheNameBoxIsFoundAmongTheDescendants) {
  const auto make = [](const wchar_t* type, DWORD style, HWND parent, int id) {
    return CreateWindowExW(0, type, L"", style, 0, 0, 100, 100, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
  };
  HWND dialog = CreateWindowExW(0, L"#32770", L"Save As", WS_POPUP, 0, 0, 300, 200, nullptr,
                                nullptr, nullptr, nullptr);
  HWND pane = make(L"Static", WS_CHILD, dialog, 0);
  make(L"Edit", WS_CHILD, pane, 0);  // a search box, say
  HWND combo = make(L"ComboBox", WS_CHILD | CBS_DROPDOWN, pane, cmb13);
  HWND edit = FindWindowExW(combo, nullptr, L"Edit", nullptr);
  ASSERT_NE(edit, nullptr);
  EXPECT_EQ(FileNameBox(dialog), edit);
  DestroyWindow(dialog);
}

TEST(ItemSaveDialog, TheDriverTypesTheNameAndSaves) {
  const TempFolder folder;
  const std::filesystem::path result = folder / "result.txt";
  const std::filesystem::path chosen = folder / "image.bin";
  const OstrelProcess program((ProgramFolder() / L"item_save_dialog.exe").wstring(),
                              L"\"" + result.wstring() + L"\"", {}, nullptr);

  ASSERT_TRUE(AnswerFileDialog(program, chosen.wstring()));
  ASSERT_TRUE(program.WaitForExit());
  EXPECT_EQ(program.ExitCode(), 0u);
  const std::vector<std::uint8_t> written = ReadWholeFile(result);
  EXPECT_EQ(std::string(written.begin(), written.end()), chosen.string());
}

}  // namespace
}  // namespace ostrel_ui
