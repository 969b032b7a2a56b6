#pragma once

// The one IUnknown of every COM object this module serves. An object lists the interfaces it
// answers as template arguments; that list is its QueryInterface table. A class that must decide
// at run time (an IID known only from type information, an interface it has only sometimes)
// overrides `interfaceFor` and falls back to the table.

#include <windows.h>
#include <unknwn.h>

#include <atomic>

#include "bridge/module_count.h"

namespace mto::com {

/// The IID of an interface type: the one mingw-w64 attaches with __CRT_UUID_DECL.
template <typename Interface>
const IID& iidOf() noexcept {
  return __uuidof(Interface);
}

namespace detail {
/// The first type of a list.
template <typename Head, typename...>
struct FirstOf {
  using type = Head;
};
}  // namespace detail

/// IUnknown for an object that implements `Interfaces...` (the first one is its identity, the
/// IUnknown it answers). The reference count is atomic, so references may be taken and dropped on
/// any thread; a new object starts with one reference, owned by whoever called `new` (adopt it into
/// a ComPtr). While the object lives it counts as alive in the module (`liveObjects`), so
/// DllCanUnloadNow answers S_FALSE. The last Release deletes it through the virtual destructor.
template <typename... Interfaces>
class ComObject : public Interfaces..., private CountedObject {
  static_assert(sizeof...(Interfaces) > 0, "a COM object answers at least one interface");

 public:
  /// E_POINTER for a null `out`; else the interface for `iid` with a reference added, or
  /// E_NOINTERFACE with `*out` null.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) noexcept override {
    if (!out) return E_POINTER;
    *out = interfaceFor(iid);
    if (!*out) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  /// Returns the new count (for diagnostics only, as COM says).
  ULONG STDMETHODCALLTYPE AddRef() noexcept override { return refs_.fetch_add(1, std::memory_order_relaxed) + 1; }
  /// Returns the new count; at zero the object is gone.
  ULONG STDMETHODCALLTYPE Release() noexcept override {
    ULONG left = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0) delete this;
    return left;
  }

 protected:
  /// With one reference, owned by the caller of `new`.
  ComObject() noexcept = default;
  /// Only the last Release deletes an object.
  virtual ~ComObject() = default;

  /// The interface pointer answering `iid`, without a reference added; null when the object does
  /// not answer it. The default is the listed table (IUnknown and `Interfaces...`). An override
  /// decides what it must and calls this for the rest.
  virtual void* interfaceFor(REFIID iid) noexcept {
    if (iid == IID_IUnknown) return identity();
    void* found = nullptr;
    ((found = found ? found : (iid == iidOf<Interfaces>() ? static_cast<Interfaces*>(this) : nullptr)), ...);
    return found;
  }

  /// The object's IUnknown: the same pointer whichever interface it is asked through.
  IUnknown* identity() noexcept { return static_cast<typename detail::FirstOf<Interfaces...>::type*>(this); }

 private:
  std::atomic<ULONG> refs_{1};
};

/// A COM object class `Base` (a ComObject, directly or not) extended by further interfaces
/// `Extra...`: it answers them besides Base's table and forwards IUnknown to Base, so the
/// reference count and identity stay Base's. Base's constructors are inherited.
template <typename Base, typename... Extra>
class ComObjectWith : public Base, public Extra... {
 public:
  /// Base's constructors, with their access.
  using Base::Base;

  /// As Base's.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) noexcept override {
    return Base::QueryInterface(iid, out);
  }
  /// As Base's.
  ULONG STDMETHODCALLTYPE AddRef() noexcept override { return Base::AddRef(); }
  /// As Base's.
  ULONG STDMETHODCALLTYPE Release() noexcept override { return Base::Release(); }

 protected:
  /// `Extra...` first, then Base's table.
  void* interfaceFor(REFIID iid) noexcept override {
    void* found = nullptr;
    ((found = found ? found : (iid == iidOf<Extra>() ? static_cast<Extra*>(this) : nullptr)), ...);
    return found ? found : Base::interfaceFor(iid);
  }
};

}  // namespace mto::com
