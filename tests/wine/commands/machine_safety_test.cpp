// The real program among the things around it on an operator's PC: DLLs
// planted beside it, a shutdown asked for in the middle of a command, a
// second Ostrel on the same card, a scanner holding the file being saved.

#include <gtest/gtest.h>

#include <algorithm>
#include <utility>

#include "capture_registry.h"
#include "command_end_to_end.h"
#include "simcard/com/registry_key.h"
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

// Wine loads its own built-in DLLs first unless told otherwise, per program.
class NativeDllsFirst {
 public:
  explicit NativeDllsFirst(std::initializer_list<const wchar_t*> dlls) {
    const auto key =
        simcard::com::RegistryKey::Create(HKEY_CURRENT_USER, kOverrides, KEY_SET_VALUE);
    for (const wchar_t* dll : dlls) key.SetString(dll, kNativeFirst);
  }
  ~NativeDllsFirst() { RegDeleteTreeW(HKEY_CURRENT_USER, kProgramDefaults); }
  NativeDllsFirst(const NativeDllsFirst&) = delete;
  NativeDllsFirst& operator=(const NativeDllsFirst&) = delete;

 private:
  static constexpr wchar_t kProgramDefaults[] = L"Software\\Wine\\AppDefaults\\ostrel.exe";
  static constexpr wchar_t kOverrides[] = L"Software\\Wine\\AppDefaults\\ostrel.exe\\DllOverrides";
  static constexpr wchar_t kNativeFirst[] = L"native,builtin";
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
  // Asked while the card holds a request of the running command, the
  // question waits in the program's queue until the card has let the
  // request go, and is answered where the program next looks at its queue.
  std::optional<bool> AgreesToEndSessionWhileHeld(const simcard::com::RequestHold& hold) const {
    if (!hold.WaitUntilHeld(kTransferTimeoutMs)) return std::nullopt;
    std::optional<LRESULT> answer;
    const BOOL sent = SendMessageCallbackW(Dialog(), WM_QUERYENDSESSION, 0, 0, &KeepAnswer,
                                           reinterpret_cast<ULONG_PTR>(&answer));
    hold.LetGo();
    // The answer comes back through this thread's queue.
    if (!sent || !WaitUntil([&] {
          MSG message;
          PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);
          return answer.has_value();
        })) {
      return std::nullopt;
    }
    return *answer != 0;
  }
  static void CALLBACK KeepAnswer(HWND, UINT, ULONG_PTR answer, LRESULT result) {
    *reinterpret_cast<std::optional<LRESULT>*>(answer) = result;
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
  ASSERT_NE(program_->WaitForWindow(L"Save As"), nullptr);
  SwitchTo(other);
  ASSERT_TRUE(SaveTo(files_ / "dsp.bin"));
  ASSERT_TRUE(WaitUntil([&] { return Progress() > 0; }, kTransferTimeoutMs));
  EXPECT_EQ(AgreesToEndSession(), false) << "during a DSP save";

  SwitchTo(other);
  ASSERT_TRUE(ostrel_ui::AnswerFileDialog(*program_, L"Save As", (second / "board.bin").wstring()));
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

TEST_F(OnThePc, NoShutdownDuringABoardWriteAndTheCardIsFreeAfterAKilledOstrel) {
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

  ASSERT_NO_FATAL_FAILURE(StartProgram());
  ASSERT_TRUE(SaveTo(files_ / "board.bin"));
  ASSERT_TRUE(WaitForStatus(kBoardStored)) << testing::PrintToString(Status());
  EXPECT_EQ(ReadWholeFile(files_ / "board.bin"), image);
  EXPECT_EQ(RequestsOf(*program_), 32u);
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
    const CaptureDevices noDevices;
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
  EXPECT_EQ(log[104].kind + log[104].device + log[104].subaddress + log[104].data, "SET100700");
  EXPECT_EQ(log[105].kind + log[105].device + log[105].subaddress, "SET103C");
  EXPECT_EQ(log[105].data, log[0].data);
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
