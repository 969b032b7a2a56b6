#include "bridge/event_sink.h"

#include "bridge/com_error.h"
#include "bridge/invoke_args.h"
#include "bridge/text.h"

namespace mto::com {

ComPtr<IDispatch> EventSinkDispatch::create(std::shared_ptr<automation::EventSink> sink, const IID& source,
                                            ComPtr<ITypeInfo> sourceInfo) {
  return ComPtr<IDispatch>::adopt(new EventSinkDispatch(std::move(sink), source, std::move(sourceInfo)));
}

EventSinkDispatch::EventSinkDispatch(std::shared_ptr<automation::EventSink> sink, const IID& source,
                                     ComPtr<ITypeInfo> sourceInfo)
    : sink_(std::move(sink)), source_(source), sourceInfo_(std::move(sourceInfo)) {}

void* EventSinkDispatch::interfaceFor(REFIID iid) noexcept {
  if (iid == source_) return static_cast<IDispatch*>(this);
  return ComObject::interfaceFor(iid);
}

HRESULT EventSinkDispatch::GetTypeInfoCount(UINT* count) noexcept {
  if (!count) return E_POINTER;
  *count = 1;
  return S_OK;
}

HRESULT EventSinkDispatch::GetTypeInfo(UINT index, LCID, ITypeInfo** info) noexcept {
  if (!info) return E_POINTER;
  *info = nullptr;
  if (index != 0) return DISP_E_BADINDEX;
  *info = ComPtr<ITypeInfo>(sourceInfo_).detach();
  return S_OK;
}

HRESULT EventSinkDispatch::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) noexcept {
  return sourceInfo_->GetIDsOfNames(names, count, ids);
}

const std::string& EventSinkDispatch::eventName(DISPID id) {
  auto found = names_.find(id);
  if (found != names_.end()) return found->second;
  Bstr name;
  UINT got = 0;
  std::string text;
  if (SUCCEEDED(sourceInfo_->GetNames(id, name.put(), 1, &got)) && got == 1) text = fromBstr(name.get());
  return names_.emplace(id, std::move(text)).first->second;
}

HRESULT EventSinkDispatch::Invoke(DISPID id, REFIID iid, LCID, WORD, DISPPARAMS* params, VARIANT* result,
                                  EXCEPINFO* excepInfo, UINT*) noexcept {
  return firewall(excepInfo, [&]() -> HRESULT {
    if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    if (!params || (params->cArgs > 0 && !params->rgvarg)) return E_INVALIDARG;
    if (result) VariantInit(result);
    const std::string& name = eventName(id);
    if (name.empty()) return DISP_E_MEMBERNOTFOUND;
    // A handler may end the subscription (the plug-in released, or bound elsewhere); stay alive
    // until it returns.
    auto self = ComPtr<IDispatch>::share(this);
    auto sink = sink_;
    InvokeArguments arguments(*params);
    sink->onEvent(name, arguments.args());
    arguments.writeBack();
    return S_OK;
  });
}

}  // namespace mto::com
