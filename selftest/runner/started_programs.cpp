#include "started_programs.h"

#include <utility>
#include <vector>

#include "selftest/common/card_check_contract.h"
#include "selftest/common/guarded_keys.h"

namespace selftest {

namespace {

// Ending a process takes the system a moment; one that is still there after
// this is stuck (in a driver, say) and reported.
constexpr DWORD kEndWaitMs = 5000;

// A job that ends every process in it when the kit lets go of it, also when
// the kit itself is killed.
Win32Handle KillOnCloseJob() {
  Win32Handle job(CreateJobObjectW(nullptr, nullptr));
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  if (job)
    SetInformationJobObject(job.Get(), JobObjectExtendedLimitInformation, &limits, sizeof limits);
  return job;
}

// Far more than a test program starts.
constexpr DWORD kListedProcesses = 64;

// The processes of the job, as far as the system lists them. A process that
// has ended stays listed until its last handle is closed.
std::vector<ULONG_PTR> ProcessesOf(HANDLE job) {
  struct {
    JOBOBJECT_BASIC_PROCESS_ID_LIST list;
    ULONG_PTR more[kListedProcesses - 1];
  } ids{};
  if (!QueryInformationJobObject(job, JobObjectBasicProcessIdList, &ids, sizeof ids, nullptr)) {
    return {};
  }
  return std::vector<ULONG_PTR>(ids.list.ProcessIdList,
                                ids.list.ProcessIdList + ids.list.NumberOfProcessIdsInList);
}

// Waits until every process of the job has ended (its handles closed with
// it), until the deadline.
bool WaitUntilNoneIsLeft(HANDLE job, ULONGLONG deadline) {
  for (const ULONG_PTR id : ProcessesOf(job)) {
    const Win32Handle process(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE,
                                          static_cast<DWORD>(id)));
    BOOL inJob = FALSE;
    // Gone already, or the number reused by a program of another job.
    if (!process || !IsProcessInJob(process.Get(), job, &inJob) || !inJob) continue;
    const ULONGLONG now = GetTickCount64();
    const DWORD left = now < deadline ? static_cast<DWORD>(deadline - now) : 0;
    if (WaitForSingleObject(process.Get(), left) != WAIT_OBJECT_0) return false;
  }
  return true;
}

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

// Long enough for the card check to finish its request and put the card
// back, and for the kit to put everything back then.
constexpr DWORD kConsolePatienceMs = kCardCheckStopWaitMs + 10000;

// The thread's windows get what was sent or posted to them.
void AnswerMessages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

}  // namespace

StartedProgram::StartedProgram(const std::filesystem::path& program, std::wstring commandLine,
                               STARTUPINFOW& startup, ProgramKind kind)
    : kind_(kind) {
  const DWORD flags =
      CREATE_SUSPENDED | (kind == ProgramKind::kCardCheck ? CREATE_NEW_PROCESS_GROUP : 0);
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, flags, nullptr,
                      nullptr, &startup, &info)) {
    return;
  }
  process_ = Win32Handle(info.hProcess);
  const Win32Handle thread(info.hThread);
  id_ = info.dwProcessId;
  if (kind == ProgramKind::kTest) {
    // Where the kit itself runs in a job that allows none inside (Windows 7),
    // the program runs without one and is ended on its own.
    job_ = KillOnCloseJob();
    if (job_ && !AssignProcessToJobObject(job_.Get(), process_.Get())) job_ = Win32Handle();
  }
  ResumeThread(thread.Get());
}

DWORD StartedProgram::ExitCode() const {
  DWORD code = 0;
  GetExitCodeProcess(process_.Get(), &code);
  return code;
}

void StartedProgram::TellToStop() const {
  // Windows sends a process group of its own only Ctrl+Break: a Ctrl+C to a
  // group is not received. Wine does send a Ctrl+C to a group; its Ctrl+Break
  // is refused (Wine 8) or ends the program's main thread without calling a
  // handler (Wine 10), and with it the check's put-back.
  GenerateConsoleCtrlEvent(WineVersion().empty() ? CTRL_BREAK_EVENT : CTRL_C_EVENT, id_);
}

bool StartedProgram::EndAll() {
  if (!process_) return true;
  if (!HasEnded()) endedByKit_ = true;
  const ULONGLONG deadline = GetTickCount64() + kEndWaitMs;
  if (job_) {
    TerminateJobObject(job_.Get(), ERROR_PROCESS_ABORTED);
    if (!WaitUntilNoneIsLeft(job_.Get(), deadline)) return false;
  } else {
    TerminateProcess(process_.Get(), ERROR_PROCESS_ABORTED);
  }
  return WaitForSingleObject(process_.Get(), kEndWaitMs) == WAIT_OBJECT_0;
}

void StartedProgram::EndBeforeTheSession() {
  if (kind_ == ProgramKind::kCardCheck) {
    TellToStop();
    WaitForSingleObject(process_.Get(), kCardCheckCloseWaitMs);
  }
  EndAll();
}

RunStop::RunStop() : console_(kConsolePatienceMs) {}

DWORD RunStop::PatienceWithTheTold() const {
  return sessionEnding_ || console_.Closing() ? kCardCheckCloseWaitMs : kCardCheckStopWaitMs;
}

RunStop::Waited RunStop::WaitFor(StartedProgram& program, DWORD timeoutMs, bool untilStop) {
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  StartedProgram* const previous = std::exchange(waitedFor_, &program);
  Waited waited = Waited::kTimedOut;
  for (;;) {
    if (untilStop && Requested()) {
      waited = Waited::kStopped;
      break;
    }
    const ULONGLONG now = GetTickCount64();
    if (timeoutMs != INFINITE && now >= deadline) break;
    const DWORD left = timeoutMs == INFINITE ? INFINITE : static_cast<DWORD>(deadline - now);
    const HANDLE handles[] = {program.Process(), console_.RequestedEvent()};
    const DWORD count = untilStop ? 2 : 1;
    const DWORD result = MsgWaitForMultipleObjects(count, handles, FALSE, left, QS_ALLINPUT);
    if (result == WAIT_OBJECT_0) {
      waited = Waited::kDone;
      break;
    }
    if (result == WAIT_OBJECT_0 + count) {
      AnswerMessages();
    } else if (result != WAIT_OBJECT_0 + 1) {
      break;  // timed out, or the handle is no longer one to wait on
    }
  }
  waitedFor_ = previous;
  return waited;
}

void RunStop::EndSession() {
  sessionEnding_ = true;
  if (waitedFor_ != nullptr) waitedFor_->EndBeforeTheSession();
}

std::wstring CommandLine(const std::filesystem::path& program,
                         const std::vector<std::wstring>& arguments) {
  std::wstring commandLine = Quoted(program.wstring());
  for (const std::wstring& argument : arguments) commandLine += L" " + Quoted(argument);
  return commandLine;
}

TestProgramEnd RunTestProgram(const std::filesystem::path& program,
                              const std::vector<std::wstring>& arguments,
                              const std::filesystem::path& outputFile, DWORD timeoutMs,
                              RunStop& stop) {
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

  TestProgramEnd end{.started = true};
  const RunStop::Waited waited = stop.WaitFor(child, timeoutMs, true);
  end.stopped = waited == RunStop::Waited::kStopped;
  end.timedOut = waited == RunStop::Waited::kTimedOut;
  end.leftRunning = !child.EndAll();
  end.endedByKit = child.EndedByKit();
  end.exitCode = child.ExitCode();
  return end;
}

}  // namespace selftest
