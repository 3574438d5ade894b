#pragma once

// The self-test kit's journal of what it changes in the registry (Windows
// only). Every change the kit's runner or one of its test programs makes
// goes through JournaledRegistry: it is kept in the journal, with what
// stood there before, before it is made; it is made only under a guarded key
// (guarded_keys.h) and only where what stands there can be read. Putting
// back undoes exactly those changes, the latest first, and only where the
// registry still holds what the kit left: what another program changed
// meanwhile is left as it is, and said so. A key the kit made goes only
// when it is empty again.
//
// Within a run of the kit the journal is a file in the run's folder that
// the runner and each test program add to (OSTREL_SELFTEST_JOURNAL), so
// that the runner can put back what a test program that died left, and the
// next run what a run that was killed left.

#include <windows.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "selftest/common/guarded_keys.h"
#include "selftest/common/registry_tree.h"

namespace selftest {

inline constexpr wchar_t kJournalVariable[] = L"OSTREL_SELFTEST_JOURNAL";
inline constexpr wchar_t kJournalName[] = L"registry-journal.txt";

// One change, as kept: enough to undo it, and to tell whether the registry
// still holds what it left.
struct RegistryChange {
  enum class Kind {
    kMadeKey,     // key was made where there was none
    kValue,       // the value name of key went from before to after (nothing: absent)
    kDeletedKey,  // key, empty, was deleted; it had security
    kRenamedKey,  // key was renamed to name, beside it
  };
  std::string id = {};
  Kind kind = Kind::kMadeKey;
  RegistryPlace key = {};
  std::wstring name = {};
  std::optional<RegistryValue> before = {};
  std::optional<RegistryValue> after = {};
  std::vector<BYTE> security = {};
  // The guarded key the change was made under, as reports name it.
  std::wstring guarded = {};
};

// How putting back one change went.
struct PutBackResult {
  enum class Outcome {
    kPutBack,          // as before the change (or it was never made)
    kChangedByOthers,  // another program changed it since: left as it is
    kFailed,           // the registry refused, or could not be read
  };
  std::wstring guarded = {};
  Outcome outcome = Outcome::kPutBack;
};

// The changes kept: in this program only, or in a file shared with the
// other programs of a run.
class RegistryJournal {
 public:
  RegistryJournal();
  explicit RegistryJournal(std::filesystem::path file);
  // The journal of the kit's run this program is part of, or one of its own
  // when no run named one.
  static RegistryJournal OfThisRun();

  // Keeps change under a new id; false when it could not be kept, and then
  // the change must not be made.
  bool Keep(RegistryChange& change);
  // change needs no putting back any more.
  void Settle(const RegistryChange& change);

  // Which changes a put back takes: those kept through this object, those
  // kept by others (the test programs, for the runner), or all.
  enum class Whose { kMine, kOthers, kAll };
  // The changes not yet settled, in the order they were made.
  std::vector<RegistryChange> Unsettled(Whose whose) const;
  // Undoes them, the latest first, and settles each that needs nothing more.
  std::vector<PutBackResult> PutBack(Whose whose);

  const std::optional<std::filesystem::path>& File() const { return file_; }

 private:
  bool Append(const std::string& line);

  std::optional<std::filesystem::path> file_;
  // This object's ids begin with it: the process and a number of its own.
  std::string idPrefix_;
  unsigned kept_ = 0;
  // Without a file: every change kept, and the ids settled.
  std::vector<RegistryChange> changes_;
  std::vector<std::string> settled_;
};

// The only way the kit changes the registry: each change is kept in the
// journal first. Each call answers ERROR_SUCCESS when the change was made (or
// nothing needed changing), otherwise why not: ERROR_ACCESS_DENIED also for a
// key outside the guarded ones, or one that cannot be read.
class JournaledRegistry {
 public:
  explicit JournaledRegistry(RegistryJournal journal,
                             std::vector<GuardedKey> guarded = GuardedKeys());
  // Puts back what it changed and was not put back yet.
  ~JournaledRegistry();
  JournaledRegistry(const JournaledRegistry&) = delete;
  JournaledRegistry& operator=(const JournaledRegistry&) = delete;

  // Makes key and any missing key above it; options apply to key itself
  // (REG_OPTION_VOLATILE), those above it are made stable.
  LSTATUS CreateKey(const RegistryPlace& key, DWORD options = REG_OPTION_NON_VOLATILE);
  LSTATUS SetValue(const RegistryPlace& key, const std::wstring& name, const RegistryValue& value);
  LSTATUS SetString(const RegistryPlace& key, const std::wstring& name, const std::wstring& text);
  LSTATUS DeleteValue(const RegistryPlace& key, const std::wstring& name);
  // Deletes key, which holds neither values nor subkeys.
  LSTATUS DeleteKey(const RegistryPlace& key);
  // Renames key, with everything below it, to newName beside it.
  LSTATUS RenameKey(const RegistryPlace& key, const std::wstring& newName);

  std::vector<PutBackResult> PutBack(RegistryJournal::Whose whose = RegistryJournal::Whose::kMine) {
    return journal_.PutBack(whose);
  }
  RegistryJournal& Journal() { return journal_; }

 private:
  // The guarded key that key is, or lies below; nothing outside them.
  const GuardedKey* GuardOf(const RegistryPlace& key) const;
  // Keeps change, made under key's guard; false when it cannot be kept.
  bool Keep(RegistryChange& change, const GuardedKey& guard);
  LSTATUS MakeKey(const RegistryPlace& key, DWORD options, const GuardedKey& guard);
  // Sets the value name of key to after, or deletes it for none.
  LSTATUS ChangeValue(const RegistryPlace& key, const std::wstring& name,
                      const std::optional<RegistryValue>& after);

  RegistryJournal journal_;
  std::vector<GuardedKey> guarded_;
};

// One line per guarded key that results speak of: "Put back KEY", "COULD NOT
// put back KEY" or "KEY: changed by another program during the run: left as
// it is"; clean turns false on a failure.
std::vector<std::string> PutBackLines(const std::vector<PutBackResult>& results, bool& clean);

}  // namespace selftest
