#pragma once

// Ostrel's main window: the settings the commands read, the progress bar and
// status line they report to, and the buttons that run them.

#include <windows.h>

#include <cstdint>
#include <string>

#include "claim/card_access.h"
#include "common/transfer_view.h"
#include "common/waiter.h"
#include "commands/command_host.h"
#include "commands/command_runner.h"
#include "machine/machine_card_lock.h"
#include "machine/system_power_guard.h"
#include "machine/timer_period.h"
#include "ui/paint_schedule.h"
#include "ui/painting_waiter.h"

class MainDialog final : public TransferView, public CommandHost {
 public:
  // The commands pace their requests on wait, through a waiter of the
  // dialog's own that paints at the start of each wait, and claim the card
  // through the machine-wide lock, the system kept awake for the dialog's
  // window and its timer raised meanwhile; the dialog owns all three.
  MainDialog(HINSTANCE instance, I2CConnector& connector, PreciseWaiter& wait, FileSystem& files);
  MainDialog(const MainDialog&) = delete;
  MainDialog& operator=(const MainDialog&) = delete;

  // Shows the dialog (template 102) and returns when the operator ends it.
  void Run();

  void SetStatusText(const std::string& text) override;
  void SetProgressRange(std::int32_t n) override;
  void SetProgressPos(std::int32_t p) override;
  void EnableCommands(bool on) override;
  void ShowError(const std::string& text) override;
  void ShowNotice(const std::string& text) override;
  void ShowPlainMessage(const std::string& text, const std::string& caption) override;

  TransferView& View() override { return *this; }
  CommandSettings Settings() override;
  std::optional<FilePath> AskFileToSave() override;
  std::optional<FilePath> AskFileToOpen() override;

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

  void OnInitDialog();
  void AddAboutToSystemMenu();
  void OnCommand(int id, int code);
  bool OnSysCommand(WPARAM command);
  void OnPowerBroadcast(WPARAM event);
  void PaintMinimised();

  void RunCommand(CommandRunner::Command command);
  void EndSession();
  void CloseOwnedWindows();
  void TakeTypedSize();
  void EnableBoardOptions(bool on);
  void PaintPending();
  void Box(const std::string& text, const std::wstring& caption, UINT style);
  HWND Item(int id) const { return GetDlgItem(window_, id); }

  HINSTANCE instance_;
  PaintSchedule painting_;
  PaintingWaiter waiter_;
  MachineCardLock lock_;
  SystemPowerGuard power_;
  TimerPeriod timer_;
  CardAccess card_;
  CommandServices services_;
  CommandRunner runner_;
  HWND window_ = nullptr;
  HICON icon_ = nullptr;
  std::int32_t selectedSize_ = 256;
  // The control that had the focus when the buttons were disabled.
  HWND focusBeforeBusy_ = nullptr;
};
