#pragma once

// The capture category as one test sees it: device entries of its own under
// HKCR\CLSID\{category}\Instance, and classes served from the test process.

#include <windows.h>

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "selftest/common/registry_journal.h"
#include "simcard/com/sim_filter_classes.h"

// Why the category's entries cannot be set aside on this PC.
struct SetAsideRefused : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// The machine's capture category (HKLM\Software\Classes\CLSID\{category})
// to a test alone: its device entries, the Instance key, are renamed aside
// (so that each keeps its values, security and volatility) for the test's
// lifetime, and an empty Instance takes its place for the test's own. When
// it goes, what the test changed is put back, the latest first, through the
// kit's registry journal: within a run of the self-test kit the runner puts
// back what a test program that died left. Outside the kit, entries a test
// left aside when it died are put back before the first test of each
// program that links this.
class CaptureDevices {
 public:
  // Throws SetAsideRefused where the entries cannot be renamed (a device's
  // entry that denies it, or one that cannot be read).
  CaptureDevices();
  CaptureDevices(const CaptureDevices&) = delete;
  CaptureDevices& operator=(const CaptureDevices&) = delete;

  // An entry with a string FriendlyName and the CLSID to bind to.
  void Add(const GUID& entry, const std::wstring& friendlyName, const CLSID& clsid);
  // An entry whose FriendlyName is absent (or, with a value, a number).
  void AddWithoutName(const GUID& entry, const CLSID& clsid);
  void AddWithNumberName(const GUID& entry, DWORD friendlyName, const CLSID& clsid);

 private:
  selftest::RegistryPlace Entry(const GUID& entry);

  selftest::JournaledRegistry registry_;
};

// Empties the category into devices for a test; otherwise why it can't be
// emptied here (the card registered for the user only, entries that cannot
// be set aside, devices of the PC's drivers), the reason to skip the test
// with.
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
