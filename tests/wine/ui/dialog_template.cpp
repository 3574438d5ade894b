#include "dialog_template.h"

#include "common/little_endian_reader.h"

namespace ostrel_ui {

namespace {

std::wstring String(LittleEndianReader& r) {
  std::wstring text;
  for (std::uint16_t c = r.Word(); r.Ok() && c != 0; c = r.Word()) {
    text.push_back(static_cast<wchar_t>(c));
  }
  return text;
}

// A string, or 0xFFFF and an ordinal (returned as "#n"), or nothing.
std::wstring StringOrOrdinal(LittleEndianReader& r) {
  const std::uint16_t first = r.Word();
  if (first == 0 || !r.Ok()) return {};
  if (first == 0xFFFF) return L"#" + std::to_wstring(r.Word());
  std::wstring text(1, static_cast<wchar_t>(first));
  return text + String(r);
}

int Short(LittleEndianReader& r) {
  return static_cast<std::int16_t>(r.Word());
}

// On to the next multiple of alignment from start, where the template
// begins; an empty read tells where the reader is.
void Align(LittleEndianReader& r, const std::uint8_t* start, std::size_t alignment) {
  if (!r.Ok()) return;
  const auto position = static_cast<std::size_t>(r.Bytes(0).data() - start);
  r.Bytes((alignment - position % alignment) % alignment);
}

std::wstring PredefinedClassName(const std::wstring& name) {
  if (name == L"#128") return L"Button";
  if (name == L"#129") return L"Edit";
  if (name == L"#130") return L"Static";
  if (name == L"#131") return L"ListBox";
  if (name == L"#132") return L"ScrollBar";
  if (name == L"#133") return L"ComboBox";
  return name;
}

}  // namespace

std::optional<DialogTemplate> ParseDialogTemplate(std::span<const std::uint8_t> data) {
  LittleEndianReader r(data);
  if (r.Word() != 1 || r.Word() != 0xFFFF) return std::nullopt;
  DialogTemplate dialog;
  r.DoubleWord();  // help id
  dialog.exStyle = r.DoubleWord();
  dialog.style = r.DoubleWord();
  const int count = r.Word();
  Short(r);
  Short(r);
  dialog.width = Short(r);
  dialog.height = Short(r);
  StringOrOrdinal(r);  // menu
  StringOrOrdinal(r);  // class
  dialog.caption = String(r);
  if (dialog.style & (DS_SETFONT | DS_SHELLFONT)) {
    dialog.pointSize = r.Word();
    r.Word();    // weight
    r.Bytes(2);  // italic, character set
    dialog.font = String(r);
  }
  for (int i = 0; i < count && r.Ok(); ++i) {
    Align(r, data.data(), 4);
    TemplateItem item;
    r.DoubleWord();  // help id
    item.exStyle = r.DoubleWord();
    item.style = r.DoubleWord();
    item.x = Short(r);
    item.y = Short(r);
    item.width = Short(r);
    item.height = Short(r);
    item.id = static_cast<int>(r.DoubleWord());
    item.className = PredefinedClassName(StringOrOrdinal(r));
    item.text = StringOrOrdinal(r);
    r.Bytes(r.Word());  // creation data
    dialog.items.push_back(item);
  }
  if (!r.Ok()) return std::nullopt;
  return dialog;
}

}  // namespace ostrel_ui

namespace ostrel_ui {

bool SameClassName(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

std::vector<std::uint8_t> DialogTemplateBytes(const std::wstring& exe, int id) {
  HMODULE module = LoadLibraryExW(exe.c_str(), nullptr,
                                  LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (module == nullptr) return {};
  std::vector<std::uint8_t> bytes;
  if (HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), RT_DIALOG); found != nullptr) {
    const auto* first = static_cast<const std::uint8_t*>(LockResource(LoadResource(module, found)));
    if (first != nullptr) bytes.assign(first, first + SizeofResource(module, found));
  }
  FreeLibrary(module);
  return bytes;
}

std::optional<DialogTemplate> LoadDialogTemplate(const std::wstring& exe, int id) {
  const std::vector<std::uint8_t> bytes = DialogTemplateBytes(exe, id);
  if (bytes.empty()) return std::nullopt;
  return ParseDialogTemplate(bytes);
}

}  // namespace ostrel_ui
