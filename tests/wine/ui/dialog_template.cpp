#include "dialog_template.h"

namespace ostrel_ui {

namespace {

class Reader {
 public:
  explicit Reader(std::span<const std::uint8_t> data) : data_(data) {}

  bool Ok() const { return ok_; }

  std::uint16_t Word() {
    if (data_.size() - pos_ < 2) {
      ok_ = false;
      return 0;
    }
    const auto value = static_cast<std::uint16_t>(data_[pos_] | data_[pos_ + 1] << 8);
    pos_ += 2;
    return value;
  }
  DWORD DoubleWord() {
    const DWORD low = Word();
    return static_cast<DWORD>(Word()) << 16 | low;
  }
  int Short() { return static_cast<std::int16_t>(Word()); }
  std::uint8_t Byte() {
    if (pos_ >= data_.size()) {
      ok_ = false;
      return 0;
    }
    return data_[pos_++];
  }
  std::wstring String() {
    std::wstring text;
    for (std::uint16_t c = Word(); ok_ && c != 0; c = Word())
      text.push_back(static_cast<wchar_t>(c));
    return text;
  }
  // A string, or 0xFFFF and an ordinal (returned as "#n"), or nothing.
  std::wstring StringOrOrdinal() {
    const std::uint16_t first = Word();
    if (first == 0) return {};
    if (first == 0xFFFF) return L"#" + std::to_wstring(Word());
    std::wstring text(1, static_cast<wchar_t>(first));
    return text + String();
  }
  void AlignToDoubleWord() { pos_ = (pos_ + 3) & ~std::size_t{3}; }
  void Skip(std::size_t n) {
    if (data_.size() - pos_ < n) ok_ = false;
    pos_ = ok_ ? pos_ + n : data_.size();
  }

 private:
  std::span<const std::uint8_t> data_;
  std::size_t pos_ = 0;
  bool ok_ = true;
};

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
  Reader r(data);
  if (r.Word() != 1 || r.Word() != 0xFFFF) return std::nullopt;
  DialogTemplate dialog;
  r.DoubleWord();  // help id
  dialog.exStyle = r.DoubleWord();
  dialog.style = r.DoubleWord();
  const int count = r.Word();
  r.Short();
  r.Short();
  dialog.width = r.Short();
  dialog.height = r.Short();
  r.StringOrOrdinal();  // menu
  r.StringOrOrdinal();  // class
  dialog.caption = r.String();
  if (dialog.style & (DS_SETFONT | DS_SHELLFONT)) {
    dialog.pointSize = r.Word();
    r.Word();  // weight
    r.Byte();  // italic
    r.Byte();  // character set
    dialog.font = r.String();
  }
  for (int i = 0; i < count && r.Ok(); ++i) {
    r.AlignToDoubleWord();
    TemplateItem item;
    r.DoubleWord();  // help id
    item.exStyle = r.DoubleWord();
    item.style = r.DoubleWord();
    item.x = r.Short();
    item.y = r.Short();
    item.width = r.Short();
    item.height = r.Short();
    item.id = static_cast<int>(r.DoubleWord());
    item.className = PredefinedClassName(r.StringOrOrdinal());
    item.text = r.StringOrOrdinal();
    r.Skip(r.Word());  // creation data
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

std::optional<DialogTemplate> LoadDialogTemplate(const std::wstring& exe, int id) {
  HMODULE module = LoadLibraryExW(exe.c_str(), nullptr,
                                  LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (module == nullptr) return std::nullopt;
  std::optional<DialogTemplate> parsed;
  if (HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), RT_DIALOG); found != nullptr) {
    const auto* bytes = static_cast<const std::uint8_t*>(LockResource(LoadResource(module, found)));
    if (bytes != nullptr) parsed = ParseDialogTemplate({bytes, SizeofResource(module, found)});
  }
  FreeLibrary(module);
  return parsed;
}

}  // namespace ostrel_ui
