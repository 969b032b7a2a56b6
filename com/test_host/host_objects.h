#pragma once

// COM objects of a host, for driving the plug-in the way a real bill runtime does: objects with
// type information (a coclass, its dispinterface and its event dispinterface) and a connection
// point that raises events to whoever advised. Their behaviour is any automation Object, so the
// same classes can serve hand-made test objects or a simulated host's objects.

#include <windows.h>
#include <oaidl.h>
#include <ocidl.h>

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "automation/object.h"
#include "bridge/com_object.h"
#include "bridge/com_ptr.h"
#include "bridge/object_dispatch.h"

namespace mto::testhost {

using com::ComPtr;

/// The type information of one host class.
struct HostClass {
  ComPtr<ITypeInfo> coclass;
  ComPtr<ITypeInfo> dispatch;
  /// The default source interface; null for a class without events.
  ComPtr<ITypeInfo> events;
  /// Whether objects answer IProvideClassInfo; without it a client finds the coclass through the
  /// type library that holds the dispinterface.
  bool provideClassInfo = true;
};

class HostObject;

/// The connection point of a host object's event interface. It queries each advising sink for the
/// event interface's IID, as real hosts do.
class ConnectionPoint : public com::ComObject<IConnectionPoint> {
 public:
  ConnectionPoint(HostObject* owner, const IID& events);
  HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) noexcept override;
  HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** out) noexcept override;
  HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) noexcept override;
  HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) noexcept override;
  HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** out) noexcept override;

  size_t connectionCount() const { return sinks_.size(); }
  /// Calls every sink; returns the first failure (its EXCEPINFO in `excepInfo`), else S_OK.
  HRESULT fire(DISPID id, DISPPARAMS& params, EXCEPINFO* excepInfo);
  void detach() { owner_ = nullptr; }

 private:
  ~ConnectionPoint() override = default;
  HostObject* owner_;
  IID events_;
  std::map<DWORD, ComPtr<IDispatch>> sinks_;
  DWORD nextCookie_ = 1;
};

/// A host object: IDispatch with type information over a behaviour Object, IProvideClassInfo (when
/// its class says so) and IConnectionPointContainer for its events. Counts GetIDsOfNames calls, so
/// a test can tell that a client resolves each name once. It stands for a foreign object: the
/// bridge in this process never unwraps it, as it could not unwrap a real host's.
class HostObject : public com::ComObjectWith<com::ObjectDispatch, IConnectionPointContainer> {
 public:
  static ComPtr<HostObject> create(automation::ObjectPtr behaviour, const HostClass& type);

  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid,
                                          DISPID* ids) noexcept override;
  HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** out) noexcept override;
  HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** out) noexcept override;

  IDispatch* dispatch() { return static_cast<IDispatch*>(static_cast<ObjectDispatch*>(this)); }
  size_t connectionCount() const { return point_ ? point_->connectionCount() : 0; }
  int namesResolved() const { return namesResolved_; }

  /// Raises an event by name with its arguments in natural order (reversed here, as COM passes
  /// them); the VARIANTs stay the caller's. Returns S_OK or the first sink's failure.
  HRESULT raise(std::wstring_view event, std::vector<VARIANT> args, EXCEPINFO* excepInfo = nullptr);

 protected:
  /// Never IObjectHolder (it stands for a foreign object); IConnectionPointContainer only with events.
  void* interfaceFor(REFIID iid) noexcept override;

 private:
  HostObject(automation::ObjectPtr behaviour, const HostClass& type);
  ~HostObject() override;

  ComPtr<ITypeInfo> events_;
  ComPtr<ConnectionPoint> point_;
  int namesResolved_ = 0;
};

/// A behaviour Object made of handlers by member name (any case); unknown members raise 438. It
/// records each call as "Member:kind" (kind M, G, P or R) for tests to inspect.
class ScriptedObject : public automation::Object {
 public:
  using Handler = std::function<automation::Variant(automation::CallKind, automation::Args)>;

  explicit ScriptedObject(std::string typeName) : typeName_(std::move(typeName)) {}
  std::string typeName() const override { return typeName_; }
  automation::Variant invoke(std::string_view member, automation::CallKind kind, automation::Args args) override;

  ScriptedObject& on(std::string name, Handler handler);
  /// A read-write property with an initial value.
  ScriptedObject& property(std::string name, automation::Variant initial);
  const automation::Variant& propertyValue(std::string_view name) const;
  const std::vector<std::string>& calls() const { return calls_; }

 private:
  std::string typeName_;
  std::map<std::string, Handler> handlers_;  // by lower-case name
  std::map<std::string, automation::Variant> properties_;
  std::vector<std::string> calls_;
};

/// A class factory that makes objects with a function; registered with CoRegisterClassObject.
class FunctionFactory : public com::ComObject<IClassFactory> {
 public:
  explicit FunctionFactory(std::function<ComPtr<IDispatch>()> make) : make_(std::move(make)) {}
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) noexcept override;
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) noexcept override;

 private:
  ~FunctionFactory() override = default;
  std::function<ComPtr<IDispatch>()> make_;
};

/// Makes classes CreateObject can find in this process: each ProgID is written under
/// HKEY_CLASSES_ROOT with its CLSID and the class object registered with CoRegisterClassObject.
/// `revoke` (or destruction) removes both.
class ClassRegistrations {
 public:
  ClassRegistrations() = default;
  ClassRegistrations(const ClassRegistrations&) = delete;
  ClassRegistrations& operator=(const ClassRegistrations&) = delete;
  ~ClassRegistrations() { revoke(); }

  /// Returns false when either the registry or COM refused.
  bool add(const std::wstring& progId, const CLSID& clsid, std::function<ComPtr<IDispatch>()> make);
  void revoke();

 private:
  struct Entry {
    std::wstring progId;
    DWORD cookie;
  };
  std::vector<Entry> entries_;
};

}  // namespace mto::testhost
