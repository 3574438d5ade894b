#include "fake_device_enum.h"

#include <dshow.h>
#include <ks.h>
#include <wrl/client.h>

#include <stdexcept>
#include <utility>

#include "simcard/com/com_class_warnings.h"
#include "simcard/com/com_object.h"
#include "simcard/com/sim_filter_classes.h"

using Microsoft::WRL::ComPtr;

struct FakeEnumeratorState {
  FakeCategory category;
  long alive = 0;
  int created = 0;
};

namespace {

using State = std::shared_ptr<FakeEnumeratorState>;

SIMCARD_COM_CLASSES_BEGIN

using simcard::com::CreateObject;

// The fakes count their objects in the test's state, apart from the module's.
struct FakeTally {
  State state;
  void ObjectCreated() const { ++state->alive; }
  void ObjectDestroyed() const { --state->alive; }
  void ReferenceAdded() const {}
  void ReferenceReleased() const {}
};

template <class Derived, class Interface>
class Fake : public simcard::com::SingleInterfaceObject<Derived, Interface, FakeTally> {
 protected:
  explicit Fake(State state)
      : simcard::com::SingleInterfaceObject<Derived, Interface, FakeTally>(FakeTally{state}),
        state_(std::move(state)) {}

  State state_;
};

class FakeBag final : public Fake<FakeBag, IPropertyBag> {
 public:
  FakeBag(State state, FakeDevice device) : Fake(std::move(state)), device_(std::move(device)) {}

  STDMETHODIMP Read(LPCOLESTR name, VARIANT* value, IErrorLog*) override {
    if (std::wstring(name) != L"FriendlyName") return E_INVALIDARG;
    // Filled even when the read reports failure: that must not count.
    if (device_.name) {
      value->vt = VT_BSTR;
      value->bstrVal =
          SysAllocStringLen(device_.name->data(), static_cast<UINT>(device_.name->size()));
    } else {
      value->vt = VT_I4;
      value->lVal = 713;
    }
    return device_.nameRead;
  }
  STDMETHODIMP Write(LPCOLESTR, VARIANT*) override { return E_NOTIMPL; }

 private:
  FakeDevice device_;
};

class FakeMoniker final : public Fake<FakeMoniker, IMoniker> {
 public:
  FakeMoniker(State state, FakeDevice device)
      : Fake(std::move(state)), device_(std::move(device)) {}

  STDMETHODIMP BindToStorage(IBindCtx*, IMoniker*, REFIID iid, void** out) override {
    *out = nullptr;
    if (iid != __uuidof(IPropertyBag)) return E_NOINTERFACE;
    if (SUCCEEDED(device_.storage)) CreateObject<FakeBag>(iid, out, state_, device_);
    return device_.storage;
  }
  STDMETHODIMP BindToObject(IBindCtx*, IMoniker*, REFIID iid, void** out) override {
    *out = nullptr;
    if (FAILED(device_.bind)) return device_.bind;
    ComPtr<IClassFactory> factory;
    const HRESULT made = simcard::com::CreateFilterFactory(
        device_.filterClass, simcard::com::FilterKind::Card, IID_IClassFactory,
        reinterpret_cast<void**>(factory.GetAddressOf()));
    if (FAILED(made)) return made;
    const HRESULT created = factory->CreateInstance(nullptr, iid, out);
    return FAILED(created) ? created : device_.bind;
  }

  STDMETHODIMP GetClassID(CLSID*) override { return E_NOTIMPL; }
  STDMETHODIMP IsDirty() override { return E_NOTIMPL; }
  STDMETHODIMP Load(IStream*) override { return E_NOTIMPL; }
  STDMETHODIMP Save(IStream*, BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP GetSizeMax(ULARGE_INTEGER*) override { return E_NOTIMPL; }
  STDMETHODIMP Reduce(IBindCtx*, DWORD, IMoniker**, IMoniker**) override { return E_NOTIMPL; }
  STDMETHODIMP ComposeWith(IMoniker*, BOOL, IMoniker**) override { return E_NOTIMPL; }
  STDMETHODIMP Enum(BOOL, IEnumMoniker**) override { return E_NOTIMPL; }
  STDMETHODIMP IsEqual(IMoniker*) override { return E_NOTIMPL; }
  STDMETHODIMP Hash(DWORD*) override { return E_NOTIMPL; }
  STDMETHODIMP IsRunning(IBindCtx*, IMoniker*, IMoniker*) override { return E_NOTIMPL; }
  STDMETHODIMP GetTimeOfLastChange(IBindCtx*, IMoniker*, FILETIME*) override { return E_NOTIMPL; }
  STDMETHODIMP Inverse(IMoniker**) override { return E_NOTIMPL; }
  STDMETHODIMP CommonPrefixWith(IMoniker*, IMoniker**) override { return E_NOTIMPL; }
  STDMETHODIMP RelativePathTo(IMoniker*, IMoniker**) override { return E_NOTIMPL; }
  STDMETHODIMP GetDisplayName(IBindCtx*, IMoniker*, LPOLESTR*) override { return E_NOTIMPL; }
  STDMETHODIMP ParseDisplayName(IBindCtx*, IMoniker*, LPOLESTR, ULONG*, IMoniker**) override {
    return E_NOTIMPL;
  }
  STDMETHODIMP IsSystemMoniker(DWORD*) override { return E_NOTIMPL; }

 private:
  FakeDevice device_;
};

class FakeMonikers final : public Fake<FakeMonikers, IEnumMoniker> {
 public:
  explicit FakeMonikers(State state) : Fake(std::move(state)) {}

  STDMETHODIMP Next(ULONG count, IMoniker** monikers, ULONG* fetched) override {
    if (count != 1) return E_INVALIDARG;
    if (fetched != nullptr) *fetched = 0;
    if (next_ >= state_->category.devices.size()) return S_FALSE;
    CreateObject<FakeMoniker>(IID_IMoniker, reinterpret_cast<void**>(monikers), state_,
                              state_->category.devices[next_++]);
    if (fetched != nullptr) *fetched = 1;
    return S_OK;
  }
  STDMETHODIMP Skip(ULONG) override { return E_NOTIMPL; }
  STDMETHODIMP Reset() override {
    next_ = 0;
    return S_OK;
  }
  STDMETHODIMP Clone(IEnumMoniker**) override { return E_NOTIMPL; }

 private:
  std::size_t next_ = 0;
};

class FakeDevEnum final : public Fake<FakeDevEnum, ICreateDevEnum> {
 public:
  explicit FakeDevEnum(State state) : Fake(std::move(state)) {}

  STDMETHODIMP CreateClassEnumerator(REFCLSID category, IEnumMoniker** monikers,
                                     DWORD flags) override {
    *monikers = nullptr;
    if (category != KSCATEGORY_CAPTURE || flags != 0) return E_INVALIDARG;
    if (SUCCEEDED(state_->category.classEnumerator)) {
      CreateObject<FakeMonikers>(IID_IEnumMoniker, reinterpret_cast<void**>(monikers), state_);
    }
    return state_->category.classEnumerator;
  }
};

// Makes FakeDevEnum objects, or (without state) nothing at all.
class FakeFactory final : public Fake<FakeFactory, IClassFactory> {
 public:
  FakeFactory(State state, bool fails) : Fake(std::move(state)), fails_(fails) {}

  STDMETHODIMP CreateInstance(IUnknown*, REFIID iid, void** out) override {
    *out = nullptr;
    if (fails_) return E_FAIL;
    ++state_->created;
    return CreateObject<FakeDevEnum>(iid, out, state_);
  }
  STDMETHODIMP LockServer(BOOL) override { return S_OK; }

 private:
  bool fails_;
};

SIMCARD_COM_CLASSES_END

DWORD Serve(const CLSID& clsid, State state, bool fails) {
  ComPtr<IClassFactory> factory;
  CreateObject<FakeFactory>(IID_IClassFactory, reinterpret_cast<void**>(factory.GetAddressOf()),
                            std::move(state), fails);
  DWORD cookie = 0;
  if (FAILED(CoRegisterClassObject(clsid, factory.Get(), CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE,
                                   &cookie))) {
    throw std::runtime_error("cannot serve a fake class");
  }
  return cookie;
}

}  // namespace

FakeDeviceEnumerator::FakeDeviceEnumerator(FakeCategory category)
    : state_(std::make_shared<FakeEnumeratorState>()) {
  state_->category = std::move(category);
  cookie_ = Serve(CLSID_SystemDeviceEnum, state_, false);
}

FakeDeviceEnumerator::~FakeDeviceEnumerator() {
  CoRevokeClassObject(cookie_);
}

long FakeDeviceEnumerator::Alive() const {
  return state_->alive - 1;
}  // not the class object

int FakeDeviceEnumerator::DeviceEnumeratorsCreated() const {
  return state_->created;
}

FailingClass::FailingClass(const CLSID& clsid)
    : cookie_(Serve(clsid, std::make_shared<FakeEnumeratorState>(), true)) {}

FailingClass::~FailingClass() {
  CoRevokeClassObject(cookie_);
}
