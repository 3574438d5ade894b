#pragma once

// The capture category as one test sees it: device entries of its own under
// HKCR\CLSID\{category}\Instance, and classes served from the test process.

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "simcard/com/sim_filter_classes.h"

// Sets aside the category's existing device entries for the test's lifetime
// and removes what the test added when it goes, putting the old ones back
// (set_aside_capture_entries.h). Entries a test left aside when it died are
// put back before the first test of each program that links this.
class CaptureDevices {
 public:
  CaptureDevices();
  ~CaptureDevices();
  CaptureDevices(const CaptureDevices&) = delete;
  CaptureDevices& operator=(const CaptureDevices&) = delete;

  // An entry with a string FriendlyName and the CLSID to bind to.
  void Add(const GUID& entry, const std::wstring& friendlyName, const CLSID& clsid);
  // An entry whose FriendlyName is absent (or, with a value, a number).
  void AddWithoutName(const GUID& entry, const CLSID& clsid);
  void AddWithNumberName(const GUID& entry, DWORD friendlyName, const CLSID& clsid);
};

// Empties the category into devices for a test; otherwise why it can't be
// emptied here, the reason to skip the test with.
std::string EmptyCaptureCategory(std::optional<CaptureDevices>& devices);

// Why the simulated card is not the only device the system lists under the
// card's name (the program could reach another, a real card); empty if it is.
std::string WhyTheSimulatedCardIsNotAlone();

// Serves filters of kind under clsid from this process while it lives.
class ServedClass {
 public:
  ServedClass(const CLSID& clsid, simcard::com::FilterKind kind);
  ~ServedClass();
  ServedClass(const ServedClass&) = delete;
  ServedClass& operator=(const ServedClass&) = delete;

 private:
  DWORD cookie_ = 0;
};

// The CLSID values of the category's entries, in the order the system
// device enumerator yields them.
std::vector<CLSID> EnumeratedClasses();
