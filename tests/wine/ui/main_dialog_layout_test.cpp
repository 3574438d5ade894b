// The main dialog as the operator sees it right after start: every control's
// id, class, text, style and place, the order of the controls and the tab
// order.

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <memory>
#include <span>
#include <vector>

#include "dialog_template.h"
#include "dialog_units.h"
#include "ostrel_driver.h"
#include "resource.h"

namespace ostrel_ui {
namespace {

constexpr int kNoId = -1;

struct ExpectedControl {
  int id;
  const wchar_t* className;
  const wchar_t* text;
  LONG style;  // besides WS_CHILD | WS_VISIBLE
  int x, y, width, height;
};

// In tab order, positions in dialog units.
const ExpectedControl kControls[] = {
    {1, L"Button", L"&Exit", BS_DEFPUSHBUTTON | WS_TABSTOP, 204, 105, 50, 13},
    {1000, L"Button", L"Write to EEPROM...", BS_PUSHBUTTON | WS_TABSTOP, 88, 104, 70, 14},
    {1002, L"Button", L"Save to file...", BS_PUSHBUTTON | WS_TABSTOP, 24, 104, 56, 14},
    {1003, L"msctls_progress32", L"", PBS_SMOOTH | WS_BORDER, 20, 82, 234, 13},
    {1004, L"Static", L"Read/write status", SS_LEFT | WS_GROUP, 22, 70, 216, 9},
    {kNoId, L"Static", L"Select EEPROM:", SS_LEFT | WS_GROUP, 21, 22, 56, 8},
    {1005, L"ComboBox", L"Board Configuration",
     CBS_DROPDOWNLIST | CBS_SORT | WS_VSCROLL | WS_TABSTOP, 83, 19, 96, 58},
    {1006, L"Button", L"256", BS_AUTORADIOBUTTON | WS_GROUP, 207, 22, 28, 10},
    {1007, L"Button", L"512", BS_AUTORADIOBUTTON, 207, 34, 28, 10},
    {1008, L"Button", L"", BS_AUTORADIOBUTTON, 207, 47, 8, 8},
    {1009, L"Edit", L"", ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP | WS_DISABLED, 218, 45, 19, 12},
    {kNoId, L"Button", L"Size", BS_GROUPBOX, 199, 9, 55, 56},
    {1010, L"Button", L"Override PCI config. space", BS_AUTOCHECKBOX | WS_TABSTOP, 21, 40, 119, 10},
    {1011, L"Button", L"Verify Data written to EEPROM", BS_AUTOCHECKBOX | WS_TABSTOP, 21, 51, 114,
     10},
    {kNoId, L"Button", L"Settings", BS_GROUPBOX, 15, 9, 174, 56},
};

// What a control makes of its template style when it is created: a bordered
// edit box draws a sunken edge instead, a progress bar its own frame, a
// drop-down list passes its scroll bar on to the list part, and the dialog
// manager makes the checked radio button of a group its tab stop.
bool LiveStyleMatches(const ExpectedControl& expected, HWND control) {
  LONG style = Style(control);
  const LONG ex = ExStyle(control);
  LONG wanted = WS_CHILD | WS_VISIBLE | expected.style;
  const std::wstring className = expected.className;
  if (className == L"Edit" && (ex & WS_EX_CLIENTEDGE)) style |= WS_BORDER;
  // A themed progress bar draws its own frame in place of the border.
  if (className == L"msctls_progress32") style |= expected.style & WS_BORDER;
  if (className == L"ComboBox") style = (style | WS_VSCROLL) & ~CBS_HASSTRINGS;
  if ((expected.style & BS_TYPEMASK) == BS_AUTORADIOBUTTON && className == L"Button" &&
      IsChecked(control)) {
    wanted |= WS_TABSTOP;
  }
  return style == wanted;
}

std::vector<HWND> ChildrenInOrder(HWND dialog) {
  std::vector<HWND> children;
  for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    children.push_back(child);
  }
  return children;
}

// One program for the whole group: nothing here changes its state.
class MainDialogLayout : public testing::Test {
 protected:
  static void SetUpTestSuite() { process_ = std::make_unique<OstrelProcess>(); }
  static void TearDownTestSuite() { process_.reset(); }

  void SetUp() override { ASSERT_NE(Dialog(), nullptr) << "ostrel.exe showed no main window"; }
  static HWND Dialog() { return process_->MainWindow(); }

  static std::unique_ptr<OstrelProcess> process_;
  DialogUnits units_;
};

std::unique_ptr<OstrelProcess> MainDialogLayout::process_;

TEST_F(MainDialogLayout, IsAFixedPopupDialogInTheTaskBar) {
  EXPECT_EQ(ClassName(Dialog()), L"#32770");
  EXPECT_EQ(Text(Dialog()), L"Ostrel");
  const LONG wanted = DS_MODALFRAME | WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU;
  EXPECT_EQ(Style(Dialog()) & wanted, wanted);
  EXPECT_EQ(Style(Dialog()) & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME | WS_CHILD), 0);
  EXPECT_NE(ExStyle(Dialog()) & WS_EX_APPWINDOW, 0);

  RECT client{};
  GetClientRect(Dialog(), &client);
  EXPECT_EQ(Corners(client), Corners(units_.ToPixels(0, 0, 270, 127)));
}

TEST_F(MainDialogLayout, ControlsHaveTheirIdsClassesTextsAndStylesInTabOrder) {
  const std::vector<HWND> children = ChildrenInOrder(Dialog());
  ASSERT_EQ(children.size(), std::size(kControls));
  for (std::size_t i = 0; i < children.size(); ++i) {
    const ExpectedControl& expected = kControls[i];
    HWND child = children[i];
    SCOPED_TRACE(testing::Message() << "control " << i << " (id " << expected.id << ")");
    EXPECT_EQ(ControlId(child), expected.id);
    EXPECT_EQ(ClassName(child), expected.className);
    EXPECT_EQ(Text(child), expected.text);
    EXPECT_TRUE(LiveStyleMatches(expected, child))
        << std::hex << "style 0x" << Style(child) << ", extended 0x" << ExStyle(child);
  }
}

TEST_F(MainDialogLayout, ControlsSitWhereTheTemplatePutsThem) {
  for (const ExpectedControl& expected : kControls) {
    if (expected.id == kNoId) continue;
    SCOPED_TRACE(testing::Message() << "id " << expected.id);
    const RECT wanted = units_.ToPixels(expected.x, expected.y, expected.width, expected.height);
    const RECT actual = ControlRect(Dialog(), GetDlgItem(Dialog(), expected.id));
    if (expected.id == IDC_EEPROM_LIST) {
      // A closed drop-down list shows only its selection field; its height
      // is the opened list's.
      EXPECT_EQ(Corners(actual)[0], wanted.left);
      EXPECT_EQ(Corners(actual)[1], wanted.top);
      EXPECT_EQ(Corners(actual)[2], wanted.right);
    } else {
      EXPECT_EQ(Corners(actual), Corners(wanted));
    }
  }
  // The texts and group boxes without ids, by their place in the order.
  const std::vector<HWND> children = ChildrenInOrder(Dialog());
  ASSERT_EQ(children.size(), std::size(kControls));
  for (std::size_t i = 0; i < children.size(); ++i) {
    const ExpectedControl& expected = kControls[i];
    if (expected.id != kNoId) continue;
    SCOPED_TRACE(testing::Message() << "text " << testing::PrintToString(expected.text));
    EXPECT_EQ(Corners(ControlRect(Dialog(), children[i])),
              Corners(units_.ToPixels(expected.x, expected.y, expected.width, expected.height)));
  }
}

TEST_F(MainDialogLayout, TabGoesThroughTheEnabledTabStopsAndTheCheckedSize) {
  // The edit box starts disabled and is skipped; of the size group, the
  // system lets Tab reach the checked button ("256").
  const std::vector<int> expected = {IDC_WRITE_EEPROM,
                                     IDC_SAVE_TO_FILE,
                                     IDC_EEPROM_LIST,
                                     IDC_SIZE_256,
                                     IDC_OVERRIDE_PCI,
                                     IDC_VERIFY,
                                     IDOK};
  std::vector<int> visited;
  HWND at = GetDlgItem(Dialog(), IDOK);
  for (std::size_t i = 0; i < expected.size(); ++i) {
    at = GetNextDlgTabItem(Dialog(), at, FALSE);
    visited.push_back(ControlId(at));
  }
  EXPECT_EQ(visited, expected);
}

TEST_F(MainDialogLayout, ListHasBothEntriesSorted) {
  HWND list = GetDlgItem(Dialog(), IDC_EEPROM_LIST);
  EXPECT_EQ(ListEntries(list),
            (std::vector<std::wstring>{L"Board Configuration", L"Channel Decoder"}));
}

TEST(MainDialogTemplate, HoldsExactlyTheControlsWithTheirStylesAndPlaces) {
  const auto dialog = LoadDialogTemplate(OstrelExePath(), IDD_OSTREL_DIALOG);
  ASSERT_TRUE(dialog.has_value());
  EXPECT_EQ(dialog->style, static_cast<DWORD>(DS_MODALFRAME | WS_POPUP | WS_VISIBLE | WS_CAPTION |
                                              WS_SYSMENU | DS_SETFONT));
  EXPECT_EQ(dialog->exStyle, static_cast<DWORD>(WS_EX_APPWINDOW));
  EXPECT_EQ(dialog->width, 270);
  EXPECT_EQ(dialog->height, 127);
  EXPECT_EQ(dialog->caption, L"Ostrel");
  EXPECT_EQ(dialog->font, L"MS Sans Serif");
  EXPECT_EQ(dialog->pointSize, 8);

  ASSERT_EQ(dialog->items.size(), std::size(kControls));
  for (std::size_t i = 0; i < dialog->items.size(); ++i) {
    const TemplateItem& item = dialog->items[i];
    const ExpectedControl& expected = kControls[i];
    SCOPED_TRACE(testing::Message() << "item " << i << " (id " << expected.id << ")");
    EXPECT_EQ(item.id, expected.id);
    EXPECT_TRUE(SameClassName(item.className, expected.className))
        << testing::PrintToString(item.className);
    // The list's text is its selection at run time; the template has none.
    EXPECT_EQ(item.text, expected.id == IDC_EEPROM_LIST ? L"" : expected.text);
    EXPECT_EQ(item.style, static_cast<DWORD>(WS_CHILD | WS_VISIBLE | expected.style));
    EXPECT_EQ(item.exStyle, 0u);
    EXPECT_EQ((std::array{item.x, item.y, item.width, item.height}),
              (std::array{expected.x, expected.y, expected.width, expected.height}));
  }
}

TEST(MainDialogTemplate, AboutBoxHoldsIconTwoLinesAndOk) {
  const auto about = LoadDialogTemplate(OstrelExePath(), IDD_ABOUTBOX);
  ASSERT_TRUE(about.has_value());
  EXPECT_EQ(about->style,
            static_cast<DWORD>(DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_SETFONT));
  EXPECT_EQ(about->caption, L"About Ostrel");
  EXPECT_EQ(about->font, L"MS Sans Serif");
  EXPECT_EQ(about->pointSize, 8);
  EXPECT_EQ((std::array{about->width, about->height}), (std::array{235, 55}));
  ASSERT_EQ(about->items.size(), 4u);
  EXPECT_TRUE(SameClassName(about->items[0].className, L"Static"));
  EXPECT_EQ(about->items[0].style & SS_TYPEMASK, static_cast<DWORD>(SS_ICON));
  EXPECT_EQ(about->items[0].text, L"#128");
  EXPECT_EQ((std::array{about->items[0].x, about->items[0].y, about->items[0].width,
                        about->items[0].height}),
            (std::array{11, 17, 20, 20}));
  EXPECT_EQ(about->items[1].text, L"Ostrel Version 1.0");
  EXPECT_NE(about->items[1].style & SS_NOPREFIX, 0u);
  EXPECT_EQ(about->items[3].id, IDOK);
  EXPECT_EQ(about->items[3].style & BS_TYPEMASK, static_cast<DWORD>(BS_DEFPUSHBUTTON));
}

// Bytes at the very end of a readable page, with one that can't be read
// after it: reading past their end faults instead of passing unseen.
class FencedBytes {
 public:
  explicit FencedBytes(std::span<const std::uint8_t> bytes)
      : readable_((bytes.size() / kPage + 1) * kPage),
        pages_(static_cast<std::uint8_t*>(
            VirtualAlloc(nullptr, readable_ + kPage, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE))),
        bytes_(pages_ + readable_ - bytes.size(), bytes.size()) {
    DWORD previous = 0;
    VirtualProtect(pages_ + readable_, kPage, PAGE_NOACCESS, &previous);
    std::copy(bytes.begin(), bytes.end(), pages_ + readable_ - bytes.size());
  }
  ~FencedBytes() { VirtualFree(pages_, 0, MEM_RELEASE); }
  FencedBytes(const FencedBytes&) = delete;
  FencedBytes& operator=(const FencedBytes&) = delete;
  std::span<const std::uint8_t> Bytes() const { return bytes_; }

 private:
  static constexpr std::size_t kPage = 4096;
  std::size_t readable_;
  std::uint8_t* pages_;
  std::span<const std::uint8_t> bytes_;
};

TEST(MainDialogTemplate, ATruncatedTemplateIsRefusedWithoutReadingPastItsEnd) {
  const std::vector<std::uint8_t> bytes = DialogTemplateBytes(OstrelExePath(), IDD_OSTREL_DIALOG);
  ASSERT_TRUE(ParseDialogTemplate(FencedBytes(bytes).Bytes()));
  for (std::size_t kept = 0; kept < bytes.size(); ++kept) {
    const FencedBytes cut{std::span(bytes).first(kept)};
    EXPECT_FALSE(ParseDialogTemplate(cut.Bytes())) << "cut to " << kept << " bytes";
  }
}

}  // namespace
}  // namespace ostrel_ui
