#pragma once

// Dialog units of Ostrel's font ("MS Sans Serif", 8 pt) in pixels, through a
// hidden dialog of that font in the test process: MapDialogRect works only
// on the caller's own dialogs.

#include <windows.h>

namespace ostrel_ui {

class DialogUnits {
 public:
  DialogUnits();
  ~DialogUnits();
  DialogUnits(const DialogUnits&) = delete;
  DialogUnits& operator=(const DialogUnits&) = delete;

  RECT ToPixels(int x, int y, int width, int height) const;

 private:
  HWND dialog_ = nullptr;
};

}  // namespace ostrel_ui

#include <array>

namespace ostrel_ui {

// A rectangle as left, top, right, bottom, for comparing and printing.
inline std::array<LONG, 4> Corners(const RECT& r) {
  return {r.left, r.top, r.right, r.bottom};
}

}  // namespace ostrel_ui
