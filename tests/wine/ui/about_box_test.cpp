// The system menu's About entry and the About box.

#include <gtest/gtest.h>

#include "dialog_units.h"
#include "ostrel_driver.h"
#include "resource.h"

namespace ostrel_ui {
namespace {

class AboutBox : public testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(Dialog(), nullptr) << "ostrel.exe showed no main window"; }
  HWND Dialog() const { return process_.MainWindow(); }

  HWND OpenAboutBox() const {
    // The system keeps the low four bits of a system command for itself.
    PostSysCommand(Dialog(), IDM_ABOUTBOX | 0x0003);
    return process_.WaitForDialog();
  }

  OstrelProcess process_;
  DialogUnits units_;
};

TEST_F(AboutBox, ShowsIconNameAndOkButtonInPlace) {
  HWND box = OpenAboutBox();
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(Text(box), L"About Ostrel");
  RECT client{};
  GetClientRect(box, &client);
  EXPECT_EQ(Corners(client), Corners(units_.ToPixels(0, 0, 235, 55)));
  const LONG frame = DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU;
  EXPECT_EQ(Style(box) & frame, frame);

  std::vector<HWND> children;
  for (HWND c = GetWindow(box, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT)) {
    children.push_back(c);
  }
  ASSERT_EQ(children.size(), 4u);

  EXPECT_EQ(ClassName(children[0]), L"Static");
  EXPECT_EQ(Style(children[0]) & SS_TYPEMASK, SS_ICON);
  EXPECT_EQ(Corners(ControlRect(box, children[0])).at(0), units_.ToPixels(11, 17, 20, 20).left);
  EXPECT_EQ(Corners(ControlRect(box, children[0])).at(1), units_.ToPixels(11, 17, 20, 20).top);

  EXPECT_EQ(Text(children[1]), L"Ostrel Version 1.0");
  EXPECT_NE(Style(children[1]) & SS_NOPREFIX, 0);
  EXPECT_EQ(Corners(ControlRect(box, children[1])), Corners(units_.ToPixels(40, 10, 119, 8)));

  EXPECT_FALSE(Text(children[2]).empty());
  EXPECT_EQ(Corners(ControlRect(box, children[2])), Corners(units_.ToPixels(40, 25, 119, 8)));

  EXPECT_EQ(ControlId(children[3]), IDOK);
  EXPECT_EQ(Text(children[3]), L"OK");
  EXPECT_EQ(Style(children[3]) & BS_TYPEMASK, BS_DEFPUSHBUTTON);
  EXPECT_EQ(Corners(ControlRect(box, children[3])), Corners(units_.ToPixels(178, 7, 50, 14)));

  EXPECT_TRUE(AnswerMessageBox(box, IDOK));
  EXPECT_FALSE(process_.HasExited());
}

TEST_F(AboutBox, EscapeClosesItAndTheProgramGoesOn) {
  HWND box = OpenAboutBox();
  ASSERT_NE(box, nullptr);
  PressKey(FocusedWindow(box), VK_ESCAPE);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(box); }));
  EXPECT_FALSE(process_.HasExited());
  EXPECT_TRUE(IsWindowEnabled(Dialog()));
}

TEST_F(AboutBox, IsTheLastEntryOfTheSystemMenu) {
  // Open the system menu from the keyboard, go up from the first entry to
  // the last one and choose it.
  HWND menu = OpenSystemMenu(process_);
  ASSERT_NE(menu, nullptr);
  PressKey(menu, VK_UP);
  PressKey(menu, VK_RETURN);
  HWND box = process_.WaitForDialog();
  ASSERT_NE(box, nullptr);
  EXPECT_TRUE(AnswerMessageBox(box, IDOK));
  EXPECT_FALSE(process_.HasExited());
}

}  // namespace
}  // namespace ostrel_ui
