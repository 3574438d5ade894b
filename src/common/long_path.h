#pragma once

#include <optional>
#include <string>

// The names of Windows files, made here rather than beside the Win32 calls so
// that they can be checked on any system.

// fullPath (fully qualified, with backslashes, as GetFullPathNameW gives it)
// in the extended-length form, which the Win32 file functions accept at any
// length: "\\?\" before a drive path, "\\?\UNC\" in place of the leading
// "\\" of a network path. Nothing when fullPath is short enough to be used as
// it is, is in that form already, or is neither a drive nor a network path.
std::optional<std::wstring> ExtendedLengthForm(const std::wstring& fullPath);

// "<target>.<process>-<attempt>.tmp": a save's temporary file beside target.
std::wstring TemporaryNameBeside(const std::wstring& target, unsigned long process,
                                 unsigned attempt);
