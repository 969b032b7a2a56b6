#pragma once

#include <windows.h>
#include <oaidl.h>

#include <memory>
#include <string>
#include <unordered_map>

#include "automation/object.h"
#include "bridge/com_object.h"
#include "bridge/com_ptr.h"

namespace mto::com {

/// The IDispatch a host's connection point calls with its events. It answers IUnknown, IDispatch
/// and the source interface's IID (hosts query for that in Advise), names each DISPID with the
/// source interface's ITypeInfo::GetNames, and hands the event to an `EventSink`, writing back the
/// by-reference arguments (Cancel) it changed. A handler's error returns to the host's event call
/// as DISP_E_EXCEPTION with EXCEPINFO.
///
/// It holds the EventSink strongly and nothing else of the plug-in: the core's sink holds only a
/// weak link to the plug-in object, so host -> connection -> sink makes no cycle.
class EventSinkDispatch : public ComObject<IDispatch> {
 public:
  static ComPtr<IDispatch> create(std::shared_ptr<automation::EventSink> sink, const IID& source,
                                   ComPtr<ITypeInfo> sourceInfo);

  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) noexcept override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) noexcept override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) noexcept override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO* excepInfo, UINT* argError) noexcept override;

 private:
  EventSinkDispatch(std::shared_ptr<automation::EventSink> sink, const IID& source, ComPtr<ITypeInfo> sourceInfo);
  ~EventSinkDispatch() override = default;
  /// The source interface's IID answers as IDispatch too.
  void* interfaceFor(REFIID iid) noexcept override;
  /// The event's name, empty for a DISPID the source interface does not have.
  const std::string& eventName(DISPID id);

  std::shared_ptr<automation::EventSink> sink_;
  IID source_;
  ComPtr<ITypeInfo> sourceInfo_;
  std::unordered_map<DISPID, std::string> names_;
};

}  // namespace mto::com
