#include "bridge/dispatch_object.h"

#include <mutex>

#include "automation/ascii.h"
#include "automation/error.h"
#include "bridge/com_error.h"
#include "bridge/event_sink.h"
#include "bridge/text.h"
#include "bridge/type_info.h"
#include "bridge/variant_convert.h"

namespace mto::com {

using automation::CallKind;
using automation::Variant;

namespace {

constexpr int32_t kNoEvents = 459;

// The adapters alive, by COM identity. Never destroyed: adapters kept in per-thread module state
// may outlive static destruction when the DLL unloads.
struct AdapterTable {
  std::mutex mutex;
  std::unordered_map<IUnknown*, std::weak_ptr<DispatchObject>> adapters;
};
AdapterTable& adapterTable() {
  static auto* table = new AdapterTable;
  return *table;
}

[[noreturn]] void raiseNoEvents() {
  automation::raiseError(kNoEvents, "Object or class does not support the set of events");
}

/// The argument VARIANTs of an outgoing call, cleared whatever happens to the call.
struct ArgumentBlock {
  explicit ArgumentBlock(size_t count) : slots(count), byRef(count) {}
  /// What DISPPARAMS gets, last argument first.
  OwnedVariantArray slots;
  /// The values by-reference slots point at, in natural order.
  OwnedVariantArray byRef;
};

}  // namespace

std::shared_ptr<DispatchObject> DispatchObject::adapt(ComPtr<IDispatch> dispatch) {
  ComPtr<IUnknown> identity = dispatch.as<IUnknown>(IID_IUnknown);
  IUnknown* key = identity ? identity.get() : dispatch.get();
  AdapterTable& table = adapterTable();
  std::lock_guard lock(table.mutex);
  auto& slot = table.adapters[key];
  if (auto existing = slot.lock()) return existing;
  std::shared_ptr<DispatchObject> made(new DispatchObject(std::move(dispatch), key));
  slot = made;
  return made;
}

DispatchObject::DispatchObject(ComPtr<IDispatch> dispatch, IUnknown* identity)
    : dispatch_(std::move(dispatch)), identity_(identity) {}

DispatchObject::~DispatchObject() {
  for (auto& [cookie, point] : connections_) point->Unadvise(cookie);
  AdapterTable& table = adapterTable();
  std::lock_guard lock(table.mutex);
  auto it = table.adapters.find(identity_);
  if (it != table.adapters.end() && it->second.expired()) table.adapters.erase(it);
}

std::string DispatchObject::typeName() const {
  if (!typeName_) typeName_ = toUtf8(runtimeTypeName(dispatch_.get()));
  return *typeName_;
}

DISPID DispatchObject::dispIdOf(std::string_view member) {
  if (member.empty()) return DISPID_VALUE;
  std::string key = automation::ascii::lowered(member);
  if (auto found = ids_.find(key); found != ids_.end()) return found->second;
  std::wstring wide = toWide(member);
  LPOLESTR names[] = {wide.data()};
  DISPID id = DISPID_UNKNOWN;
  HRESULT hr = dispatch_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(hr)) raiseHResult(hr);
  ids_.emplace(std::move(key), id);
  return id;
}

Variant DispatchObject::invoke(std::string_view member, CallKind kind, automation::Args args) {
  DISPID id = dispIdOf(member);
  size_t count = args.size();
  ArgumentBlock block(count);
  for (size_t i = 0; i < count; ++i) {
    VARIANT& slot = block.slots[count - 1 - i];
    if (args[i].isByRef()) {
      toVariant(args[i].value(), &block.byRef[i]);
      slot.vt = VT_BYREF | VT_VARIANT;
      slot.pvarVal = &block.byRef[i];
    } else {
      toVariant(args[i].value(), &slot);
    }
  }
  DISPID putId = DISPID_PROPERTYPUT;
  DISPPARAMS params{block.slots.data(), nullptr, static_cast<UINT>(count), 0};
  WORD flags = DISPATCH_METHOD | DISPATCH_PROPERTYGET;
  if (kind == CallKind::PropertyPut || kind == CallKind::PropertyPutRef) {
    flags = kind == CallKind::PropertyPut ? DISPATCH_PROPERTYPUT : DISPATCH_PROPERTYPUTREF;
    params.rgdispidNamedArgs = &putId;
    params.cNamedArgs = 1;
  }
  OwnedVariant result;
  OwnedExcepInfo excepInfo;
  UINT argError = 0;
  HRESULT hr = dispatch_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result.get(), excepInfo.get(),
                                 &argError);
  if (FAILED(hr)) raiseHResult(hr, excepInfo.get());
  for (size_t i = 0; i < count; ++i)
    if (args[i].isByRef()) args[i].assign(fromVariant(block.byRef[i]));
  return fromVariant(*result.get());
}

uint32_t DispatchObject::advise(std::shared_ptr<automation::EventSink> sink) {
  ComPtr<ITypeInfo> coclass = coclassOf(dispatch_.get());
  ComPtr<ITypeInfo> source = coclass ? defaultSourceOf(coclass.get()) : nullptr;
  if (!source) raiseNoEvents();
  IID sourceId = guidOf(source.get());
  auto container = dispatch_.as<IConnectionPointContainer>(IID_IConnectionPointContainer);
  if (!container) raiseNoEvents();
  ComPtr<IConnectionPoint> point;
  if (FAILED(container->FindConnectionPoint(sourceId, point.put())) || !point) raiseNoEvents();
  ComPtr<IDispatch> receiver = EventSinkDispatch::create(std::move(sink), sourceId, std::move(source));
  DWORD cookie = 0;
  check(point->Advise(receiver.get(), &cookie));
  connections_.emplace_back(cookie, std::move(point));
  return cookie;
}

void DispatchObject::unadvise(uint32_t cookie) {
  for (auto it = connections_.begin(); it != connections_.end(); ++it) {
    if (it->first != cookie) continue;
    ComPtr<IConnectionPoint> point = std::move(it->second);
    connections_.erase(it);
    check(point->Unadvise(cookie));
    return;
  }
}

}  // namespace mto::com
