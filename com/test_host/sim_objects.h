#pragma once

// The simulated host (sim/) served over COM, for replaying scenarios through the registered DLL:
// every simulated object the test host hands out becomes an IDispatch with type information named
// after its class, the bill and the list with their event interfaces and connection points, and the
// host components the plug-in creates by ProgID are COM classes of this process.

#include <windows.h>
#include <oaidl.h>
#include <ocidl.h>

#include <set>
#include <string>
#include <vector>

#include "automation/object.h"
#include "bridge/com_ptr.h"
#include "bridge/object_dispatch.h"
#include "test_host/host_objects.h"

namespace mto::testhost {

/// The connection point of a simulated object's events. `Advise` subscribes a forwarder to the
/// simulated object (so the simulated host raises to it as to any sink) that calls the COM sink
/// with the event's DISPID; by-reference arguments go as VT_BYREF|VT_VARIANT and what the sink left
/// there is written back; a sink's failure raises its automation error to the simulated host.
class SimConnectionPoint : public com::ComObject<IConnectionPoint> {
 public:
  SimConnectionPoint(IConnectionPointContainer* owner, automation::ObjectPtr object, ComPtr<ITypeInfo> events);
  HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) noexcept override;
  HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** out) noexcept override;
  HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) noexcept override;
  HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) noexcept override;
  HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** out) noexcept override;

  void detach() { owner_ = nullptr; }

 private:
  ~SimConnectionPoint() override = default;
  IConnectionPointContainer* owner_;
  automation::ObjectPtr object_;
  ComPtr<ITypeInfo> events_;
  std::set<uint32_t> cookies_;
};

/// A simulated object as a COM object: ObjectDispatch with its class's type information (members
/// resolved as they are asked for: the simulated classes do not list theirs), IProvideClassInfo,
/// and for a class with events IConnectionPointContainer. One per simulated object while it lives,
/// so the plug-in sees one identity; it unwraps to the simulated object when it comes back.
class SimObjectDispatch : public com::ComObjectWith<com::ObjectDispatch, IConnectionPointContainer> {
 public:
  /// The COM object of a simulated object (the living one, or a new one).
  static ComPtr<IDispatch> of(const automation::ObjectPtr& object);
  /// How many are alive, for leak checks.
  static size_t alive();

  HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** out) noexcept override;
  HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** out) noexcept override;

 protected:
  /// IConnectionPointContainer only for a class with events.
  void* interfaceFor(REFIID iid) noexcept override;

 private:
  SimObjectDispatch(const automation::ObjectPtr& object, const HostClass& type);
  ~SimObjectDispatch() override;

  const automation::Object* key_;
  IID eventsId_ = IID_NULL;
  ComPtr<SimConnectionPoint> point_;
};

/// The type information of a simulated class by its type name: coclass `name`, dispinterface
/// `_name`; "BillEvent" and "ListEvents" also have their event interfaces (the events the bill
/// editor and the bill list raise, with their parameters). Built once per name.
const HostClass& simClass(const std::string& typeName);

/// The ProgIDs of the host components a simulated host registers, the plug-in's own left out.
std::vector<std::string> simProgIds();

/// Serves each ProgID as a COM class of this process whose objects come from the platform in
/// force when one is created (a scenario's simulated host); false when a registration failed.
bool serveSimComponents(ClassRegistrations& classes, const std::vector<std::string>& progIds);

}  // namespace mto::testhost
