#include "common/win32_text.h"

#include <windows.h>

namespace {

UINT CodePage(NarrowEncoding encoding) {
  return encoding == NarrowEncoding::Utf8 ? CP_UTF8 : CP_ACP;
}

}  // namespace

std::wstring ToWide(std::string_view text, NarrowEncoding encoding) {
  if (text.empty()) return {};
  const UINT page = CodePage(encoding);
  const int inLength = static_cast<int>(text.size());
  const int outLength = MultiByteToWideChar(page, 0, text.data(), inLength, nullptr, 0);
  if (outLength <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(outLength), L'\0');
  MultiByteToWideChar(page, 0, text.data(), inLength, wide.data(), outLength);
  return wide;
}

std::string ToNarrow(std::wstring_view text, NarrowEncoding encoding) {
  if (text.empty()) return {};
  const UINT page = CodePage(encoding);
  const int inLength = static_cast<int>(text.size());
  const int outLength =
      WideCharToMultiByte(page, 0, text.data(), inLength, nullptr, 0, nullptr, nullptr);
  if (outLength <= 0) return {};
  std::string narrow(static_cast<std::size_t>(outLength), '\0');
  WideCharToMultiByte(page, 0, text.data(), inLength, narrow.data(), outLength, nullptr, nullptr);
  return narrow;
}
