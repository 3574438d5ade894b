#include "started_program.h"

#include "selftest/common/card_check_contract.h"

namespace selftest {

namespace {

// Ending a process takes the system a moment; one that is still there after
// this is stuck (in a driver, say) and reported.
constexpr DWORD kEndWaitMs = 5000;
constexpr DWORD kPollMs = 10;

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

// The processes of the job that have not ended yet; 0 when it cannot be
// asked.
DWORD ActiveProcesses(HANDLE job) {
  JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting{};
  if (!QueryInformationJobObject(job, JobObjectBasicAccountingInformation, &accounting,
                                 sizeof accounting, nullptr)) {
    return 0;
  }
  return accounting.ActiveProcesses;
}

bool WaitUntilNoneIsLeft(HANDLE job) {
  const ULONGLONG deadline = GetTickCount64() + kEndWaitMs;
  while (ActiveProcesses(job) != 0) {
    if (GetTickCount64() >= deadline) return false;
    Sleep(kPollMs);
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
  if (job_) {
    TerminateJobObject(job_.Get(), ERROR_PROCESS_ABORTED);
    return WaitUntilNoneIsLeft(job_.Get());
  }
  TerminateProcess(process_.Get(), ERROR_PROCESS_ABORTED);
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
