// The COM object base and the owners of COM resources, checked on objects of the test's own, so
// that a fault shows here rather than as a leak or a crash somewhere in the plug-in's traffic.

#include <windows.h>
#include <objbase.h>
#include <ocidl.h>
#include <olectl.h>

#include <atomic>
#include <thread>

#include "bridge/com_object.h"
#include "bridge/com_ptr.h"
#include "bridge/module_count.h"
#include "test_host/check.h"
#include "test_host/suites.h"

namespace mto::testhost {

namespace {

/// A COM object with two interfaces that tells when it is gone.
class Probe : public com::ComObject<IClassFactory, IProvideClassInfo> {
 public:
  /// `destroyed` is set when the last reference goes.
  explicit Probe(bool* destroyed) : destroyed_(destroyed) {}
  /// E_NOTIMPL: only IUnknown is under test.
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown*, REFIID, void** out) noexcept override {
    if (out) *out = nullptr;
    return E_NOTIMPL;
  }
  /// E_NOTIMPL.
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) noexcept override { return E_NOTIMPL; }
  /// E_NOTIMPL.
  HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** out) noexcept override {
    if (out) *out = nullptr;
    return E_NOTIMPL;
  }

 protected:
  /// Tells the test.
  ~Probe() override { *destroyed_ = true; }

 private:
  bool* destroyed_;
};

/// A Probe extended by a further interface, as the test host's objects extend ObjectDispatch.
class ProbeWithEvents : public com::ComObjectWith<Probe, IConnectionPointContainer> {
 public:
  /// As Probe's.
  using ComObjectWith::ComObjectWith;
  /// E_NOTIMPL.
  HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** out) noexcept override {
    if (out) *out = nullptr;
    return E_NOTIMPL;
  }
  /// No connection point for any IID.
  HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID, IConnectionPoint** out) noexcept override {
    if (out) *out = nullptr;
    return CONNECT_E_NOCONNECTION;
  }
};

/// The object's IUnknown as QueryInterface answers it.
IUnknown* identityOf(IUnknown* object) {
  com::ComPtr<IUnknown> unknown;
  object->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(unknown.put()));
  return unknown.get();  // the object outlives the call, so the pointer stays meaningful
}

/// A VARIANT holding one reference to `probe` (taken here).
VARIANT holding(Probe* probe) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_UNKNOWN;
  v.punkVal = static_cast<IClassFactory*>(probe);
  probe->AddRef();
  return v;
}

void referenceCounting() {
  TestRun& t = tests();
  t.group("COM object base: references and interfaces");
  t.run("a new object holds one reference; AddRef and Release count; the last Release deletes it", [&] {
    bool destroyed = false;
    auto* probe = new Probe(&destroyed);
    EXPECT(probe->AddRef() == 2);
    EXPECT(probe->AddRef() == 3);
    EXPECT(probe->Release() == 2);
    EXPECT(probe->Release() == 1);
    EXPECT(!destroyed);
    EXPECT(probe->Release() == 0);
    EXPECT(destroyed);
  });
  t.run("QueryInterface answers each listed interface with a reference added, one identity for all", [&] {
    bool destroyed = false;
    auto probe = com::ComPtr<Probe>::adopt(new Probe(&destroyed));
    void* factory = nullptr;
    void* classInfo = nullptr;
    t.expectHr(probe->QueryInterface(IID_IClassFactory, &factory), S_OK, "IClassFactory");
    t.expectHr(probe->QueryInterface(IID_IProvideClassInfo, &classInfo), S_OK, "IProvideClassInfo");
    EXPECT(factory == static_cast<IClassFactory*>(probe.get()));
    EXPECT(classInfo == static_cast<IProvideClassInfo*>(probe.get()));
    EXPECT(identityOf(static_cast<IClassFactory*>(factory)) == identityOf(static_cast<IProvideClassInfo*>(classInfo)));
    EXPECT(probe->AddRef() == 4);  // the adopted one, the two queried, this one
    probe->Release();
    static_cast<IClassFactory*>(factory)->Release();
    static_cast<IProvideClassInfo*>(classInfo)->Release();
    EXPECT(!destroyed);
  });
  t.run("an unlisted IID is E_NOINTERFACE with *out null and no reference taken; a null out is E_POINTER", [&] {
    bool destroyed = false;
    auto probe = com::ComPtr<Probe>::adopt(new Probe(&destroyed));
    int stale = 0;
    void* out = &stale;
    t.expectHr(probe->QueryInterface(IID_IDispatch, &out), E_NOINTERFACE, "IDispatch");
    EXPECT(out == nullptr);
    out = &stale;
    t.expectHr(probe->QueryInterface(IID_IConnectionPointContainer, &out), E_NOINTERFACE, "not extended");
    EXPECT(out == nullptr);
    t.expectHr(probe->QueryInterface(IID_IUnknown, nullptr), E_POINTER, "null out");
    EXPECT(probe->AddRef() == 2);
    probe->Release();
  });
  t.run("an extended object answers its extra interface and its base's, on one count and identity", [&] {
    bool destroyed = false;
    auto* probe = new ProbeWithEvents(&destroyed);
    com::ComPtr<IConnectionPointContainer> container;
    t.expectHr(static_cast<IClassFactory*>(probe)->QueryInterface(IID_IConnectionPointContainer,
                                                                   reinterpret_cast<void**>(container.put())),
               S_OK, "IConnectionPointContainer");
    EXPECT(container.get() == static_cast<IConnectionPointContainer*>(probe));
    EXPECT(identityOf(container.get()) == identityOf(static_cast<IProvideClassInfo*>(probe)));
    EXPECT(container->AddRef() == 3);
    EXPECT(static_cast<IProvideClassInfo*>(probe)->Release() == 2);
    container.reset();
    EXPECT(!destroyed);
    EXPECT(probe->Release() == 0);
    EXPECT(destroyed);
  });
  t.run("references taken and dropped on two threads at once are all counted", [&] {
    constexpr ULONG kEach = 1000000;
    bool destroyed = false;
    auto* probe = new Probe(&destroyed);
    // A cushion of references: lost updates show as a wrong count instead of an early delete.
    for (ULONG i = 0; i < 2 * kEach; ++i) probe->AddRef();
    std::atomic<int> ready{0};
    auto churn = [&ready](IUnknown* through) {
      ++ready;  // both start together, so that their updates overlap
      while (ready.load() < 2) {
      }
      for (ULONG i = 0; i < kEach; ++i) through->AddRef();
      for (ULONG i = 0; i < kEach; ++i) through->Release();
    };
    std::thread a(churn, static_cast<IClassFactory*>(probe));
    std::thread b(churn, static_cast<IProvideClassInfo*>(probe));
    a.join();
    b.join();
    ULONG left = probe->Release();
    if (!EXPECT(left == 2 * kEach)) return;  // leaked rather than deleted at a wrong count
    for (ULONG i = 0; i < 2 * kEach - 1; ++i) probe->Release();
    EXPECT(!destroyed);
    EXPECT(probe->Release() == 0);
    EXPECT(destroyed);
  });
  t.run("each object counts in the module while it lives; the count is back to zero after the last", [&] {
    EXPECT(com::liveObjects() == 0);
    bool firstGone = false;
    bool secondGone = false;
    auto first = com::ComPtr<Probe>::adopt(new Probe(&firstGone));
    auto second = com::ComPtr<ProbeWithEvents>::adopt(new ProbeWithEvents(&secondGone));
    EXPECT(com::liveObjects() == 2);
    first.reset();
    EXPECT(com::liveObjects() == 1);
    second.reset();
    EXPECT(firstGone && secondGone);
    EXPECT(com::liveObjects() == 0);
  });
}

void owners() {
  TestRun& t = tests();
  t.group("owners of COM resources");
  t.run("a moved OwnedVariant hands its reference over; the one holding it at the end releases it", [&] {
    bool destroyed = false;
    auto* probe = new Probe(&destroyed);
    VARIANT raw = holding(probe);
    probe->Release();  // the VARIANT holds the only reference now
    {
      com::OwnedVariant first = com::OwnedVariant::adopt(&raw);
      EXPECT(raw.vt == VT_EMPTY);
      com::OwnedVariant second(std::move(first));
      EXPECT(first->vt == VT_EMPTY);
      EXPECT(second->vt == VT_UNKNOWN);
      com::OwnedVariant third;
      third = std::move(second);
      EXPECT(second->vt == VT_EMPTY);
      EXPECT(!destroyed);
    }
    EXPECT(destroyed);
  });
  t.run("moving onto an OwnedVariant releases what it held before; detachTo gives the content away", [&] {
    bool oldGone = false;
    bool newGone = false;
    auto* older = new Probe(&oldGone);
    auto* newer = new Probe(&newGone);
    VARIANT a = holding(older);
    VARIANT b = holding(newer);
    older->Release();
    newer->Release();
    com::OwnedVariant target = com::OwnedVariant::adopt(&a);
    com::OwnedVariant source = com::OwnedVariant::adopt(&b);
    target = std::move(source);
    EXPECT(oldGone);
    EXPECT(!newGone);
    VARIANT out;
    target.detachTo(&out);
    EXPECT(target->vt == VT_EMPTY && out.vt == VT_UNKNOWN);
    EXPECT(!newGone);
    VariantClear(&out);
    EXPECT(newGone);
  });
  t.run("an OwnedVariantArray starts Empty, hands everything over when moved and clears it at the end", [&] {
    bool firstGone = false;
    bool secondGone = false;
    auto* first = new Probe(&firstGone);
    auto* second = new Probe(&secondGone);
    {
      com::OwnedVariantArray array(3);
      EXPECT(array[0].vt == VT_EMPTY && array[2].vt == VT_EMPTY);
      array[0] = holding(first);
      array[2] = holding(second);
      first->Release();
      second->Release();
      com::OwnedVariantArray moved(std::move(array));
      EXPECT(array.size() == 0 && array.data() == nullptr);
      EXPECT(moved.size() == 3);
      com::OwnedVariantArray target(1);
      target = std::move(moved);
      EXPECT(target.size() == 3 && target[0].vt == VT_UNKNOWN);
      EXPECT(!firstGone && !secondGone);
    }
    EXPECT(firstGone && secondGone);
  });
  t.run("a moved OwnedExcepInfo hands its strings over and is left empty", [&] {
    com::OwnedExcepInfo first;
    first.get()->bstrSource = SysAllocString(L"T8MTOChange");
    first.get()->bstrDescription = SysAllocString(L"Type mismatch");
    first.get()->scode = DISP_E_TYPEMISMATCH;
    BSTR source = first->bstrSource;
    com::OwnedExcepInfo second(std::move(first));
    EXPECT(first->bstrSource == nullptr && first->bstrDescription == nullptr && first->scode == 0);
    EXPECT(second->bstrSource == source && second->scode == DISP_E_TYPEMISMATCH);
    com::OwnedExcepInfo third;
    third.get()->bstrHelpFile = SysAllocString(L"replaced.chm");
    third = std::move(second);
    EXPECT(second->bstrSource == nullptr);
    EXPECT(third->bstrSource == source && third->bstrHelpFile == nullptr);
  });
  t.run("ComInitialization pairs only the initialisations that succeeded, S_FALSE included", [&] {
    HRESULT nested = E_FAIL;
    HRESULT wrongModel = E_FAIL;
    HRESULT afterInner = E_FAIL;
    HRESULT afterAll = E_FAIL;
    std::thread worker([&] {
      {
        com::ComInitialization outer;
        {
          com::ComInitialization inner;
          nested = inner.result();
          com::ComInitialization other(COINIT_MULTITHREADED);
          wrongModel = other.result();
        }
        afterInner = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);  // S_FALSE: still joined
        if (SUCCEEDED(afterInner)) CoUninitialize();
      }
      afterAll = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);  // S_OK: left completely
      if (SUCCEEDED(afterAll)) CoUninitialize();
    });
    worker.join();
    t.expectHr(nested, S_FALSE, "a second initialisation on the thread");
    t.expectHr(wrongModel, RPC_E_CHANGED_MODE, "another concurrency model");
    t.expectHr(afterInner, S_FALSE, "after the inner guards");
    t.expectHr(afterAll, S_OK, "after every guard");
  });
  t.run("a moved ComInitialization uninitialises once, by its last holder", [&] {
    HRESULT movedFrom = S_OK;
    HRESULT afterMoves = E_FAIL;
    HRESULT afterAll = E_FAIL;
    std::thread worker([&] {
      HRESULT own = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
      {
        com::ComInitialization first;
        com::ComInitialization second(std::move(first));
        movedFrom = first.result();
        com::ComInitialization third;  // its own pairing ends when `second` is moved onto it
        third = std::move(second);
      }
      afterMoves = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);  // S_FALSE: `own` still holds
      if (SUCCEEDED(afterMoves)) CoUninitialize();
      if (SUCCEEDED(own)) CoUninitialize();
      afterAll = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
      if (SUCCEEDED(afterAll)) CoUninitialize();
    });
    worker.join();
    t.expectHr(movedFrom, CO_E_NOTINITIALIZED, "a moved-from guard");
    t.expectHr(afterMoves, S_FALSE, "after the guards, with the thread's own initialisation left");
    t.expectHr(afterAll, S_OK, "after the thread's own");
  });
}

}  // namespace

void runComObjectTests() {
  referenceCounting();
  owners();
}

}  // namespace mto::testhost
