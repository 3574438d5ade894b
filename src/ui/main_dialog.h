#pragma once

// Ostrel's main window: the settings the commands read, the progress bar and
// status line they report to, and the buttons that run them.

#include <windows.h>

#include <cstdint>
#include <string>

#include "common/transfer_view.h"
#include "ui/command_host.h"

class MainDialog final : public TransferView, public CommandHost {
 public:
  MainDialog(HINSTANCE instance, const CommandServices& services);
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

  // Carries out, when due, the paints a running command has left pending;
  // the pacing waits call it, so that painting happens inside them.
  void PaintWhileBusy();

  TransferView& View() override { return *this; }
  CommandSettings Settings() override;
  std::optional<FilePath> AskFileToSave() override;
  std::optional<FilePath> AskFileToOpen() override;

 private:
  using Command = void (*)(CommandHost&, const CommandServices&);

  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

  void OnInitDialog();
  void AddAboutToSystemMenu();
  void OnCommand(int id, int code);
  bool OnSysCommand(WPARAM command);
  void PaintMinimised();

  void RunCommand(Command command);
  void TakeTypedSize();
  void EnableBoardOptions(bool on);
  // Shows a change: at once, or while a command holds the thread, in its
  // next wait (but never after more than a moment).
  void Refresh(HWND control, bool atOnce);
  bool PaintIsDue(ULONGLONG interval) const;
  void PaintNow();
  void Box(const std::string& text, const std::wstring& caption, UINT style);
  HWND Item(int id) const { return GetDlgItem(window_, id); }

  HINSTANCE instance_;
  CommandServices services_;
  HWND window_ = nullptr;
  HICON icon_ = nullptr;
  std::int32_t selectedSize_ = 256;
  std::int32_t progressEnd_ = 0;
  bool commandRunning_ = false;
  ULONGLONG lastPaintTick_ = 0;
  // The control that had the focus when the buttons were disabled.
  HWND focusBeforeBusy_ = nullptr;
};
