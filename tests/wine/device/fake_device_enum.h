#pragma once

// A system device enumerator served from the test process in place of
// Wine's, over devices described by the test: it answers each step of the
// lookup as told (including the failures Wine's own never gives) and counts
// its live objects, so that a test can prove the lookup released every
// enumerator, moniker and property bag.

#include <windows.h>
#include <objbase.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

struct FakeDevice {
  HRESULT storage = S_OK;            // BindToStorage's answer (a bag is handed out unless negative)
  HRESULT nameRead = S_OK;           // the FriendlyName read's answer
  std::optional<std::wstring> name;  // nothing: the value is a number
  HRESULT bind = S_OK;  // BindToObject's answer (a filter is handed out unless negative)
  CLSID filterClass{};  // the class the bound filter reports
};

struct FakeCategory {
  HRESULT classEnumerator = S_OK;  // an enumerator is handed out unless negative
  std::vector<FakeDevice> devices;
};

struct FakeEnumeratorState;

class FakeDeviceEnumerator {
 public:
  explicit FakeDeviceEnumerator(FakeCategory category);
  ~FakeDeviceEnumerator();
  FakeDeviceEnumerator(const FakeDeviceEnumerator&) = delete;
  FakeDeviceEnumerator& operator=(const FakeDeviceEnumerator&) = delete;

  // Enumerators, monikers and bags handed out and not yet released.
  long Alive() const;
  int DeviceEnumeratorsCreated() const;

 private:
  std::shared_ptr<FakeEnumeratorState> state_;
  DWORD cookie_ = 0;
};

// Serves clsid from the test process with a class that can't create anything.
class FailingClass {
 public:
  explicit FailingClass(const CLSID& clsid);
  ~FailingClass();
  FailingClass(const FailingClass&) = delete;
  FailingClass& operator=(const FailingClass&) = delete;

 private:
  DWORD cookie_ = 0;
};
