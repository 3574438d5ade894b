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

// A job that ends every process in it when the kit lets go of it.
Win32Handle KillOnCloseJob() {
  Win32Handle job(CreateJobObjectW(nullptr, nullptr));
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  if (job)
    SetInformationJobObject(job.Get(), JobObjectExtendedLimitInformation, &limits, sizeof limits);
  return job;
}

}  // namespace

ChildEnd RunChild(const std::filesystem::path& program, const std::vector<std::wstring>& arguments,
                  const std::optional<std::filesystem::path>& outputFile, DWORD timeoutMs,
                  RunStop& stop, OnStop onStop) {
  std::wstring commandLine = Quoted(program.wstring());
  for (const std::wstring& argument : arguments) commandLine += L" " + Quoted(argument);

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  Win32Handle input;
  Win32Handle output;
  startup.dwFlags = STARTF_USESTDHANDLES;
  if (outputFile) {
    input = InheritableFile(L"NUL", GENERIC_READ, OPEN_EXISTING);
    output = InheritableFile(outputFile->wstring(), GENERIC_WRITE, CREATE_ALWAYS);
    if (!input || !output) return {};
    startup.hStdInput = input.Get();
    startup.hStdOutput = output.Get();
    startup.hStdError = output.Get();
  } else {
    // The kit's own, a pipe as much as a console: an answer piped into
    // selftest.cmd reaches the program.
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  }
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, CREATE_SUSPENDED,
                      nullptr, nullptr, &startup, &info)) {
    return {};
  }
  const Win32Handle process(info.hProcess);
  const Win32Handle thread(info.hThread);
  // Where the kit itself runs in a job that allows none inside (Windows 7),
  // the program runs without one.
  const Win32Handle job = KillOnCloseJob();
  if (job) AssignProcessToJobObject(job.Get(), process.Get());
  ResumeThread(thread.Get());

  ChildEnd end{.started = true};
  const bool endAtOnce = onStop == OnStop::kEndAtOnce;
  RunStop::Waited waited = stop.WaitFor(process.Get(), timeoutMs, true, endAtOnce);
  if (waited == RunStop::Waited::kStopped) {
    end.stopped = true;
    if (!endAtOnce) waited = stop.WaitFor(process.Get(), kLetFinishMs, false, false);
  }
  if (waited != RunStop::Waited::kDone) {
    end.timedOut = !end.stopped;
    end.ended = true;
    TerminateProcess(process.Get(), ERROR_TIMEOUT);
    WaitForSingleObject(process.Get(), INFINITE);
  }
  GetExitCodeProcess(process.Get(), &end.exitCode);
  return end;
}

}  // namespace selftest
