// The self-test kit's registry journal against the real registry: what it
// puts back, what it leaves to other programs, what it never changes, and a
// journal put back by another program after the one that kept it died. In
// the user's classes, where on 64-bit Windows a 32-bit program's keys are
// kept below Software\Classes\Wow6432Node.

#include <windows.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "common/registry_key_win32.h"
#include "selftest/common/console_text.h"
#include "selftest/common/guarded_keys.h"
#include "selftest/common/process_token.h"
#include "selftest/common/registry_journal.h"
#include "support/temp_folder.h"

namespace {

using selftest::JournaledRegistry;
using selftest::KeyState;
using selftest::RegistryPlace;
using selftest::StateOf;
using Whose = selftest::RegistryJournal::Whose;

const RegistryPlace kKey = selftest::JournalTestKey();

// What another program does, straight to the registry.
void SetByAnother(const RegistryPlace& key, const wchar_t* name) {
  ASSERT_EQ(RegistryKey::Create(HKEY_CURRENT_USER, key.path).SetString(name, L"another's"),
            ERROR_SUCCESS);
}

void SetSecurity(const RegistryPlace& key, const std::wstring& sddl) {
  PSECURITY_DESCRIPTOR security = nullptr;
  ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1,
                                                                   &security, nullptr));
  const std::unique_ptr<void, decltype(&LocalFree)> owned(security, LocalFree);
  const RegistryKey opened =
      RegistryKey::Open(HKEY_CURRENT_USER, key.path, WRITE_DAC | WRITE_OWNER);
  const SECURITY_INFORMATION parts =
      sddl.starts_with(L"O:") ? selftest::kOwnerGroupAccess : DACL_SECURITY_INFORMATION;
  ASSERT_EQ(RegSetKeySecurity(opened.Get(), parts, security), ERROR_SUCCESS);
}

std::wstring ThisUser() {
  std::vector<BYTE> user = selftest::TokenInformationOf(TokenUser);
  LPWSTR text = nullptr;
  if (!ConvertSidToStringSidW(selftest::UserOf(user), &text)) return L"OW";
  const std::unique_ptr<void, decltype(&LocalFree)> owned(text, LocalFree);
  return text;
}

std::vector<std::string> Lines(const std::vector<selftest::PutBackResult>& results) {
  bool clean = true;
  std::vector<std::string> lines = selftest::PutBackLines(results, clean);
  if (!clean) lines.push_back("(not clean)");
  return lines;
}

// Whether the keys a run may make above the journal's key are there: the
// user's classes' CLSID and, on 64-bit Windows, their Wow6432Node level.
auto KeysAbove() {
  return std::make_tuple(
      StateOf({selftest::kUserHive, KEY_WOW64_32KEY, L"Software\\Classes\\CLSID"}),
      StateOf({selftest::kUserHive, KEY_WOW64_64KEY, L"Software\\Classes\\Wow6432Node"}));
}

class RegistryJournal : public testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(scaffold_.CreateKey(kKey), ERROR_SUCCESS); }
  void TearDown() override {
    RegDeleteTreeW(RegistryKey::Open(HKEY_CURRENT_USER, kKey.path, KEY_ALL_ACCESS).Get(), nullptr);
    scaffold_.PutBack();
    EXPECT_EQ(KeysAbove(), found_) << "the journal left a key of its own";
  }

  const std::string name_ = selftest::Utf8(kKey.Name());
  const decltype(KeysAbove()) found_ = KeysAbove();
  // Makes the test's key, and whatever is missing above it.
  JournaledRegistry scaffold_{selftest::RegistryJournal::OfThisRun()};
  JournaledRegistry kit_{selftest::RegistryJournal::OfThisRun()};
};

TEST_F(RegistryJournal, WhatAnotherProgramAddsMeanwhileStaysAndIsSaid) {
  const RegistryPlace kits = kKey.Below(L"kit's");
  ASSERT_EQ(kit_.CreateKey(kits), ERROR_SUCCESS);
  ASSERT_EQ(kit_.SetString(kits, L"kit's", L"1"), ERROR_SUCCESS);
  SetByAnother(kits, L"another's");
  SetByAnother(kits.Below(L"another's"), L"another's");

  EXPECT_EQ(Lines(kit_.PutBack()),
            std::vector<std::string>{name_ + ": changed by another program during the run: left "
                                             "as it is"});
  LSTATUS status = ERROR_SUCCESS;
  EXPECT_FALSE(selftest::ReadValue(kits, L"kit's", status)) << "the kit's own value goes";
  EXPECT_TRUE(selftest::ReadValue(kits, L"another's", status));
  EXPECT_EQ(StateOf(kits.Below(L"another's")), KeyState::kPresent);
}

TEST_F(RegistryJournal, AKeyTheKitMadeGoesOnlyOnceEmpty) {
  const RegistryPlace above = kKey.Below(L"above");
  for (const bool anotherWroteThere : {false, true}) {
    SCOPED_TRACE(anotherWroteThere ? "another program wrote in it" : "nobody else wrote in it");
    ASSERT_EQ(kit_.CreateKey(above.Below(L"below")), ERROR_SUCCESS);
    if (anotherWroteThere) SetByAnother(above, L"another's");
    kit_.PutBack();
    EXPECT_EQ(StateOf(above.Below(L"below")), KeyState::kAbsent);
    EXPECT_EQ(StateOf(above), anotherWroteThere ? KeyState::kPresent : KeyState::kAbsent);
  }
}

TEST_F(RegistryJournal, NothingIsChangedThatCannotBeReadOrIsNotGuarded) {
  const RegistryPlace outer = kKey.Below(L"outer");
  const RegistryPlace locked = outer.Below(L"locked");
  SetByAnother(locked, L"another's");
  SetSecurity(locked, L"D:P(D;;KR;;;WD)(A;;KA;;;WD)");
  const std::pair<const char*, std::function<LSTATUS()>> refused[] = {
      {"a value of it", [&] { return kit_.SetString(locked, L"another's", L"kit's"); }},
      {"a key below it", [&] { return kit_.CreateKey(locked.Below(L"kit's")); }},
      {"the key renamed", [&] { return kit_.RenameKey(locked, L"kit's"); }},
      {"the key above renamed with it", [&] { return kit_.RenameKey(outer, L"kit's"); }},
      {"a key no guard covers",
       [&] {
         return kit_.CreateKey({selftest::kUserHive, KEY_WOW64_32KEY, L"Software\\Ostrel"});
       }},
  };
  for (const auto& [what, change] : refused) EXPECT_NE(change(), ERROR_SUCCESS) << what;
  EXPECT_TRUE(kit_.Journal().Unsettled(Whose::kMine).empty());
  EXPECT_FALSE(selftest::WhollyReadable(*selftest::ReadTree(kKey)));
  SetSecurity(locked, L"D:P(A;;KA;;;WD)");
  LSTATUS status = ERROR_SUCCESS;
  EXPECT_EQ(selftest::ReadValue(locked, L"another's", status)->data.size(), sizeof(L"another's"));
}

TEST_F(RegistryJournal, AKeyMadeAgainHasItsOwnerGroupAndAccessListBack) {
  const RegistryPlace kept = kKey.Below(L"kept");
  SetByAnother(kept, L"another's");
  const std::wstring user = ThisUser();
  SetSecurity(kept, L"O:" + user + L"G:" + user + L"D:P(A;;KA;;;" + user + L")(A;;KR;;;WD)");
  const std::vector<BYTE> security =
      selftest::SecurityOf(RegistryKey::Open(HKEY_CURRENT_USER, kept.path, KEY_READ).Get());

  ASSERT_EQ(kit_.DeleteValue(kept, L"another's"), ERROR_SUCCESS);
  ASSERT_EQ(kit_.DeleteKey(kept), ERROR_SUCCESS);
  ASSERT_EQ(StateOf(kept), KeyState::kAbsent);
  EXPECT_EQ(Lines(kit_.PutBack()), std::vector<std::string>{"Put back " + name_});
  EXPECT_EQ(selftest::SecurityOf(RegistryKey::Open(HKEY_CURRENT_USER, kept.path, KEY_READ).Get()),
            security);
  LSTATUS status = ERROR_SUCCESS;
  EXPECT_TRUE(selftest::ReadValue(kept, L"another's", status));
}

TEST_F(RegistryJournal, WhatAProgramThatDiedKeptIsPutBackByAnother) {
  const TempFolder folder;
  const RegistryPlace aside = kKey.Below(L"to be set aside");
  JournaledRegistry died(selftest::RegistryJournal(folder.path() / "journal.txt"));
  ASSERT_EQ(died.CreateKey(aside, REG_OPTION_VOLATILE), ERROR_SUCCESS);
  ASSERT_EQ(died.SetValue(aside, L"tab\tline\r\n100%", {REG_BINARY, {0, 9, 10, 0x25, 0xFF}}),
            ERROR_SUCCESS);
  ASSERT_EQ(died.RenameKey(aside, L"set aside"), ERROR_SUCCESS);

  selftest::RegistryJournal survivor(folder.path() / "journal.txt");
  EXPECT_EQ(Lines(survivor.PutBack(Whose::kAll)), std::vector<std::string>{"Put back " + name_});
  EXPECT_EQ(StateOf(aside), KeyState::kAbsent);
  EXPECT_EQ(StateOf(kKey.Below(L"set aside")), KeyState::kAbsent);
  EXPECT_TRUE(died.Journal().Unsettled(Whose::kMine).empty()) << "settled for it too";
}

}  // namespace
