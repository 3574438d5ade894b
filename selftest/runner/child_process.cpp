#include "child_process.h"

#include "common/win32_handle.h"

namespace selftest {

namespace {

// Quotes an argument with spaces; the kit's arguments hold no quotes and no
// trailing backslash.
std::wstring Quoted(const std::wstring& argument) {
  return argument.find_first_of(L" \t") == std::wstring::npos ? argument : L"\"" + argument + L"\"";
}

Win32Handle InheritableFile(const std::wstring& path, DWORD access, DWORD disposition) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  return Win32Handle(CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                 disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
}

}  // namespace

std::wstring CommandLine(const std::filesystem::path& program,
                         const std::vector<std::wstring>& arguments) {
  std::wstring commandLine = Quoted(program.wstring());
  for (const std::wstring& argument : arguments) commandLine += L" " + Quoted(argument);
  return commandLine;
}

ChildEnd RunChild(const std::filesystem::path& program, const std::vector<std::wstring>& arguments,
                  const std::filesystem::path& outputFile, DWORD timeoutMs, RunStop& stop) {
  const Win32Handle input = InheritableFile(L"NUL", GENERIC_READ, OPEN_EXISTING);
  const Win32Handle output = InheritableFile(outputFile.wstring(), GENERIC_WRITE, CREATE_ALWAYS);
  if (!input || !output) return {};
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = input.Get();
  startup.hStdOutput = output.Get();
  startup.hStdError = output.Get();
  StartedProgram child(program, CommandLine(program, arguments), startup, ProgramKind::kTest);
  if (!child) return {};

  ChildEnd end{.started = true};
  const RunStop::Waited waited = stop.WaitFor(child, timeoutMs, true);
  end.stopped = waited == RunStop::Waited::kStopped;
  end.timedOut = waited == RunStop::Waited::kTimedOut;
  end.leftRunning = !child.EndAll();
  end.ended = child.EndedByKit();
  end.exitCode = child.ExitCode();
  return end;
}

}  // namespace selftest
