#include "ui/main_dialog.h"

#include <commctrl.h>

#include <exception>
#include <vector>

#include "common/debug_report.h"
#include "common/win32_text.h"
#include "resource.h"
#include "ui/about_dialog.h"
#include "ui/dialog_init_resource.h"
#include "ui/file_dialogs.h"
#include "ui/message_queue.h"
#include "commands/save_command.h"
#include "ui/typed_size.h"
#include "commands/write_command.h"

namespace {

constexpr wchar_t kApplicationName[] = L"Ostrel";
constexpr int kBoardListIndex = 0;
constexpr int kChannelDecoderListIndex = 1;
constexpr std::size_t kTypedSizeCharacters = 9;
// Posted to itself once the PC is awake: the system's notice is no place
// for a box.
constexpr UINT kTellOfSleep = WM_APP + 1;

// The typed size is read from the first characters of the edit's text; any
// character outside ASCII is neither a digit nor white space for that.
std::string TypedSizeText(HWND edit) {
  wchar_t text[kTypedSizeCharacters + 1] = {};
  GetWindowTextW(edit, text, static_cast<int>(std::size(text)));
  std::string narrow;
  for (const wchar_t* c = text; *c != L'\0'; ++c) {
    narrow.push_back(*c < 0x80 ? static_cast<char>(*c) : '\x7f');
  }
  return narrow;
}

class PaintScope {
 public:
  explicit PaintScope(HWND window) : window_(window) { dc_ = BeginPaint(window_, &paint_); }
  ~PaintScope() { EndPaint(window_, &paint_); }
  PaintScope(const PaintScope&) = delete;
  PaintScope& operator=(const PaintScope&) = delete;
  HDC Dc() const { return dc_; }

 private:
  HWND window_;
  PAINTSTRUCT paint_{};
  HDC dc_ = nullptr;
};

struct OwnedSearch {
  HWND owner;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectOwned(HWND candidate, LPARAM context) {
  auto& search = *reinterpret_cast<OwnedSearch*>(context);
  for (HWND owner = GetWindow(candidate, GW_OWNER); owner != nullptr;
       owner = GetWindow(owner, GW_OWNER)) {
    if (owner == search.owner) {
      search.found.push_back(candidate);
      break;
    }
  }
  return TRUE;
}

// The top-level windows of the calling thread that window owns, directly or
// through another: its boxes, file dialogs and About box.
std::vector<HWND> OwnedWindows(HWND window) {
  OwnedSearch search{window, {}};
  EnumThreadWindows(GetCurrentThreadId(), CollectOwned, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

}  // namespace

MainDialog::MainDialog(HINSTANCE instance, I2CConnector& connector, PreciseWaiter& wait,
                       FileSystem& files)
    : instance_(instance),
      painting_({[this](std::int32_t p) {
                   SendDlgItemMessageW(window_, IDC_PROGRESS, PBM_SETPOS, static_cast<WPARAM>(p),
                                       0);
                 },
                 [this](std::int32_t n) {
                   SendDlgItemMessageW(window_, IDC_PROGRESS, PBM_SETRANGE32, 0, n);
                 },
                 [this] { PaintPending(); }}),
      waiter_(wait, [this] { painting_.Waiting(); }),
      timer_(wait.NeedsRaisedSystemTimer()),
      card_(lock_, power_, timer_),
      services_{connector, waiter_, files, card_},
      runner_(*this, services_) {}

void MainDialog::Run() {
  DialogBoxParamW(instance_, MAKEINTRESOURCEW(IDD_OSTREL_DIALOG), nullptr, DialogProc,
                  reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK MainDialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(window, DWLP_USER, lParam);
    auto* created = reinterpret_cast<MainDialog*>(lParam);
    created->window_ = window;
    created->power_.SetWindow(window);
  }
  auto* self = reinterpret_cast<MainDialog*>(GetWindowLongPtrW(window, DWLP_USER));
  if (self == nullptr) return FALSE;
  // Nothing may unwind into the system's dialog code.
  try {
    return self->HandleMessage(message, wParam, lParam);
  } catch (const std::exception& error) {
    ReportToDebugger(std::string("Ostrel: a window message failed: ") + error.what());
  } catch (...) {
    ReportToDebugger("Ostrel: a window message failed");
  }
  return FALSE;
}

INT_PTR MainDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      OnInitDialog();
      return TRUE;  // the system focuses the first tab stop
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam));
      return TRUE;
    case WM_SYSCOMMAND:
      return OnSysCommand(wParam);
    case WM_PAINT:
      if (!IsIconic(window_)) return FALSE;
      PaintMinimised();
      return TRUE;
    case WM_QUERYENDSESSION:
      // No shutdown, restart or log-off while a command uses the card; when
      // idle, or while a box waits for the operator, the default handling
      // agrees.
      if (!card_.Guarding()) return FALSE;
      SetWindowLongPtrW(window_, DWLP_MSGRESULT, FALSE);
      return TRUE;
    case WM_ENDSESSION:
      // A log-off, shutdown or installer ends the program, whatever lParam
      // says; a cancelled end changes nothing.
      if (wParam != FALSE) EndSession();
      return FALSE;
    case WM_POWERBROADCAST:
      OnPowerBroadcast(wParam);
      return FALSE;
    case kTellOfSleep:
      runner_.TellOfSleep();
      return TRUE;
    case WM_QUERYDRAGICON:
      return reinterpret_cast<INT_PTR>(icon_);
    default:
      return FALSE;
  }
}

void MainDialog::OnInitDialog() {
  ApplyDialogInitData(window_, instance_, IDD_OSTREL_DIALOG);
  AddAboutToSystemMenu();

  // Shared icons belong to the system; nothing to destroy.
  icon_ = LoadIconW(instance_, MAKEINTRESOURCEW(IDR_MAINFRAME));
  const auto smallIcon = static_cast<HICON>(LoadImageW(instance_, MAKEINTRESOURCEW(IDR_MAINFRAME),
                                                       IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                                       GetSystemMetrics(SM_CYSMICON), LR_SHARED));
  SendMessageW(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
  SendMessageW(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon));

  SendDlgItemMessageW(window_, IDC_EEPROM_LIST, CB_SETCURSEL, kBoardListIndex, 0);
  CheckDlgButton(window_, IDC_VERIFY, BST_CHECKED);
  CheckDlgButton(window_, IDC_OVERRIDE_PCI, BST_CHECKED);
  CheckRadioButton(window_, IDC_SIZE_256, IDC_SIZE_TYPED, IDC_SIZE_256);
  selectedSize_ = 256;
  painting_.StartWithRange(static_cast<std::int32_t>(
      SendDlgItemMessageW(window_, IDC_PROGRESS, PBM_GETRANGE, FALSE, 0)));
}

void MainDialog::AddAboutToSystemMenu() {
  HMENU menu = GetSystemMenu(window_, FALSE);
  if (menu == nullptr) return;
  // LoadString with a zero length hands out a pointer into the resource.
  const wchar_t* text = nullptr;
  const int length = LoadStringW(instance_, IDS_ABOUTBOX, reinterpret_cast<wchar_t*>(&text), 0);
  if (length <= 0 || text == nullptr) return;
  const std::wstring entry(text, static_cast<std::size_t>(length));
  AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(menu, MF_STRING, IDM_ABOUTBOX, entry.c_str());
}

void MainDialog::OnCommand(int id, int code) {
  // A command owns the dialog until it ends; nothing may start another one
  // or end the dialog under it.
  if (runner_.Running()) return;
  switch (id) {
    case IDOK:
    case IDCANCEL:
      EndDialog(window_, id);
      break;
    case IDC_WRITE_EEPROM:
      if (code == BN_CLICKED) RunCommand(OnWriteToEEPROM);
      break;
    case IDC_SAVE_TO_FILE:
      if (code == BN_CLICKED) RunCommand(OnSaveToFile);
      break;
    case IDC_SIZE_256:
    case IDC_SIZE_512:
      if (code == BN_CLICKED) {
        selectedSize_ = id == IDC_SIZE_256 ? 256 : 512;
        EnableWindow(Item(IDC_TYPED_SIZE), FALSE);
      }
      break;
    case IDC_SIZE_TYPED:
      if (code == BN_CLICKED) {
        TakeTypedSize();
        EnableWindow(Item(IDC_TYPED_SIZE), TRUE);
      }
      break;
    case IDC_TYPED_SIZE:
      // Leaving the edit counts as choosing the typed size, so that a click on
      // a command button right after typing uses what was typed.
      if (code == EN_KILLFOCUS) TakeTypedSize();
      break;
    case IDC_EEPROM_LIST:
      if (code == CBN_SELCHANGE) {
        const auto index = SendDlgItemMessageW(window_, IDC_EEPROM_LIST, CB_GETCURSEL, 0, 0);
        EnableBoardOptions(index != kChannelDecoderListIndex);
      }
      break;
    default:
      break;
  }
}

bool MainDialog::OnSysCommand(WPARAM command) {
  if ((command & 0xFFF0) != IDM_ABOUTBOX) return false;
  if (!runner_.Running()) ShowAboutDialog(instance_, window_);
  return true;
}

void MainDialog::PaintMinimised() {
  PaintScope paint(window_);
  SendMessageW(window_, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(paint.Dc()), 0);
  RECT client{};
  GetClientRect(window_, &client);
  const int x = (client.right - client.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
  const int y = (client.bottom - client.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
  DrawIcon(paint.Dc(), x, y, icon_);
}

void MainDialog::OnPowerBroadcast(WPARAM event) {
  switch (event) {
    case PBT_APMSUSPEND:
      // The PC sleeps once this returns, about 2 s at most from now.
      runner_.Suspend();
      break;
    case PBT_APMRESUMEAUTOMATIC:  // every wake, the operator there or not
    case PBT_APMRESUMESUSPEND:    // a wake the operator made, after the one above
      runner_.Woken();
      PostMessageW(window_, kTellOfSleep, 0, 0);
      break;
    default:
      break;
  }
}

void MainDialog::RunCommand(CommandRunner::Command command) {
  runner_.Run(command);
  painting_.ShowProgressPos();
  // Clicks and keys made meanwhile were aimed at a dialog that was busy; a
  // click on "&Exit" during a write must not end the program afterwards.
  DropQueuedInput();
  // The session ended meanwhile: now that the command has unwound, the
  // program ends.
  if (runner_.SessionEnded()) EndDialog(window_, IDCANCEL);
}

void MainDialog::EndSession() {
  // The system may end the program as soon as the handler returns, whatever
  // the command waits on (a box, the card, a pause): what it changed is put
  // back first.
  runner_.EndSession();
  // Then it ends by itself: its boxes and dialogs close, a command unwinds
  // as a failure and the dialog ends behind it.
  CloseOwnedWindows();
  if (!runner_.Running()) EndDialog(window_, IDCANCEL);
}

void MainDialog::CloseOwnedWindows() {
  // As the operator closing each would: a message box with only OK takes it
  // as OK, a dialog as Cancel.
  for (HWND owned : OwnedWindows(window_)) PostMessageW(owned, WM_CLOSE, 0, 0);
}

void MainDialog::TakeTypedSize() {
  selectedSize_ = ParseTypedSize(TypedSizeText(Item(IDC_TYPED_SIZE)));
}

void MainDialog::EnableBoardOptions(bool on) {
  for (const int id : {IDC_OVERRIDE_PCI, IDC_VERIFY, IDC_SIZE_256, IDC_SIZE_512, IDC_SIZE_TYPED}) {
    EnableWindow(Item(id), on ? TRUE : FALSE);
  }
}

void MainDialog::PaintPending() {
  RedrawWindow(window_, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
  PaintPendingWhileBusy(Item(IDC_PROGRESS));
}

void MainDialog::SetStatusText(const std::string& text) {
  SetDlgItemTextW(window_, IDC_STATUS, ToWide(text, NarrowEncoding::Utf8).c_str());
  painting_.StatusChanged();
}

void MainDialog::SetProgressRange(std::int32_t n) {
  painting_.RangeChanged(n);
}

void MainDialog::SetProgressPos(std::int32_t p) {
  // Even holding the bar's painting back would cost calls into the system
  // (Wine's server, for one) on every request.
  painting_.PositionChanged(p);
}

void MainDialog::EnableCommands(bool on) {
  if (!on) focusBeforeBusy_ = GetFocus();
  for (const int id : {IDC_WRITE_EEPROM, IDC_SAVE_TO_FILE, IDOK}) {
    EnableWindow(Item(id), on ? TRUE : FALSE);
  }
  // Disabling the focused button leaves the dialog without focus; give it
  // back so that the keyboard works again.
  if (on && GetFocus() == nullptr && focusBeforeBusy_ != nullptr &&
      IsWindowEnabled(focusBeforeBusy_)) {
    SendMessageW(window_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(focusBeforeBusy_), TRUE);
  }
  if (on) focusBeforeBusy_ = nullptr;
}

void MainDialog::ShowError(const std::string& text) {
  Box(text, kApplicationName, MB_ICONSTOP | MB_OK);
}

void MainDialog::ShowNotice(const std::string& text) {
  Box(text, kApplicationName, MB_ICONEXCLAMATION | MB_OK);
}

void MainDialog::ShowPlainMessage(const std::string& text, const std::string& caption) {
  Box(text, ToWide(caption, NarrowEncoding::Utf8), MB_OK);
}

void MainDialog::Box(const std::string& text, const std::wstring& caption, UINT style) {
  // The box's own loop would hand queued clicks to the dialog's buttons.
  DropQueuedInput();
  painting_.ShowProgressPos();  // the box's loop paints the dialog
  MessageBoxW(window_, ToWide(text, NarrowEncoding::Utf8).c_str(), caption.c_str(), style);
}

CommandSettings MainDialog::Settings() {
  CommandSettings settings;
  const auto index = SendDlgItemMessageW(window_, IDC_EEPROM_LIST, CB_GETCURSEL, 0, 0);
  settings.kind =
      index == kChannelDecoderListIndex ? EepromKind::ChannelDecoder : EepromKind::Board;
  settings.selectedSize = selectedSize_;
  settings.startOffset = IsDlgButtonChecked(window_, IDC_OVERRIDE_PCI) == BST_CHECKED ? 0 : 16;
  settings.verify = IsDlgButtonChecked(window_, IDC_VERIFY) == BST_CHECKED;
  return settings;
}

std::optional<FilePath> MainDialog::AskFileToSave() {
  return ShowSaveFileDialog(window_);
}

std::optional<FilePath> MainDialog::AskFileToOpen() {
  return ShowOpenFileDialog(window_);
}
