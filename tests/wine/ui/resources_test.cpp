// What ostrel.exe carries besides its code: icon sizes, the About entry's
// text, the version record, the manifest and the list's initial data.

#include <gtest/gtest.h>

#include <cstdint>
#include <regex>
#include <set>
#include <span>
#include <string>

#include "common/system_library_win32.h"
#include "ostrel_commit.h"
#include "ostrel_driver.h"
#include "ostrel_version.h"
#include "resource.h"
#include "ui/dialog_init_data.h"

namespace ostrel_ui {
namespace {

class OstrelResources : public testing::Test {
 protected:
  void SetUp() override {
    module_ = LoadLibraryExW(OstrelExePath().c_str(), nullptr,
                             LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(module_, nullptr);
  }
  void TearDown() override {
    if (module_ != nullptr) FreeLibrary(module_);
  }

  std::span<const std::uint8_t> Resource(LPCWSTR name, LPCWSTR type) const {
    HRSRC found = FindResourceW(module_, name, type);
    if (found == nullptr) return {};
    const void* bytes = LockResource(LoadResource(module_, found));
    return {static_cast<const std::uint8_t*>(bytes), SizeofResource(module_, found)};
  }

  std::wstring VersionString(const std::vector<std::uint8_t>& info, const wchar_t* name) const {
    void* value = nullptr;
    UINT length = 0;
    const std::wstring key = std::wstring(L"\\StringFileInfo\\040904b0\\") + name;
    if (!query_(info.data(), key.c_str(), &value, &length) || length == 0) return {};
    return static_cast<const wchar_t*>(value);
  }

  HMODULE module_ = nullptr;
  // From the system folder at run time: imported, version.dll (no known DLL)
  // would be looked for beside the test program first.
  const SystemLibrary versionDll_{L"version.dll"};
  decltype(&GetFileVersionInfoSizeW) sizeOf_ =
      versionDll_.Find<decltype(GetFileVersionInfoSizeW)>("GetFileVersionInfoSizeW");
  decltype(&GetFileVersionInfoW) read_ =
      versionDll_.Find<decltype(GetFileVersionInfoW)>("GetFileVersionInfoW");
  decltype(&VerQueryValueW) query_ = versionDll_.Find<decltype(VerQueryValueW)>("VerQueryValueW");
};

TEST_F(OstrelResources, Icon128ComesIn16And32And48Pixels) {
  // GRPICONDIR: reserved, type, count, then 14-byte entries starting with width.
  const auto group = Resource(MAKEINTRESOURCEW(IDR_MAINFRAME), RT_GROUP_ICON);
  ASSERT_GE(group.size(), 6u);
  const std::size_t count = group[4] | group[5] << 8;
  ASSERT_EQ(group.size(), 6 + 14 * count);
  std::set<int> widths;
  for (std::size_t i = 0; i < count; ++i) widths.insert(group[6 + 14 * i]);
  for (const int size : {16, 32, 48}) EXPECT_TRUE(widths.count(size)) << size << " px";
}

TEST_F(OstrelResources, String101IsTheAboutEntry) {
  wchar_t text[64] = {};
  LoadStringW(module_, IDS_ABOUTBOX, text, 64);
  EXPECT_STREQ(text, L"&About Ostrel...");
}

// The version the build defines, so that a new version is made in one place.
TEST_F(OstrelResources, VersionRecordIsTheBuildsVersionAndCommitInUsEnglishUnicode) {
  ASSERT_TRUE(sizeOf_ && read_ && query_);
  const std::wstring path = OstrelExePath();
  const DWORD size = sizeOf_(path.c_str(), nullptr);
  ASSERT_GT(size, 0u);
  std::vector<std::uint8_t> info(size);
  ASSERT_TRUE(read_(path.c_str(), 0, size, info.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(query_(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  const DWORD version[] = {OSTREL_VERSION_NUMBERS};
  EXPECT_EQ(fixed->dwFileVersionMS, version[0] << 16 | version[1]);
  EXPECT_EQ(fixed->dwFileVersionLS, version[2] << 16 | version[3]);
  EXPECT_EQ(fixed->dwProductVersionMS, version[0] << 16 | version[1]);
  EXPECT_EQ(fixed->dwProductVersionLS, version[2] << 16 | version[3]);
  EXPECT_EQ(VersionString(info, L"ProductName"), L"Ostrel");
  EXPECT_EQ(VersionString(info, L"FileVersion"), L"" OSTREL_VERSION_TEXT);
  EXPECT_EQ(VersionString(info, L"ProductVersion"), L"" OSTREL_VERSION_TEXT);
  const std::wstring commit = VersionString(info, L"Comments");
  EXPECT_EQ(commit, L"" OSTREL_COMMIT_TEXT);
  EXPECT_TRUE(std::regex_match(commit, std::wregex(L"Built from commit [0-9a-f]{40}(-modified)?")))
      << commit;
}

TEST_F(OstrelResources, ManifestAsksForCommonControls6AndNamesTheSystems) {
  const auto bytes = Resource(MAKEINTRESOURCEW(1), RT_MANIFEST);
  const std::string manifest(bytes.begin(), bytes.end());
  for (const char* part :
       {"name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"", "level=\"asInvoker\"",
        "<dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">true</dpiAware>",
        "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}", "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",
        "{1f676c76-80e1-4239-95bb-83d0f6d0da78}", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"}) {
    EXPECT_NE(manifest.find(part), std::string::npos) << part;
  }
}

TEST_F(OstrelResources, ListEntriesAreTheMainDialogsInitialData) {
  const auto entries = ParseDialogInitData(
      Resource(MAKEINTRESOURCEW(IDD_OSTREL_DIALOG), MAKEINTRESOURCEW(RT_DLGINIT_ID)));
  ASSERT_TRUE(entries.has_value());
  ASSERT_EQ(entries->size(), 2u);
  EXPECT_EQ((*entries)[0].controlId, IDC_EEPROM_LIST);
  EXPECT_EQ((*entries)[0].message, DLGINIT_ADDSTRING);
  EXPECT_EQ((*entries)[0].data, "Channel Decoder");
  EXPECT_EQ((*entries)[1].controlId, IDC_EEPROM_LIST);
  EXPECT_EQ((*entries)[1].message, DLGINIT_ADDSTRING);
  EXPECT_EQ((*entries)[1].data, "Board Configuration");
}

}  // namespace
}  // namespace ostrel_ui
