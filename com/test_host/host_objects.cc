#include "test_host/host_objects.h"

#include <olectl.h>

#include "automation/ascii.h"
#include "automation/error.h"
#include "bridge/com_error.h"
#include "bridge/text.h"
#include "bridge/type_info.h"

namespace mto::testhost {

using automation::CallKind;
using automation::Variant;

// ---- ConnectionPoint

ConnectionPoint::ConnectionPoint(HostObject* owner, const IID& events) : owner_(owner), events_(events) {}

HRESULT ConnectionPoint::GetConnectionInterface(IID* iid) noexcept {
  if (!iid) return E_POINTER;
  *iid = events_;
  return S_OK;
}

HRESULT ConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** out) noexcept {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!owner_) return E_UNEXPECTED;
  *out = static_cast<IConnectionPointContainer*>(owner_);
  (*out)->AddRef();
  return S_OK;
}

HRESULT ConnectionPoint::Advise(IUnknown* sink, DWORD* cookie) noexcept {
  return com::firewall([&]() -> HRESULT {
    if (!sink || !cookie) return E_POINTER;
    *cookie = 0;
    ComPtr<IDispatch> receiver;
    if (FAILED(sink->QueryInterface(events_, reinterpret_cast<void**>(receiver.put()))) || !receiver)
      return CONNECT_E_CANNOTCONNECT;
    sinks_.emplace(nextCookie_, std::move(receiver));
    *cookie = nextCookie_++;
    return S_OK;
  });
}

HRESULT ConnectionPoint::Unadvise(DWORD cookie) noexcept {
  return sinks_.erase(cookie) ? S_OK : CONNECT_E_NOCONNECTION;
}

HRESULT ConnectionPoint::EnumConnections(IEnumConnections** out) noexcept {
  if (out) *out = nullptr;
  return E_NOTIMPL;
}

HRESULT ConnectionPoint::fire(DISPID id, DISPPARAMS& params, EXCEPINFO* excepInfo) {
  // A handler may unadvise (itself or others) while the event is raised: call a snapshot.
  std::vector<ComPtr<IDispatch>> receivers;
  for (auto& [cookie, sink] : sinks_) receivers.push_back(sink);
  HRESULT first = S_OK;
  for (auto& receiver : receivers) {
    com::OwnedExcepInfo local;
    UINT argError = 0;
    HRESULT hr = receiver->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, local.get(),
                                  &argError);
    if (FAILED(hr) && SUCCEEDED(first)) {
      first = hr;
      if (excepInfo) local.detachTo(excepInfo);
    }
  }
  return first;
}

// ---- HostObject

ComPtr<HostObject> HostObject::create(automation::ObjectPtr behaviour, const HostClass& type) {
  return ComPtr<HostObject>::adopt(new HostObject(std::move(behaviour), type));
}

HostObject::HostObject(automation::ObjectPtr behaviour, const HostClass& type)
    : ComObjectWith(std::move(behaviour), type.dispatch, type.provideClassInfo ? type.coclass : nullptr),
      events_(type.events) {
  if (events_) point_ = ComPtr<ConnectionPoint>::adopt(new ConnectionPoint(this, com::guidOf(events_.get())));
}

HostObject::~HostObject() {
  if (point_) point_->detach();
}

void* HostObject::interfaceFor(REFIID iid) noexcept {
  if (iid == com::IID_IObjectHolder) return nullptr;
  if (iid == IID_IConnectionPointContainer && !point_) return nullptr;
  return ComObjectWith::interfaceFor(iid);
}

HRESULT HostObject::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) noexcept {
  ++namesResolved_;
  return ObjectDispatch::GetIDsOfNames(iid, names, count, lcid, ids);
}

HRESULT HostObject::EnumConnectionPoints(IEnumConnectionPoints** out) noexcept {
  if (out) *out = nullptr;
  return E_NOTIMPL;
}

HRESULT HostObject::FindConnectionPoint(REFIID iid, IConnectionPoint** out) noexcept {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!point_ || iid != com::guidOf(events_.get())) return CONNECT_E_NOCONNECTION;
  *out = ComPtr<ConnectionPoint>(point_).detach();
  return S_OK;
}

HRESULT HostObject::raise(std::wstring_view event, std::vector<VARIANT> args, EXCEPINFO* excepInfo) {
  if (!point_) return E_NOTIMPL;
  DISPID id = DISPID_UNKNOWN;
  for (const com::TypeMember& member : com::membersOf(events_.get()))
    if (member.name == event) id = member.id;
  if (id == DISPID_UNKNOWN) return DISP_E_UNKNOWNNAME;
  std::vector<VARIANT> reversed(args.rbegin(), args.rend());
  DISPPARAMS params{reversed.empty() ? nullptr : reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
  return point_->fire(id, params, excepInfo);
}

// ---- ScriptedObject

namespace {
char kindLetter(CallKind kind) {
  switch (kind) {
    case CallKind::Method: return 'M';
    case CallKind::PropertyGet: return 'G';
    case CallKind::PropertyPut: return 'P';
    case CallKind::PropertyPutRef: return 'R';
  }
  return '?';
}
}  // namespace

Variant ScriptedObject::invoke(std::string_view member, CallKind kind, automation::Args args) {
  calls_.push_back(std::string(member) + ":" + kindLetter(kind));
  auto found = handlers_.find(automation::ascii::lowered(member));
  if (found == handlers_.end()) automation::raiseError(automation::errc::kMemberNotFound, {}, typeName_);
  return found->second(kind, args);
}

ScriptedObject& ScriptedObject::on(std::string name, Handler handler) {
  handlers_[automation::ascii::lowered(name)] = std::move(handler);
  return *this;
}

ScriptedObject& ScriptedObject::property(std::string name, Variant initial) {
  std::string key = automation::ascii::lowered(name);
  properties_[key] = std::move(initial);
  return on(name, [this, key](CallKind kind, automation::Args args) -> Variant {
    if (kind == CallKind::PropertyPut || kind == CallKind::PropertyPutRef) {
      if (args.size() != 1) automation::raiseError(automation::errc::kWrongArgumentCount);
      properties_[key] = args[0].value();
      return {};
    }
    return properties_[key];
  });
}

const Variant& ScriptedObject::propertyValue(std::string_view name) const {
  static const Variant empty;
  auto found = properties_.find(automation::ascii::lowered(name));
  return found == properties_.end() ? empty : found->second;
}

// ---- FunctionFactory

HRESULT FunctionFactory::CreateInstance(IUnknown* outer, REFIID iid, void** out) noexcept {
  return com::firewall([&]() -> HRESULT {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    return make_()->QueryInterface(iid, out);
  });
}

HRESULT FunctionFactory::LockServer(BOOL) noexcept { return S_OK; }

// ---- ClassRegistrations

bool ClassRegistrations::add(const std::wstring& progId, const CLSID& clsid, std::function<ComPtr<IDispatch>()> make) {
  wchar_t clsidText[64] = {};
  StringFromGUID2(clsid, clsidText, 64);
  std::wstring key = progId + L"\\CLSID";
  auto bytes = static_cast<DWORD>((wcslen(clsidText) + 1) * sizeof(wchar_t));
  if (RegSetKeyValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, REG_SZ, clsidText, bytes) != ERROR_SUCCESS) return false;
  auto factory = ComPtr<IClassFactory>::adopt(new FunctionFactory(std::move(make)));
  DWORD cookie = 0;
  HRESULT hr = CoRegisterClassObject(clsid, factory.get(), CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                                     REGCLS_MULTIPLEUSE, &cookie);
  entries_.push_back({progId, SUCCEEDED(hr) ? cookie : 0});
  return SUCCEEDED(hr);
}

void ClassRegistrations::revoke() {
  for (const Entry& entry : entries_) {
    if (entry.cookie) CoRevokeClassObject(entry.cookie);
    RegDeleteTreeW(HKEY_CLASSES_ROOT, entry.progId.c_str());
    RegDeleteKeyW(HKEY_CLASSES_ROOT, entry.progId.c_str());
  }
  entries_.clear();
}

}  // namespace mto::testhost
