#pragma once

#include <windows.h>
#include <oaidl.h>
#include <ocidl.h>

#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "automation/object.h"
#include "bridge/com_ptr.h"

namespace mto::com {

/// A host's IDispatch as an `Object`: how the plug-in calls its host. One adapter per host object
/// (by COM identity) while it lives, so a host object handed over twice is the same Object and its
/// member names are resolved through GetIDsOfNames once.
///
/// Calls pass arguments last first; a property put names its value DISPID_PROPERTYPUT; a
/// by-reference Arg goes as VT_BYREF|VT_VARIANT and is written back after the call; Missing goes
/// as VT_ERROR DISP_E_PARAMNOTFOUND; the member "" is the default member (DISPID_VALUE). A failed
/// call raises the automation error the HRESULT (or its EXCEPINFO) stands for.
///
/// `advise` subscribes to the object's default source interface through its connection point;
/// the adapter keeps the connection point and unadvises what is left when it dies.
class DispatchObject : public automation::Object {
 public:
  static std::shared_ptr<DispatchObject> adapt(ComPtr<IDispatch> dispatch);
  ~DispatchObject() override;
  DispatchObject(const DispatchObject&) = delete;
  DispatchObject& operator=(const DispatchObject&) = delete;

  /// The coclass name, else the interface name without a leading "_", else "Object".
  std::string typeName() const override;
  automation::Variant invoke(std::string_view member, automation::CallKind kind, automation::Args args) override;
  /// Raises 459 when the object has no default source interface or no connection point for it.
  uint32_t advise(std::shared_ptr<automation::EventSink> sink) override;
  void unadvise(uint32_t cookie) override;

  IDispatch* dispatch() const { return dispatch_.get(); }

 private:
  DispatchObject(ComPtr<IDispatch> dispatch, IUnknown* identity);
  DISPID dispIdOf(std::string_view member);

  ComPtr<IDispatch> dispatch_;
  IUnknown* identity_;  // the key of the adapter table; valid while dispatch_ is held
  std::unordered_map<std::string, DISPID> ids_;
  mutable std::optional<std::string> typeName_;
  std::vector<std::pair<DWORD, ComPtr<IConnectionPoint>>> connections_;
};

}  // namespace mto::com
