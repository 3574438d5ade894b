#include "started_program.h"

#include <vector>

#include "selftest/common/card_check_contract.h"

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
  // Ctrl+Break reaches a process group of its own; Ctrl+C cannot be limited
  // to one on Windows. Wine sends only Ctrl+C, and to a group: that where
  // Ctrl+Break cannot be sent.
  if (!GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, id_)) GenerateConsoleCtrlEvent(CTRL_C_EVENT, id_);
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

}  // namespace selftest
