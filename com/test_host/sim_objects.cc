#include "test_host/sim_objects.h"

#include <olectl.h>

#include <cstdlib>
#include <map>
#include <mutex>
#include <span>
#include <unordered_map>

#include "automation/error.h"
#include "automation/platform.h"
#include "bridge/com_error.h"
#include "bridge/text.h"
#include "bridge/type_info.h"
#include "bridge/type_lib_builder.h"
#include "bridge/variant_convert.h"
#include "host/contract.h"
#include "host/events.h"
#include "sim/components/sim_host.h"
#include "sim/components/toolbar.h"

namespace mto::testhost {

using automation::Variant;
using com::MemberSpec;
using com::ParamSpec;

namespace {

GUID newGuid() {
  GUID id;
  com::check(CoCreateGuid(&id));
  return id;
}

// ---- events

/// Calls a COM sink for the events a simulated object raises to it.
class EventForwarder : public automation::EventSink {
 public:
  EventForwarder(ComPtr<IDispatch> receiver, ITypeInfo* events) : receiver_(std::move(receiver)) {
    for (const com::TypeMember& member : com::membersOf(events))
      ids_.emplace(com::toUtf8(member.name), member.id);
  }

  void onEvent(std::string_view event, automation::Args args) override {
    auto found = ids_.find(std::string(event));
    if (found == ids_.end())
      automation::raiseError(automation::errc::kMemberNotFound,
                             "The event interface has no event " + std::string(event));
    const size_t count = args.size();
    Slots slots(count);
    for (size_t i = 0; i < count; ++i) {
      VARIANT& slot = slots.values[count - 1 - i];  // COM passes arguments last first
      if (args[i].isByRef() && typedBooleans() && args[i].value().type() == automation::VarType::Boolean) {
        slots.booleans[i] = args[i].value().boolValue() ? VARIANT_TRUE : VARIANT_FALSE;
        slot.vt = VT_BYREF | VT_BOOL;
        slot.pboolVal = &slots.booleans[i];
      } else if (args[i].isByRef()) {
        com::toVariant(args[i].value(), &slots.referenced[i]);
        slot.vt = VT_BYREF | VT_VARIANT;
        slot.pvarVal = &slots.referenced[i];
      } else {
        com::toVariant(args[i].value(), &slot);
      }
    }
    DISPPARAMS params{slots.values.data(), nullptr, static_cast<UINT>(count), 0};
    com::OwnedExcepInfo excepInfo;
    UINT argError = 0;
    HRESULT hr = receiver_->Invoke(found->second, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                                   nullptr, excepInfo.get(), &argError);
    for (size_t i = 0; i < count; ++i) {
      if (!args[i].isByRef()) continue;
      Variant now = V_VT(&slots.values[count - 1 - i]) == (VT_BYREF | VT_BOOL)
                        ? Variant(slots.booleans[i] != VARIANT_FALSE)
                        : com::fromVariant(slots.referenced[i]);
      if (!(now == args[i].value())) args[i].assign(std::move(now));
    }
    if (FAILED(hr)) com::raiseHResult(hr, excepInfo.get());
  }

 private:
  /// The VARIANTs of one event call, cleared whatever happens (by-reference slots own nothing).
  struct Slots {
    explicit Slots(size_t count) : values(count), referenced(count), booleans(count, VARIANT_FALSE) {}
    com::OwnedVariantArray values;
    com::OwnedVariantArray referenced;
    std::vector<VARIANT_BOOL> booleans;
  };

  /// Hosts pass a by-reference Boolean (Cancel) either as VT_BYREF|VT_VARIANT or as VT_BYREF|VT_BOOL;
  /// MTO_REPLAY_BYREF=typed replays with the second form.
  static bool typedBooleans() {
    static const bool typed = [] {
      const char* form = std::getenv("MTO_REPLAY_BYREF");
      return form && std::string_view(form) == "typed";
    }();
    return typed;
  }

  ComPtr<IDispatch> receiver_;
  std::unordered_map<std::string, DISPID> ids_;
};

/// The event interface's members, from the host's event declarations: each event under its DISPID,
/// its parameters by name, by-reference ones flagged. Parameters are typed VARIANT, as the replay
/// passes them; a test compares this type information with the declarations.
std::vector<MemberSpec> eventMembers(std::span<const host::events::Event> events) {
  std::vector<MemberSpec> members;
  for (const auto& e : events) {
    MemberSpec member{com::toWide(e.name), e.dispid, INVOKE_FUNC, VT_EMPTY, {}};
    for (const auto& p : e.params) member.params.push_back({com::toWide(p.name), VT_VARIANT, p.byRef});
    members.push_back(std::move(member));
  }
  return members;
}

HostClass buildClass(const std::string& name) {
  std::vector<MemberSpec> events;
  if (name == "BillEvent") events = eventMembers(host::events::kBillEvents);
  if (name == "ListEvents") events = eventMembers(host::events::kListEvents);
  com::NamedClassInfo info = com::buildNamedClass(L"SimHost", com::toWide(name), std::move(events));
  HostClass type;
  type.dispatch = std::move(info.dispatch);
  type.events = std::move(info.events);
  type.coclass = std::move(info.coclass);
  return type;
}

// ---- the living wrappers, by simulated object

struct Wrappers {
  std::mutex mutex;
  std::unordered_map<const automation::Object*, SimObjectDispatch*> alive;
};
Wrappers& wrappers() {
  static auto* table = new Wrappers;
  return *table;
}

}  // namespace

// ---- SimConnectionPoint

SimConnectionPoint::SimConnectionPoint(IConnectionPointContainer* owner, automation::ObjectPtr object,
                                       ComPtr<ITypeInfo> events)
    : owner_(owner), object_(std::move(object)), events_(std::move(events)) {}

HRESULT SimConnectionPoint::GetConnectionInterface(IID* iid) noexcept {
  if (!iid) return E_POINTER;
  *iid = com::guidOf(events_.get());
  return S_OK;
}

HRESULT SimConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** out) noexcept {
  if (!out) return E_POINTER;
  *out = owner_;
  if (!owner_) return E_UNEXPECTED;
  owner_->AddRef();
  return S_OK;
}

HRESULT SimConnectionPoint::Advise(IUnknown* sink, DWORD* cookie) noexcept {
  return com::firewall([&]() -> HRESULT {
    if (!sink || !cookie) return E_POINTER;
    *cookie = 0;
    ComPtr<IDispatch> receiver;
    if (FAILED(sink->QueryInterface(com::guidOf(events_.get()), reinterpret_cast<void**>(receiver.put()))) ||
        !receiver)
      return CONNECT_E_CANNOTCONNECT;
    uint32_t made = object_->advise(std::make_shared<EventForwarder>(std::move(receiver), events_.get()));
    cookies_.insert(made);
    *cookie = made;
    return S_OK;
  });
}

HRESULT SimConnectionPoint::Unadvise(DWORD cookie) noexcept {
  return com::firewall([&]() -> HRESULT {
    if (!cookies_.erase(cookie)) return CONNECT_E_NOCONNECTION;
    object_->unadvise(cookie);
    return S_OK;
  });
}

HRESULT SimConnectionPoint::EnumConnections(IEnumConnections** out) noexcept {
  if (out) *out = nullptr;
  return E_NOTIMPL;
}

// ---- SimObjectDispatch

ComPtr<IDispatch> SimObjectDispatch::of(const automation::ObjectPtr& object) {
  if (!object) return nullptr;
  {
    Wrappers& table = wrappers();
    std::lock_guard lock(table.mutex);
    auto found = table.alive.find(object.get());
    if (found != table.alive.end())
      return ComPtr<IDispatch>::share(static_cast<IDispatch*>(static_cast<ObjectDispatch*>(found->second)));
  }
  auto* made = new SimObjectDispatch(object, simClass(object->typeName()));
  return ComPtr<IDispatch>::adopt(static_cast<IDispatch*>(static_cast<ObjectDispatch*>(made)));
}

size_t SimObjectDispatch::alive() {
  Wrappers& table = wrappers();
  std::lock_guard lock(table.mutex);
  return table.alive.size();
}

SimObjectDispatch::SimObjectDispatch(const automation::ObjectPtr& object, const HostClass& type)
    : ComObjectWith(object, type.dispatch, type.coclass, /*openMembers=*/true), key_(object.get()) {
  if (type.events) {
    eventsId_ = com::guidOf(type.events.get());
    point_ = ComPtr<SimConnectionPoint>::adopt(
        new SimConnectionPoint(static_cast<IConnectionPointContainer*>(this), object, type.events));
  }
  Wrappers& table = wrappers();
  std::lock_guard lock(table.mutex);
  table.alive[key_] = this;
}

SimObjectDispatch::~SimObjectDispatch() {
  if (point_) point_->detach();
  Wrappers& table = wrappers();
  std::lock_guard lock(table.mutex);
  auto found = table.alive.find(key_);
  if (found != table.alive.end() && found->second == this) table.alive.erase(found);
}

void* SimObjectDispatch::interfaceFor(REFIID iid) noexcept {
  if (iid == IID_IConnectionPointContainer && !point_) return nullptr;
  return ComObjectWith::interfaceFor(iid);
}

HRESULT SimObjectDispatch::EnumConnectionPoints(IEnumConnectionPoints** out) noexcept {
  if (out) *out = nullptr;
  return E_NOTIMPL;
}

HRESULT SimObjectDispatch::FindConnectionPoint(REFIID iid, IConnectionPoint** out) noexcept {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!point_ || iid != eventsId_) return CONNECT_E_NOCONNECTION;
  *out = ComPtr<SimConnectionPoint>(point_).detach();
  return S_OK;
}

// ---- classes and components

const HostClass& simClass(const std::string& typeName) {
  static auto* classes = new std::map<std::string, HostClass>;
  static std::mutex mutex;
  std::lock_guard lock(mutex);
  auto found = classes->find(typeName);
  if (found == classes->end()) found = classes->emplace(typeName, buildClass(typeName)).first;
  return found->second;
}

std::vector<std::string> simProgIds() {
  using namespace host::progid;
  const std::string_view known[] = {kDictionary,     kVector,
                                    kUtility,        kShareProps,
                                    kResourceLoader, kFormResourceLoader,
                                    kAccessChecker,  kLog,
                                    kMessageService, kConnection,
                                    kListServer,     kSysInfo,
                                    kStockStatus,    kBatchAction,
                                    kStockQtyAction, sim::kToolbarToolProgId};
  sim::SimHost probe;
  std::vector<std::string> ids;
  for (std::string_view id : known)
    if (probe.platform().isRegistered(id)) ids.emplace_back(id);
  return ids;
}

bool serveSimComponents(ClassRegistrations& classes, const std::vector<std::string>& progIds) {
  bool ok = true;
  for (const std::string& id : progIds) {
    ok = classes.add(com::toWide(id), newGuid(), [id] {
      return SimObjectDispatch::of(automation::createObject(id));
    }) && ok;
  }
  return ok;
}

}  // namespace mto::testhost
