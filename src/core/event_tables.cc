#include "core/event_tables.h"

#include <array>
#include <utility>

#include "automation/convert.h"
#include "automation/error.h"
#include "bill/bill_events.h"
#include "list/list_events.h"

namespace mto::core {

using automation::Arg;
using automation::Args;
using automation::ObjectPtr;
using automation::Variant;
using support::InstanceState;

namespace {

const Variant& value(Args args, size_t i) {
  if (i >= args.size() || args[i].isMissing()) automation::raiseError(automation::errc::kArgumentNotOptional);
  return args[i].value();
}

int32_t lng(Args args, size_t i) {
  return automation::toLong(value(args, i));
}
int16_t integer(Args args, size_t i) {
  return automation::toInteger(value(args, i));
}
bool boolean(Args args, size_t i) {
  return automation::toBoolean(value(args, i));
}

/// An object argument; Nothing and Empty stand for no object.
ObjectPtr object(Args args, size_t i) {
  const Variant& v = value(args, i);
  if (v.isEmpty()) return nullptr;
  if (!v.isObject()) automation::raiseError(automation::errc::kObjectRequired);
  return v.objectValue();
}

/// A by-reference argument: the handler's assignments reach the host through it.
Arg& ref(Args args, size_t i) {
  value(args, i);
  return args[i];
}

using Entry = std::pair<std::string_view, EventHandler>;

const std::array kBillEvents = {
    Entry{"AddNewRow",
          [](InstanceState& s, Args a) { bill::m_Billinterface_AddNewRow(s, integer(a, 0), lng(a, 1)); }},
    Entry{"AfterCopyBill", [](InstanceState& s, Args) { bill::m_Billinterface_AfterCopyBill(s); }},
    Entry{"AfterFillRow",
          [](InstanceState& s, Args a) {
            bill::m_Billinterface_AfterFillRow(s, lng(a, 0), object(a, 1), object(a, 2), object(a, 3));
          }},
    Entry{"AfterLoadBill", [](InstanceState& s, Args) { bill::m_Billinterface_AfterLoadBill(s); }},
    Entry{"AfterNewBill", [](InstanceState& s, Args) { bill::m_BillInterface_AfterNewBill(s); }},
    Entry{"BarInitialize",
          [](InstanceState& s, Args a) { bill::m_BillInterface_BarInitialize(s, object(a, 0)); }},
    Entry{"BeforeSave", [](InstanceState& s, Args a) { bill::m_BillInterface_BeforeSave(s, ref(a, 0)); }},
    Entry{"BeginEdit",
          [](InstanceState& s, Args a) {
            bill::m_BillInterface_BeginEdit(s, object(a, 0), lng(a, 1), lng(a, 2));
          }},
    Entry{"Change",
          [](InstanceState& s, Args a) {
            bill::m_BillInterface_Change(s, object(a, 0), object(a, 1), lng(a, 2), lng(a, 3), ref(a, 4));
          }},
    Entry{"EntryGridRow",
          [](InstanceState& s, Args a) {
            bill::m_BillInterface_EntryGridRow(s, lng(a, 0), lng(a, 1), lng(a, 2), boolean(a, 3),
                                               boolean(a, 4), boolean(a, 5), lng(a, 6), boolean(a, 7));
          }},
    Entry{"MenuBarClick",
          [](InstanceState& s, Args a) { bill::m_BillInterface_MenuBarClick(s, object(a, 0), ref(a, 1)); }},
    Entry{"MenuBarInitialize",
          [](InstanceState& s, Args a) { bill::m_BillInterface_MenuBarInitialize(s, object(a, 0)); }},
    Entry{"UnMultiCheck",
          [](InstanceState& s, Args a) {
            bill::m_BillInterface_UnMultiCheck(s, lng(a, 0), lng(a, 1), lng(a, 2), lng(a, 3), lng(a, 4),
                                               lng(a, 5), ref(a, 6), ref(a, 7));
          }},
};

const std::array kListEvents = {
    Entry{"BarInitialize",
          [](InstanceState& s, Args a) { list::m_LstInterface_BarInitialize(s, object(a, 0)); }},
    Entry{"ListFillRow",
          [](InstanceState& s, Args a) {
            list::m_LstInterface_ListFillRow(s, lng(a, 0), object(a, 1), object(a, 2), ref(a, 3), ref(a, 4),
                                             ref(a, 5));
          }},
    Entry{"MenuBarClick",
          [](InstanceState& s, Args a) { list::m_LstInterface_MenuBarClick(s, object(a, 0), ref(a, 1)); }},
    Entry{"MenuBarInitialize",
          [](InstanceState& s, Args a) { list::m_LstInterface_MenuBarInitialize(s, object(a, 0)); }},
    Entry{"UnMultiCheck",
          [](InstanceState& s, Args a) {
            list::m_LstInterface_UnMultiCheck(s, lng(a, 0), lng(a, 1), lng(a, 2), lng(a, 3), lng(a, 4),
                                              lng(a, 5), ref(a, 6), ref(a, 7));
          }},
};

template <size_t N>
EventHandler find(const std::array<Entry, N>& table, std::string_view event) {
  for (const auto& [name, handler] : table)
    if (name == event) return handler;
  return nullptr;
}

}  // namespace

EventHandler findBillEventHandler(std::string_view event) {
  return find(kBillEvents, event);
}
EventHandler findListEventHandler(std::string_view event) {
  return find(kListEvents, event);
}

}  // namespace mto::core
