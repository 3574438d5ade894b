#include "selftest/common/registry_journal.h"

#include <objbase.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <sstream>
#include <utility>

#include "common/registry_key_win32.h"
#include "common/win32_handle.h"
#include "common/win32_text.h"
#include "selftest/common/hex_text.h"
#include "selftest/common/process_token.h"

namespace selftest {

namespace {

using Kind = RegistryChange::Kind;
using Outcome = PutBackResult::Outcome;

constexpr char kSettled[] = "settled";
constexpr char kKindLetters[] = "MVDR";  // by Kind

// ---- The journal's lines: one change, or one id settled, each a line of
// fields separated by tabs. Text is UTF-8 with tabs, line ends and '%' as
// %XX; data is hexadecimal.

std::string Escaped(const std::wstring& text) {
  std::string escaped;
  for (const char c : ToNarrow(text, NarrowEncoding::Utf8)) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || c == '%') {
      escaped += '%' + Hex(byte, 2);
    } else {
      escaped += c;
    }
  }
  return escaped;
}

std::optional<std::wstring> Unescaped(std::string_view text) {
  std::string plain;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      plain += text[i];
      continue;
    }
    const auto byte = BytesOfHex(text.substr(i + 1, 2));
    if (!byte || byte->size() != 1) return std::nullopt;
    plain += static_cast<char>(byte->front());
    i += 2;
  }
  return ToWide(plain, NarrowEncoding::Utf8);
}

std::string ValueText(const std::optional<RegistryValue>& value) {
  if (!value) return "-";
  return std::to_string(value->type) + ":" + HexBytes(value->data);
}

std::optional<std::optional<RegistryValue>> ValueOfText(std::string_view text) {
  if (text == "-") return std::optional<RegistryValue>();
  const std::size_t colon = text.find(':');
  if (colon == std::string_view::npos || colon == 0) return std::nullopt;
  const auto data = BytesOfHex(text.substr(colon + 1));
  if (!data) return std::nullopt;
  RegistryValue value;
  for (const char digit : text.substr(0, colon)) {
    if (digit < '0' || digit > '9') return std::nullopt;
    value.type = value.type * 10 + static_cast<DWORD>(digit - '0');
  }
  value.data.assign(data->begin(), data->end());
  return std::optional<RegistryValue>(std::move(value));
}

std::string LineOf(const RegistryChange& change) {
  const std::string fields[] = {
      change.id,
      std::string(1, kKindLetters[static_cast<int>(change.kind)]),
      change.key.hive.root == HKEY_LOCAL_MACHINE ? "HKLM" : "HKCU",
      change.key.view == KEY_WOW64_64KEY ? "64" : "32",
      Escaped(change.key.path),
      Escaped(change.name),
      ValueText(change.before),
      ValueText(change.after),
      change.security.empty() ? "-" : HexBytes(change.security),
      Escaped(change.guarded),
  };
  std::string line;
  for (const std::string& field : fields) line += (line.empty() ? "" : "\t") + field;
  return line + "\r\n";
}

std::vector<std::string_view> FieldsOf(std::string_view line) {
  std::vector<std::string_view> fields;
  for (std::size_t start = 0;;) {
    const std::size_t tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab - start));
    if (tab == std::string_view::npos) return fields;
    start = tab + 1;
  }
}

// A change of a line; nothing for a line that is none (one cut short when
// the program that wrote it was ended, say).
std::optional<RegistryChange> ChangeOfLine(const std::vector<std::string_view>& fields) {
  if (fields.size() != 10 || fields[1].size() != 1) return std::nullopt;
  const char* const kind = std::strchr(kKindLetters, fields[1][0]);
  const auto path = Unescaped(fields[4]);
  const auto name = Unescaped(fields[5]);
  const auto before = ValueOfText(fields[6]);
  const auto after = ValueOfText(fields[7]);
  const auto security = fields[8] == "-" ? std::vector<std::uint8_t>() : BytesOfHex(fields[8]);
  const auto guarded = Unescaped(fields[9]);
  if (kind == nullptr || *kind == '\0' || !path || !name || !before || !after || !security ||
      !guarded || (fields[2] != "HKCU" && fields[2] != "HKLM") ||
      (fields[3] != "32" && fields[3] != "64")) {
    return std::nullopt;
  }
  RegistryChange change;
  change.id = std::string(fields[0]);
  change.kind = static_cast<Kind>(kind - kKindLetters);
  change.key = {fields[2] == "HKLM" ? kMachineHive : kUserHive,
                fields[3] == "64" ? REGSAM{KEY_WOW64_64KEY} : REGSAM{KEY_WOW64_32KEY}, *path};
  change.name = *name;
  change.before = *before;
  change.after = *after;
  change.security.assign(security->begin(), security->end());
  change.guarded = *guarded;
  return change;
}

std::string ReadWholeFile(const std::filesystem::path& file) {
  const Win32Handle handle(CreateFileW(file.c_str(), GENERIC_READ,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  std::string text;
  if (!handle) return text;
  char buffer[4096];
  DWORD read = 0;
  while (ReadFile(handle.Get(), buffer, sizeof buffer, &read, nullptr) && read != 0) {
    text.append(buffer, read);
  }
  return text;
}

std::string NewIdPrefix() {
  GUID random{};
  CoCreateGuid(&random);
  return std::to_string(GetCurrentProcessId()) + "-" + Hex(random.Data1, 8);
}

// ---- Places.

RegistryPlace ParentOf(const RegistryPlace& key) {
  return {key.hive, key.view, key.path.substr(0, key.path.rfind(L'\\'))};
}

std::wstring LeafOf(const RegistryPlace& key) {
  return key.path.substr(key.path.rfind(L'\\') + 1);
}

RegistryPlace Beside(const RegistryPlace& key, const std::wstring& name) {
  return ParentOf(key).Below(name);
}

// On 64-bit Windows the user's classes a 32-bit program names are kept below
// Software\Classes\Wow6432Node, which the first such key makes.
const RegistryPlace kUserWow6432Node{kUserHive, KEY_WOW64_64KEY, L"Software\\Classes\\Wow6432Node"};

bool IsRedirectedUserClass(const RegistryPlace& key) {
  if (key.hive.root != HKEY_CURRENT_USER || key.view != KEY_WOW64_32KEY || !UnderWow64()) {
    return false;
  }
  for (const wchar_t* redirected :
       {L"CLSID", L"DirectShow", L"Interface", L"Media Type", L"MediaFoundation"}) {
    if (key.IsAtOrBelow(
            {kUserHive, KEY_WOW64_32KEY, std::wstring(L"Software\\Classes\\") + redirected})) {
      return true;
    }
  }
  return false;
}

bool IsEmptyKey(const RegistryPlace& key) {
  return RegistryKey::Open(key.hive.root, key.path, KEY_QUERY_VALUE | key.view).IsEmpty();
}

LSTATUS DeleteEmptyKey(const RegistryPlace& key) {
  return RegDeleteKeyExW(key.hive.root, key.path.c_str(), key.view, 0);
}

PSID OwnerOf(std::vector<BYTE>& security) {
  PSID owner = nullptr;
  BOOL defaulted = FALSE;
  return GetSecurityDescriptorOwner(security.data(), &owner, &defaulted) ? owner : nullptr;
}

// Sets the value name of key to value, or deletes it for none.
LSTATUS WriteValue(HKEY key, const std::wstring& name, const std::optional<RegistryValue>& value) {
  if (!value) return RegDeleteValueW(key, name.c_str());
  return RegSetValueExW(key, name.c_str(), 0, value->type, value->data.data(),
                        static_cast<DWORD>(value->data.size()));
}

LSTATUS WriteValue(const RegistryPlace& key, const std::wstring& name,
                   const std::optional<RegistryValue>& value) {
  const RegistryKey opened = RegistryKey::Open(key.hive.root, key.path, KEY_SET_VALUE | key.view);
  return opened ? WriteValue(opened.Get(), name, value) : opened.Status();
}

// ---- Undoing one change, where the registry still holds what it left.

Outcome UndoMadeKey(const RegistryChange& change) {
  if (const KeyState now = StateOf(change.key); now != KeyState::kPresent) {
    return now == KeyState::kAbsent ? Outcome::kPutBack : Outcome::kFailed;
  }
  // What the kit made below it went before it; anything left is another's.
  if (!IsEmptyKey(change.key)) return Outcome::kChangedByOthers;
  return DeleteEmptyKey(change.key) == ERROR_SUCCESS ? Outcome::kPutBack : Outcome::kFailed;
}

Outcome UndoValue(const RegistryChange& change) {
  LSTATUS status = ERROR_SUCCESS;
  const std::optional<RegistryValue> now = ReadValue(change.key, change.name, status);
  if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) return Outcome::kFailed;
  if (now == change.before) return Outcome::kPutBack;
  if (now != change.after) return Outcome::kChangedByOthers;
  return WriteValue(change.key, change.name, change.before) == ERROR_SUCCESS ? Outcome::kPutBack
                                                                             : Outcome::kFailed;
}

Outcome UndoDeletedKey(const RegistryChange& change) {
  // Made again by another, or not to be asked.
  if (const KeyState now = StateOf(change.key); now != KeyState::kAbsent) {
    return now == KeyState::kPresent ? Outcome::kChangedByOthers : Outcome::kFailed;
  }
  // Made again only where it was: below the key that held it.
  if (StateOf(ParentOf(change.key)) != KeyState::kPresent) return Outcome::kChangedByOthers;
  // Made with its security, and given it again where the system made it
  // with its own (Wine does).
  std::vector<BYTE> security = change.security;
  SECURITY_ATTRIBUTES attributes{sizeof attributes, security.data(), FALSE};
  const RegistryKey made =
      RegistryKey::Create(change.key.hive.root, change.key.path,
                          READ_CONTROL | WRITE_DAC | WRITE_OWNER | change.key.view,
                          REG_OPTION_NON_VOLATILE, &attributes);
  if (!made) return Outcome::kFailed;
  if (SecurityOf(made.Get()) != change.security) {
    RegSetKeySecurity(made.Get(), kOwnerGroupAccess, security.data());
  }
  // Its owner, group and access list are part of what it was.
  return SecurityOf(made.Get()) == change.security ? Outcome::kPutBack : Outcome::kFailed;
}

Outcome UndoRenamedKey(const RegistryChange& change) {
  const KeyState original = StateOf(change.key);
  const KeyState renamed = StateOf(Beside(change.key, change.name));
  if (original == KeyState::kUnreadable || renamed == KeyState::kUnreadable) {
    return Outcome::kFailed;
  }
  if (original == KeyState::kPresent && renamed == KeyState::kAbsent) return Outcome::kPutBack;
  if (original != KeyState::kAbsent || renamed != KeyState::kPresent) {
    return Outcome::kChangedByOthers;
  }
  const RegistryPlace now = Beside(change.key, change.name);
  return RenameKeyInPlace(now, LeafOf(change.key)) == ERROR_SUCCESS ? Outcome::kPutBack
                                                                    : Outcome::kFailed;
}

Outcome Undo(const RegistryChange& change) {
  switch (change.kind) {
    case Kind::kMadeKey:
      return UndoMadeKey(change);
    case Kind::kValue:
      return UndoValue(change);
    case Kind::kDeletedKey:
      return UndoDeletedKey(change);
    case Kind::kRenamedKey:
      return UndoRenamedKey(change);
  }
  return Outcome::kFailed;
}

}  // namespace

// ---- RegistryJournal

RegistryJournal::RegistryJournal() : idPrefix_(NewIdPrefix()) {}

RegistryJournal::RegistryJournal(std::filesystem::path file)
    : file_(std::move(file)), idPrefix_(NewIdPrefix()) {}

RegistryJournal RegistryJournal::OfThisRun() {
  const DWORD size = GetEnvironmentVariableW(kJournalVariable, nullptr, 0);
  if (size <= 1) return RegistryJournal();
  std::wstring file(size, L'\0');
  file.resize(GetEnvironmentVariableW(kJournalVariable, file.data(), size));
  return RegistryJournal(file);
}

bool RegistryJournal::Append(const std::string& line) {
  const Win32Handle handle(CreateFileW(file_->c_str(), FILE_APPEND_DATA,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  // One write a line: a program ended in the middle leaves a line or none.
  return handle &&
         WriteFile(handle.Get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr) &&
         written == line.size();
}

bool RegistryJournal::Keep(RegistryChange& change) {
  change.id = idPrefix_ + "." + std::to_string(++kept_);
  if (file_) return Append(LineOf(change));
  changes_.push_back(change);
  return true;
}

void RegistryJournal::Settle(const RegistryChange& change) {
  if (file_) {
    // Not kept: putting back finds the registry as before, and does nothing.
    Append(change.id + "\t" + kSettled + "\r\n");
  } else {
    settled_.push_back(change.id);
  }
}

std::vector<RegistryChange> RegistryJournal::Unsettled(Whose whose) const {
  std::vector<RegistryChange> changes = changes_;
  std::vector<std::string> settled = settled_;
  if (file_) {
    std::istringstream lines(ReadWholeFile(*file_));
    for (std::string line; std::getline(lines, line);) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      const std::vector<std::string_view> fields = FieldsOf(line);
      if (fields.size() == 2 && fields[1] == kSettled) {
        settled.emplace_back(fields[0]);
      } else if (std::optional<RegistryChange> change = ChangeOfLine(fields)) {
        changes.push_back(std::move(*change));
      }
    }
  }
  const auto leftOut = [&](const RegistryChange& change) {
    const bool mine = change.id.starts_with(idPrefix_ + ".");
    return std::find(settled.begin(), settled.end(), change.id) != settled.end() ||
           (whose == Whose::kMine && !mine) || (whose == Whose::kOthers && mine);
  };
  changes.erase(std::remove_if(changes.begin(), changes.end(), leftOut), changes.end());
  return changes;
}

std::vector<PutBackResult> RegistryJournal::PutBack(Whose whose) {
  std::vector<RegistryChange> changes = Unsettled(whose);
  std::vector<PutBackResult> results;
  for (auto change = changes.rbegin(); change != changes.rend(); ++change) {
    const Outcome outcome = Undo(*change);
    // A failure stays in the journal, for a later put back to try again.
    if (outcome != Outcome::kFailed) Settle(*change);
    results.push_back({change->guarded, outcome});
  }
  return results;
}

// ---- JournaledRegistry

JournaledRegistry::JournaledRegistry(RegistryJournal journal, std::vector<GuardedKey> guarded)
    : journal_(std::move(journal)), guarded_(std::move(guarded)) {}

JournaledRegistry::~JournaledRegistry() {
  try {
    journal_.PutBack(RegistryJournal::Whose::kMine);
  } catch (...) {
    // The journal keeps what is left, for the kit to put back.
  }
}

const GuardedKey* JournaledRegistry::GuardOf(const RegistryPlace& key) const {
  for (const GuardedKey& guard : guarded_) {
    if (guard.changedByTheKit && key.IsAtOrBelow(guard.place)) return &guard;
  }
  return nullptr;
}

bool JournaledRegistry::Keep(RegistryChange& change, const GuardedKey& guard) {
  change.guarded = guard.place.Name();
  return journal_.Keep(change);
}

LSTATUS JournaledRegistry::CreateKey(const RegistryPlace& key, DWORD options) {
  const GuardedKey* const guard = GuardOf(key);
  if (guard == nullptr) return ERROR_ACCESS_DENIED;
  return MakeKey(key, options, *guard);
}

LSTATUS JournaledRegistry::MakeKey(const RegistryPlace& key, DWORD options,
                                   const GuardedKey& guard) {
  // The first key on the path that is missing, and every one after it, is
  // made one at a time, so that each is kept.
  std::size_t end = 0;
  for (;; ++end) {
    end = key.path.find(L'\\', end);
    const RegistryPlace part{key.hive, key.view, key.path.substr(0, end)};
    const KeyState state = StateOf(part);
    if (state == KeyState::kUnreadable) return ERROR_ACCESS_DENIED;
    if (state == KeyState::kAbsent) break;
    if (end == std::wstring::npos) return ERROR_SUCCESS;
  }
  std::optional<RegistryChange> wow6432Node;
  if (IsRedirectedUserClass(key) && StateOf(kUserWow6432Node) == KeyState::kAbsent) {
    wow6432Node = RegistryChange{.kind = Kind::kMadeKey, .key = kUserWow6432Node};
    if (!Keep(*wow6432Node, guard)) return ERROR_CANNOT_MAKE;
  }
  LSTATUS status = ERROR_SUCCESS;
  for (;;) {
    const bool last = end == std::wstring::npos;
    RegistryChange made{.kind = Kind::kMadeKey,
                        .key = {key.hive, key.view, key.path.substr(0, end)}};
    if (!Keep(made, guard)) {
      status = ERROR_CANNOT_MAKE;
      break;
    }
    HKEY opened = nullptr;
    DWORD disposition = 0;
    status = RegCreateKeyExW(key.hive.root, made.key.path.c_str(), 0, nullptr,
                             last ? options : REG_OPTION_NON_VOLATILE, KEY_QUERY_VALUE | key.view,
                             nullptr, &opened, &disposition);
    if (status == ERROR_SUCCESS) RegCloseKey(opened);
    if (status != ERROR_SUCCESS || disposition != REG_CREATED_NEW_KEY) journal_.Settle(made);
    if (status != ERROR_SUCCESS || last) break;
    end = key.path.find(L'\\', end + 1);
  }
  // Wine keeps the user's 32-bit classes where the 64-bit ones are.
  if (wow6432Node && StateOf(kUserWow6432Node) == KeyState::kAbsent) journal_.Settle(*wow6432Node);
  return status;
}

LSTATUS JournaledRegistry::SetValue(const RegistryPlace& key, const std::wstring& name,
                                    const RegistryValue& value) {
  return ChangeValue(key, name, value);
}

LSTATUS JournaledRegistry::SetString(const RegistryPlace& key, const std::wstring& name,
                                     const std::wstring& text) {
  const auto* bytes = reinterpret_cast<const BYTE*>(text.c_str());
  return SetValue(key, name,
                  {REG_SZ, std::vector<BYTE>(bytes, bytes + (text.size() + 1) * sizeof(wchar_t))});
}

LSTATUS JournaledRegistry::DeleteValue(const RegistryPlace& key, const std::wstring& name) {
  return ChangeValue(key, name, std::nullopt);
}

LSTATUS JournaledRegistry::ChangeValue(const RegistryPlace& key, const std::wstring& name,
                                       const std::optional<RegistryValue>& after) {
  const GuardedKey* const guard = GuardOf(key);
  if (guard == nullptr) return ERROR_ACCESS_DENIED;
  const RegistryKey opened =
      RegistryKey::Open(key.hive.root, key.path, KEY_QUERY_VALUE | KEY_SET_VALUE | key.view);
  if (!opened) return opened.Status();
  LSTATUS status = ERROR_SUCCESS;
  const std::optional<RegistryValue> before = ReadValue(opened.Get(), name, status);
  if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) return status;
  if (before == after) return ERROR_SUCCESS;
  RegistryChange change{
      .kind = Kind::kValue, .key = key, .name = name, .before = before, .after = after};
  if (!Keep(change, *guard)) return ERROR_CANNOT_MAKE;
  status = WriteValue(opened.Get(), name, after);
  if (status != ERROR_SUCCESS) journal_.Settle(change);
  return status;
}

LSTATUS JournaledRegistry::DeleteKey(const RegistryPlace& key) {
  const GuardedKey* const guard = GuardOf(key);
  if (guard == nullptr) return ERROR_ACCESS_DENIED;
  const RegistryKey opened = RegistryKey::Open(key.hive.root, key.path, KEY_READ | key.view);
  if (!opened) return opened.Status();
  if (!opened.IsEmpty()) return ERROR_KEY_HAS_CHILDREN;
  // A key the kit made goes as if it had never been.
  for (const RegistryChange& made : journal_.Unsettled(RegistryJournal::Whose::kMine)) {
    if (made.kind != Kind::kMadeKey || !(made.key == key)) continue;
    const LSTATUS status = DeleteEmptyKey(key);
    if (status == ERROR_SUCCESS) journal_.Settle(made);
    return status;
  }
  RegistryChange change{
      .kind = Kind::kDeletedKey, .key = key, .security = SecurityOf(opened.Get())};
  // Never one that could not be made again as it was, its owner included.
  if (change.security.empty() || !MayOwn(OwnerOf(change.security))) return ERROR_ACCESS_DENIED;
  if (!Keep(change, *guard)) return ERROR_CANNOT_MAKE;
  const LSTATUS status = DeleteEmptyKey(key);
  if (status != ERROR_SUCCESS) journal_.Settle(change);
  return status;
}

LSTATUS JournaledRegistry::RenameKey(const RegistryPlace& key, const std::wstring& newName) {
  const GuardedKey* const guard = GuardOf(key);
  const RegistryPlace renamed = Beside(key, newName);
  if (guard == nullptr || GuardOf(renamed) != guard) return ERROR_ACCESS_DENIED;
  const std::optional<RegistryTree> tree = ReadTree(key);
  if (!tree) return ERROR_FILE_NOT_FOUND;
  // Everything that moves with it must be readable, to be put back.
  if (!WhollyReadable(*tree)) return ERROR_ACCESS_DENIED;
  if (StateOf(renamed) != KeyState::kAbsent) return ERROR_ALREADY_EXISTS;
  RegistryChange change{.kind = Kind::kRenamedKey, .key = key, .name = newName};
  if (!Keep(change, *guard)) return ERROR_CANNOT_MAKE;
  const LSTATUS status = RenameKeyInPlace(key, newName);
  if (status != ERROR_SUCCESS) journal_.Settle(change);
  return status;
}

std::vector<std::string> PutBackLines(const std::vector<PutBackResult>& results, bool& clean) {
  std::vector<std::wstring> order;
  std::map<std::wstring, std::pair<bool, bool>> byKey;  // failed, changed by others
  for (const PutBackResult& result : results) {
    if (!byKey.contains(result.guarded)) order.push_back(result.guarded);
    auto& [failed, others] = byKey[result.guarded];
    failed |= result.outcome == Outcome::kFailed;
    others |= result.outcome == Outcome::kChangedByOthers;
  }
  std::vector<std::string> lines;
  for (const std::wstring& key : order) {
    const auto [failed, others] = byKey[key];
    const std::string name = ToNarrow(key, NarrowEncoding::Utf8);
    clean &= !failed;
    if (failed) lines.push_back("COULD NOT put back " + name);
    if (others)
      lines.push_back(name + ": changed by another program during the run: left as it is");
    if (!failed && !others) lines.push_back("Put back " + name);
  }
  return lines;
}

}  // namespace selftest
