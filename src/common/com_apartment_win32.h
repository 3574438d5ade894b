#pragma once

// COM for the calling thread, from construction to destruction, as a
// single-threaded apartment (what the device enumerator, the filter graph
// and the file dialogs expect). Made once in a program's main, never per
// use: the thread then keeps it for every connection, and it is given back
// exactly once, as the program ends.

#include <objbase.h>

class ComApartment {
 public:
  ComApartment() : initialized_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
  ~ComApartment() {
    if (initialized_) CoUninitialize();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

  explicit operator bool() const { return initialized_; }

 private:
  bool initialized_;
};
