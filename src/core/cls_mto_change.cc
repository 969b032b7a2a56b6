#include "core/cls_mto_change.h"

#include "automation/convert.h"
#include "automation/error.h"
#include "bill/bill_events.h"
#include "bill/stock_on_hand.h"
#include "core/event_tables.h"
#include "host/contract.h"
#include "support/event_answers.h"
#include "support/system_profile.h"

namespace mto::core {

using automation::Args;
using automation::CallKind;
using automation::ObjectPtr;
using automation::Variant;

/// The sink a bound host object raises its events to. It holds only a weak link to the plug-in
/// (the host holds the sink); while a handler runs, the plug-in is kept alive.
struct clsMTOChange::Subscription : automation::EventSink {
  Subscription(std::weak_ptr<clsMTOChange> o, bool bill) : owner(std::move(o)), isBill(bill) {}

  void onEvent(std::string_view event, Args args) override {
    auto self = owner.lock();
    if (!self) return;
    EventHandler handler = isBill ? findBillEventHandler(event) : findListEventHandler(event);
    if (!handler) return;
    support::EventScope scope;
    handler(self->state_, args);
  }

  std::weak_ptr<clsMTOChange> owner;
  bool isBill;
};

std::shared_ptr<clsMTOChange> clsMTOChange::create() {
  return std::shared_ptr<clsMTOChange>(new clsMTOChange());
}

clsMTOChange::~clsMTOChange() {
  release(state_.m_BillInterface, billCookie_);
  release(state_.m_LstInterface, listCookie_);
}

void clsMTOChange::release(ObjectPtr& slot, uint32_t& cookie) noexcept {
  if (slot) {
    try {
      slot->unadvise(cookie);
    } catch (...) {
      // The host may already have dropped the connection; the binding goes regardless.
    }
  }
  slot.reset();
  cookie = 0;
}

void clsMTOChange::bind(ObjectPtr& slot, uint32_t& cookie, ObjectPtr next, bool isBill) {
  release(slot, cookie);
  auto self = std::static_pointer_cast<clsMTOChange>(shared_from_this());
  cookie = next->advise(std::make_shared<Subscription>(self, isBill));
  slot = std::move(next);
}

void clsMTOChange::Show(const Variant& oBillInterface) {
  std::string type = automation::typeNameOf(oBillInterface);
  if (type == kBillTypeName) {
    bind(state_.m_BillInterface, billCookie_, oBillInterface.objectValue(), true);
    support::LoadSystemProfile();
  } else if (type == kListTypeName) {
    bind(state_.m_LstInterface, listCookie_, oBillInterface.objectValue(), false);
    automation::put(state_.m_LstInterface, host::member::kListSwitch, true);
  }
}

Variant clsMTOChange::invoke(std::string_view member, CallKind kind, Args args) {
  auto argument = [&](size_t i) -> const Variant& {
    if (i >= args.size() || args[i].isMissing())
      automation::raiseError(automation::errc::kArgumentNotOptional);
    return args[i].value();
  };
  auto object = [&](size_t i) -> ObjectPtr {
    const Variant& v = argument(i);
    if (!v.isObject()) automation::raiseError(automation::errc::kObjectRequired);
    return v.objectValue();
  };
  if (kind == CallKind::PropertyPut || kind == CallKind::PropertyPutRef)
    automation::raiseError(automation::errc::kActionNotSupported, {}, std::string(typeName()));

  if (automation::equalsIgnoreCase(member, "Show")) {
    if (args.size() != 1) automation::raiseError(automation::errc::kWrongArgumentCount);
    Show(argument(0));
    return {};
  }
  if (automation::equalsIgnoreCase(member, "InsertSepTool")) {
    bill::InsertSepTool(object(0), object(1));
    return {};
  }
  if (automation::equalsIgnoreCase(member, "RemoveSepTool")) {
    bill::RemoveSepTool(object(0), object(1));
    return {};
  }
  if (automation::equalsIgnoreCase(member, "GetFiledValue")) {
    return bill::GetFiledValue(argument(0), automation::toLong(argument(1)), automation::toText(argument(2)));
  }
  automation::raiseError(automation::errc::kMemberNotFound, {}, std::string(typeName()));
}

}  // namespace mto::core
