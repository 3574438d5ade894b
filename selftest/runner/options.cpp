#include "options.h"

#include <windows.h>

namespace selftest {

std::optional<Options> ParseOptions(const std::vector<std::wstring>& arguments,
                                    std::wstring& error) {
  Options options;
  for (const std::wstring& argument : arguments) {
    const auto is = [&](const wchar_t* name) { return _wcsicmp(argument.c_str(), name) == 0; };
    std::optional<Mode> mode;
    if (is(L"/quick") || is(L"-quick")) {
      options.quick = true;
    } else if (is(L"/user") || is(L"-user")) {
      mode = Mode::kUser;
    } else if (is(L"/machine") || is(L"-machine")) {
      mode = Mode::kMachine;
    } else if (is(L"/card") || is(L"-card")) {
      mode = Mode::kCard;
    } else {
      error = L"unknown option " + argument;
      return std::nullopt;
    }
    if (mode) {
      if (options.mode != Mode::kAutomatic && options.mode != *mode) {
        error = L"choose one of /user, /machine and /card";
        return std::nullopt;
      }
      options.mode = *mode;
    }
  }
  return options;
}

}  // namespace selftest
