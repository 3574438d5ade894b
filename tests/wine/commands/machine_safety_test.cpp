// The real program among the things around it on an operator's PC: DLLs
// planted beside it, a shutdown asked for in the middle of a command, a
// second Ostrel on the same card, a scanner holding the file being saved.

#include <gtest/gtest.h>

#include <algorithm>
#include <utility>

#include "capture_registry.h"
#include "command_end_to_end.h"
#include "selftest/common/guarded_keys.h"
#include "selftest/common/registry_journal.h"
#include "simcard/com/request_hold.h"

namespace ostrel_commands {
namespace {

using ostrel_ui::BoxIcon;
using ostrel_ui::OstrelProcess;
using ostrel_ui::WaitUntil;

constexpr wchar_t kBoardStored[] = L"Board EEPROM content successfully stored to file!";
constexpr wchar_t kBoardFailed[] = L"Reading out Board EEPROM content failed!!!";
constexpr wchar_t kDspReading[] = L"Reading from DSP-EEPROM...";
constexpr wchar_t kDspStored[] = L"DSP EEPROM content successfully stored to file!";
constexpr wchar_t kCardInUse[] =
    L"Another Ostrel is using the card. Try again when it has finished.";
constexpr wchar_t kSlept[] =
    L"The PC went to sleep during the command, which was stopped. Run the command again.";
constexpr wchar_t kCutOff[] =
    L"The last command on the card was cut off, and the card may not have been put back. "
    L"Restart the PC, then try again.";

// Wine loads its own built-in DLLs first unless told otherwise, per program;
// Windows needs no telling. Put back, through the kit's journal, when it goes.
class NativeDllsFirst {
 public:
  explicit NativeDllsFirst(std::initializer_list<const wchar_t*> dlls)
      : registry_(selftest::RegistryJournal::OfThisRun()) {
    if (selftest::WineVersion().empty()) return;
    const selftest::RegistryPlace overrides{
        selftest::kUserHive, KEY_WOW64_32KEY,
        L"Software\\Wine\\AppDefaults\\ostrel.exe\\DllOverrides"};
    EXPECT_EQ(registry_.CreateKey(overrides), ERROR_SUCCESS);
    for (const wchar_t* dll : dlls) {
      EXPECT_EQ(registry_.SetString(overrides, dll, L"native,builtin"), ERROR_SUCCESS);
    }
  }

 private:
  selftest::JournaledRegistry registry_;
};

class OnThePc : public CommandEndToEnd {
 protected:
  // What the dialog answers the system asking whether the session may end;
  // nothing when it did not answer.
  std::optional<bool> AgreesToEndSession() const {
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutW(Dialog(), WM_QUERYENDSESSION, 0, 0, SMTO_NORMAL, 5000, &answer)) {
      return std::nullopt;
    }
    return answer != 0;
  }
  // Windows ending the session once the program has agreed to it:
  // WM_ENDSESSION with ending as its wParam and why (a log-off, an
  // installer's restart manager, 0 for a shutdown) as its lParam. How long
  // the program took to handle it; nothing when it did not answer.
  std::optional<ULONGLONG> EndSession(bool ending, DWORD why = ENDSESSION_LOGOFF) const {
    const ULONGLONG start = GetTickCount64();
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutW(Dialog(), WM_ENDSESSION, ending ? TRUE : FALSE,
                             static_cast<LPARAM>(why), SMTO_NORMAL, 5000, &answer)) {
      return std::nullopt;
    }
    return GetTickCount64() - start;
  }
  // The session ends as Windows or an installer ends it (asked, told, then
  // WM_CLOSE for a program still there, as the restart manager sends it):
  // the program puts the card back and ends by itself, with nothing forced.
  void ExpectEndsByItself(DWORD why, const std::string& what, const Here& where = Here::current()) {
    const CallerTrace caller(where);
    EXPECT_EQ(AgreesToEndSession(), true);
    const ULONGLONG start = GetTickCount64();
    ASSERT_TRUE(EndSession(true, why)) << "no answer to WM_ENDSESSION";
    PostMessageW(Dialog(), WM_CLOSE, 0, 0);
    ASSERT_TRUE(program_->WaitForExit()) << "still running";
    std::printf("duration: ended by itself in %llu ms (%s)\n", GetTickCount64() - start,
                what.c_str());
    EXPECT_EQ(program_->ExitCode(), 0u);
  }
  std::optional<bool> AgreesToEndSessionWhileHeld(const simcard::com::RequestHold& hold) const {
    const std::optional<LRESULT> answer = SendWhileHeld(Dialog(), hold, WM_QUERYENDSESSION);
    if (!answer) return std::nullopt;
    return *answer != 0;
  }
  std::size_t RequestsOf(const OstrelProcess& process) const {
    std::size_t count = 0;
    for (const LoggedTransaction& t : card_.Log()) count += t.process == process.Id() ? 1 : 0;
    return count;
  }
  // A box of the command waits for the operator: the session may end
  // meanwhile. Answers it.
  void AnswerBoxLettingTheSessionEnd(const std::wstring& text,
                                     const Here& where = Here::current()) {
    const CallerTrace caller(where);
    ASSERT_TRUE(ostrel_ui::WaitForMessageBox(*program_, L"Ostrel", kTransferTimeoutMs));
    EXPECT_EQ(AgreesToEndSession(), true) << testing::PrintToString(text);
    AnswerBox(L"Ostrel", text, BoxIcon::Stop);
  }
  // The other program becomes the one the helpers drive.
  void SwitchTo(std::unique_ptr<OstrelProcess>& other) { std::swap(program_, other); }
};

TEST_F(OnThePc, DllsPlantedBesideTheProgramAreNeverLoaded) {
  const std::filesystem::path downloads = files_.path() / "Downloads";
  std::filesystem::create_directories(downloads);
  const std::filesystem::path exe = ostrel_ui::OstrelExePath();
  std::filesystem::copy_file(exe, downloads / "ostrel.exe");
  for (const char* dll : {"winmm.dll", "msacm32.dll"}) {
    std::filesystem::copy_file(exe.parent_path() / "planted" / dll, downloads / dll);
  }
  const NativeDllsFirst nativeFirst({L"winmm", L"msacm32"});
  const Bytes board = DistinctBytes(256, 61);
  card_.SetBoard(board);
  ASSERT_NO_FATAL_FAILURE(StartProgram((downloads / "ostrel.exe").wstring()));

  ASSERT_TRUE(SaveTo(downloads / "board.bin"));
  ASSERT_TRUE(WaitForStatus(kBoardStored)) << testing::PrintToString(Status());
  EXPECT_EQ(ReadWholeFile(downloads / "board.bin"), board);
  // The status comes before the buttons are enabled again; a click on a
  // disabled button does nothing.
  ASSERT_TRUE(WaitForCommandsEnabled());
  ostrel_ui::Click(Item(IDOK));
  ASSERT_TRUE(program_->WaitForExit());
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(downloads)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names,
            (std::vector<std::string>{"board.bin", "msacm32.dll", "ostrel.exe", "winmm.dll"}))
      << "a .loaded mark names a planted DLL that ran";
}

TEST_F(OnThePc, ASecondOstrelIsRefusedWhileTheFirstReadsAndSucceedsAfter) {
  const Bytes board = DistinctBytes(256, 62);
  card_.SetBoard(board);
  card_.SetDsp(DistinctBytes(32768, 63));
  ASSERT_NO_FATAL_FAILURE(StartProgram());
  ASSERT_NO_FATAL_FAILURE(SelectChannelDecoder());
  EXPECT_EQ(AgreesToEndSession(), true) << "idle";

  // The second one waits in its file dialog while the first starts reading.
  std::unique_ptr<OstrelProcess> other;
  SwitchTo(other);
  ASSERT_NO_FATAL_FAILURE(StartProgram());
  const std::filesystem::path second = files_.path() / "second";
  std::filesystem::create_directories(second);
  const Bytes previous = DistinctBytes(256, 64);
  WriteWholeFile(second / "board.bin", previous);
  ostrel_ui::Click(Item(IDC_SAVE_TO_FILE));
  ASSERT_NE(program_->WaitForDialog(), nullptr);
  SwitchTo(other);
  ASSERT_TRUE(SaveTo(files_ / "dsp.bin"));
  ASSERT_TRUE(WaitUntil([&] { return Progress() > 0; }, kTransferTimeoutMs));
  EXPECT_EQ(AgreesToEndSession(), false) << "during a DSP save";

  SwitchTo(other);
  ASSERT_TRUE(ostrel_ui::AnswerFileDialog(*program_, (second / "board.bin").wstring()));
  AnswerBox(L"Ostrel", kCardInUse, BoxIcon::Stop);
  ASSERT_TRUE(WaitForStatus(kBoardFailed)) << testing::PrintToString(Status());
  EXPECT_TRUE(WaitForProgress(0)) << Progress();
  EXPECT_TRUE(WaitForCommandsEnabled());
  EXPECT_EQ(ReadWholeFile(second / "board.bin"), previous);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(second), {}), 1);
  EXPECT_EQ(AgreesToEndSession(), true) << "the refused one is idle";

  SwitchTo(other);
  EXPECT_EQ(Status(), kDspReading) << "the first was still reading";
  ASSERT_TRUE(WaitForStatus(kDspStored)) << testing::PrintToString(Status());
  EXPECT_EQ(AgreesToEndSession(), true) << "after a DSP save";
  EXPECT_EQ(RequestsOf(*other), 0u) << "no request of the refused one";

  SwitchTo(other);
  ASSERT_TRUE(SaveTo(second / "board.bin"));
  ASSERT_TRUE(WaitForStatus(kBoardStored)) << testing::PrintToString(Status());
  EXPECT_EQ(ReadWholeFile(second / "board.bin"), board);
  EXPECT_EQ(RequestsOf(*program_), 32u);
  EXPECT_EQ(AgreesToEndSession(), true) << "after a board save";
}

TEST_F(OnThePc, NoShutdownDuringABoardWriteAndAKilledOstrelsCutIsToldOnce) {
  card_.SetBoard(Bytes(256, 0xFF));
  const Bytes image = DistinctBytes(256, 65);
  WriteWholeFile(files_ / "image.bin", image);
  // The 100th byte's write, and the read-back's first request: its answer
  // comes in the pause before the comparison.
  const simcard::com::RequestHold hold;
  card_.SetConfig("hold_event=" + hold.Name() + "\nhold_request=100\nhold_request=257\n");
  ASSERT_NO_FATAL_FAILURE(StartProgram());

  ASSERT_TRUE(WriteFrom(files_ / "image.bin"));
  EXPECT_EQ(AgreesToEndSessionWhileHeld(hold), false) << "while writing";
  EXPECT_EQ(AgreesToEndSessionWhileHeld(hold), false) << "while verifying";
  AnswerBox(L"Ostrel", L"Please reboot the system to apply the new settings!",
            BoxIcon::Exclamation);
  EXPECT_EQ(AgreesToEndSession(), true) << "after a board write";
  EXPECT_EQ(card_.Board(), image);
  const std::vector<LoggedTransaction> log = card_.Log();
  ASSERT_EQ(log.size(), 256u + 32u);
  EXPECT_EQ(log[99].kind, "SET") << "held: a write";
  EXPECT_EQ(log[256].kind, "GET") << "held: a read-back";
  card_.SetConfig("");

  // Killed in the middle of a DSP save: the lock it held is abandoned.
  ASSERT_NO_FATAL_FAILURE(SelectChannelDecoder());
  ASSERT_TRUE(SaveTo(files_ / "dsp.bin"));
  ASSERT_TRUE(WaitUntil([&] { return Progress() > 0; }, kTransferTimeoutMs));
  // Held open here, the lock outlives the program: the next one finds it
  // abandoned. Any user's program may open it.
  const Win32Handle lock(OpenMutexW(SYNCHRONIZE, FALSE, L"Global\\Ostrel.CardLock"));
  ASSERT_TRUE(lock);
  EXPECT_EQ(WaitForSingleObject(lock.Get(), 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "held";
  program_.reset();

  // The next command is told, and touches nothing; the one after it takes
  // the lock as usual.
  ASSERT_NO_FATAL_FAILURE(StartProgram());
  ASSERT_TRUE(SaveTo(files_ / "board.bin"));
  AnswerBox(L"Ostrel", kCutOff, BoxIcon::Stop);
  ASSERT_TRUE(WaitForStatus(kBoardFailed)) << testing::PrintToString(Status());
  EXPECT_TRUE(WaitForProgress(0)) << Progress();
  EXPECT_TRUE(WaitForCommandsEnabled());
  EXPECT_FALSE(std::filesystem::exists(files_ / "board.bin"));
  EXPECT_EQ(RequestsOf(*program_), 0u);
  ASSERT_TRUE(SaveTo(files_ / "board.bin"));
  ASSERT_TRUE(WaitForStatus(kBoardStored)) << testing::PrintToString(Status());
  EXPECT_EQ(ReadWholeFile(files_ / "board.bin"), image);
  EXPECT_EQ(RequestsOf(*program_), 32u);
}

// The session ends while a failure box waits: Windows (a log-off, a
// shutdown) or an installer's restart manager asks, is told yes, ends the
// session and sends WM_CLOSE, and the program ends by itself, its box
// closed. By then the channel decoder is back, the connection closed and
// the command's own files gone. Cancelled (wParam FALSE), the end changes
// nothing: the command goes on as it would have, restores the channel
// decoder once, and the idle program ends at the next end.
TEST_F(OnThePc, TheSessionsEndWhileAFailureBoxWaitsPutsTheCardBackAndEndsTheProgram) {
  struct LogOff {
    const char* what;
    bool dsp;
    bool save;
    std::wstring box;
    std::size_t requests;  // the failed one last but for the restore
    bool ending;           // WM_ENDSESSION's wParam
    DWORD why;             // its lParam
  };
  const LogOff logOffs[] = {
      {"DSP save", true, true, L"ReadEEPROM: I2C-read to DSP EEPROM failed (page 1)!", 5, true,
       ENDSESSION_LOGOFF},
      {"DSP write", true, false, L"ReadEEPROM: I2C-write to DSP EEPROM failed (page 1)!", 5, true,
       ENDSESSION_CLOSEAPP},
      {"board save of a new file", false, true, L"ReadEEPROM: I2C-read to Board EEPROM failed", 2,
       true, 0},
      {"DSP save, the end cancelled", true, true,
       L"ReadEEPROM: I2C-read to DSP EEPROM failed (page 1)!", 5, false, ENDSESSION_CLOSEAPP},
  };
  for (const LogOff& l : logOffs) {
    SCOPED_TRACE(l.what);
    card_.SetChDec(ChDecAtRest());
    card_.SetConfig("fail_transaction=" + std::to_string(l.requests) + "\n");
    const std::filesystem::path file = files_ / (std::string(l.what) + ".bin");
    const Bytes before = l.save ? DistinctBytes(100, 70) : DspImage(145, 0);
    if (l.dsp || !l.save) WriteWholeFile(file, before);  // the board save's file is new
    ASSERT_NO_FATAL_FAILURE(StartProgram());
    if (l.dsp) {
      ASSERT_NO_FATAL_FAILURE(SelectChannelDecoder());
    }
    ASSERT_TRUE(l.save ? SaveTo(file) : WriteFrom(file));
    const std::optional<ostrel_ui::MessageBoxSeen> box =
        ostrel_ui::WaitForMessageBox(*program_, L"Ostrel", kTransferTimeoutMs);
    ASSERT_TRUE(box);
    EXPECT_EQ(box->text, l.box);

    if (!l.ending) {
      EXPECT_EQ(AgreesToEndSession(), true);
      ASSERT_TRUE(EndSession(false, l.why)) << "no answer to WM_ENDSESSION";
      AnswerBox(L"Ostrel", l.box, BoxIcon::Stop);
      ASSERT_TRUE(WaitForStatus(L"Reading out DSP EEPROM content failed!!!"));
      EXPECT_TRUE(WaitForProgress(0)) << Progress();
      EXPECT_TRUE(WaitForCommandsEnabled());
    }
    ASSERT_NO_FATAL_FAILURE(ExpectEndsByItself(l.why, l.ending ? l.what : "idle"));
    ExpectCardReleasedEverything(1);

    const std::vector<LoggedTransaction> log = card_.Log();
    ASSERT_EQ(log.size(), l.requests + (l.dsp ? 2 : 0)) << "one restore";
    EXPECT_NE(log[l.requests - 1].result, "ok") << "the failed request";
    EXPECT_EQ(IsRestoreAt(log, l.requests), l.dsp);
    EXPECT_EQ(card_.ChDec(), ChDecAtRest()) << "the registers are back";
    if (l.dsp || !l.save) {
      EXPECT_EQ(ReadWholeFile(file), before);
      EXPECT_EQ(files_.Names(), std::vector<std::string>{file.filename().string()});
    } else {
      EXPECT_EQ(files_.Names(), std::vector<std::string>{});
    }
    program_.reset();
    std::filesystem::remove(file);
    std::filesystem::remove(card_.Path() / "log.txt");
  }
}

// Forced, the session may end in the middle of the transfer too, and sleep
// can't be refused: the request under way finishes, the channel decoder is
// restored right after it and nothing more is sent. The session's end ends
// the program; after sleep the write ends as a failure with no box of its
// own, and the operator is told once the PC is awake again, whether the
// system sends the automatic wake alone or the operator's after it.
TEST_F(OnThePc, TheSessionsEndOrSleepDuringADspWriteRestoresTheChannelDecoderAtOnce) {
  struct Cut {
    const char* what;
    UINT message;
    WPARAM wParam;
    DWORD lParam;
  };
  const Cut cuts[] = {{"a forced log-off", WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF},
                      {"sleep", WM_POWERBROADCAST, PBT_APMSUSPEND, 0}};
  WriteWholeFile(files_ / "image.bin", DspImage(2000, 0));  // 63 pages
  for (const Cut& c : cuts) {
    SCOPED_TRACE(c.what);
    card_.SetChDec(ChDecAtRest());
    const simcard::com::RequestHold hold;
    card_.SetConfig("hold_event=" + hold.Name() + "\nhold_request=50\n");
    ASSERT_NO_FATAL_FAILURE(StartProgram());
    ASSERT_NO_FATAL_FAILURE(SelectChannelDecoder());
    ASSERT_TRUE(WriteFrom(files_ / "image.bin"));
    ASSERT_TRUE(SendWhileHeld(Dialog(), hold, c.message, c.wParam, static_cast<LPARAM>(c.lParam)));
    if (c.message == WM_ENDSESSION) {
      ASSERT_TRUE(program_->WaitForExit()) << "ends by itself";
    } else {
      ASSERT_TRUE(WaitForStatus(L"Writing to EEPROM failed!!!"))
          << testing::PrintToString(Status());
      EXPECT_TRUE(WaitForProgress(0)) << Progress();
      EXPECT_TRUE(WaitForCommandsEnabled());
      for (const WPARAM wake : {PBT_APMRESUMEAUTOMATIC, PBT_APMRESUMESUSPEND}) {
        DWORD_PTR answer = 0;
        ASSERT_TRUE(
            SendMessageTimeoutW(Dialog(), WM_POWERBROADCAST, wake, 0, SMTO_NORMAL, 5000, &answer));
        if (wake == PBT_APMRESUMEAUTOMATIC) AnswerBox(L"Ostrel", kSlept, BoxIcon::Stop);
      }
      ExpectNoOtherWindow();
    }

    const std::vector<LoggedTransaction> log = card_.Log();
    ASSERT_EQ(log.size(), 50u + 2u);
    EXPECT_EQ(log[49].kind + log[49].device, "SETA2") << "a page, held";
    EXPECT_TRUE(IsRestoreAt(log, 50));
    EXPECT_EQ(card_.ChDec(), ChDecAtRest());
    EXPECT_EQ(files_.Names(), std::vector<std::string>{"image.bin"});
    ExpectCardReleasedEverything(1);
    program_.reset();
    std::filesystem::remove(card_.Path() / "log.txt");
  }
}

TEST_F(OnThePc, ASaveWaitsForAScannerThatHoldsTheTargetOpen) {
  const Bytes dsp = DistinctBytes(32768, 66);
  card_.SetDsp(dsp);
  const auto target = files_ / "dsp.bin";
  WriteWholeFile(target, DistinctBytes(100, 67));
  ASSERT_NO_FATAL_FAILURE(StartProgram());
  ASSERT_NO_FATAL_FAILURE(SelectChannelDecoder());

  ASSERT_TRUE(SaveTo(target));
  ASSERT_TRUE(WaitUntil([&] { return Progress() > 0; }, kTransferTimeoutMs));
  // Opened after the save checked its target, as a scanner would.
  Win32Handle scanner(CreateFileW(target.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(scanner);
  // The session may end again once the transfer is over; with the status
  // line still reading, the save is then trying to replace its target. The
  // scanner lets go at once, well within the save's patience.
  std::wstring statusWhileRefused;
  ASSERT_TRUE(WaitUntil(
      [&] {
        if (AgreesToEndSession() != true) return false;
        statusWhileRefused = Status();
        return true;
      },
      kTransferTimeoutMs));
  scanner = Win32Handle();
  EXPECT_EQ(statusWhileRefused, kDspReading);

  ASSERT_TRUE(WaitForStatus(kDspStored)) << testing::PrintToString(Status());
  EXPECT_EQ(card_.Log().size(), 3u + 512u + 2u) << "no request after the transfer";
  EXPECT_EQ(ReadWholeFile(target), dsp);
  EXPECT_EQ(files_.Names(), std::vector<std::string>{"dsp.bin"});
}

TEST_F(OnThePc, TheSessionMayEndWhileAFailureBoxWaitsAndTheCommandEndsAsBeforeAfterIt) {
  {
    std::optional<CaptureDevices> noDevices;
    if (const std::string why = EmptyCaptureCategory(noDevices); !why.empty()) GTEST_SKIP() << why;
    ASSERT_NO_FATAL_FAILURE(StartProgram());
    ASSERT_TRUE(SaveTo(files_ / "board.bin"));
    AnswerBoxLettingTheSessionEnd(L"FindFilterByName: Couldn't find enumerator!");
    AnswerBoxLettingTheSessionEnd(L"Couldn't find AnalogCaptureFilter!");
    ASSERT_TRUE(WaitForStatus(kBoardFailed)) << testing::PrintToString(Status());
    EXPECT_EQ(files_.Names(), std::vector<std::string>{});
  }

  // A failed page of a DSP save: the channel decoder is restored after the box.
  card_.SetConfig("fail_transaction=104\n");
  ASSERT_NO_FATAL_FAILURE(SelectChannelDecoder());
  ASSERT_TRUE(SaveTo(files_ / "dsp.bin"));
  AnswerBoxLettingTheSessionEnd(L"ReadEEPROM: I2C-read to DSP EEPROM failed (page 100)!");
  ASSERT_TRUE(WaitForStatus(L"Reading out DSP EEPROM content failed!!!"));
  EXPECT_TRUE(WaitForProgress(0)) << Progress();
  EXPECT_EQ(files_.Names(), std::vector<std::string>{});
  const std::vector<LoggedTransaction> log = card_.Log();
  ASSERT_EQ(log.size(), 106u);
  EXPECT_TRUE(IsRestoreAt(log, 104));
  EXPECT_EQ(AgreesToEndSession(), true);
}

TEST_F(OnThePc, ALockNameTakenByAnotherKindOfObjectRefusesTheSaveSayingSo) {
  const Win32Handle other(CreateEventW(nullptr, TRUE, FALSE, L"Global\\Ostrel.CardLock"));
  ASSERT_TRUE(other);
  const Bytes previous = DistinctBytes(256, 68);
  WriteWholeFile(files_ / "board.bin", previous);
  ASSERT_NO_FATAL_FAILURE(StartProgram());

  ASSERT_TRUE(SaveTo(files_ / "board.bin"));
  AnswerBox(L"Ostrel",
            L"Ostrel can't check whether another program is using the card (error 6). Restart the "
            L"PC and try again.",
            BoxIcon::Stop);
  ASSERT_TRUE(WaitForStatus(kBoardFailed)) << testing::PrintToString(Status());
  EXPECT_TRUE(WaitForProgress(0)) << Progress();
  EXPECT_TRUE(WaitForCommandsEnabled());
  EXPECT_EQ(ReadWholeFile(files_ / "board.bin"), previous);
  EXPECT_EQ(files_.Names(), std::vector<std::string>{"board.bin"});
  ExpectCardUntouched();
}

}  // namespace
}  // namespace ostrel_commands
