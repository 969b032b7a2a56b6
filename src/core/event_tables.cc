#include "core/event_tables.h"

#include <span>
#include <tuple>
#include <type_traits>
#include <utility>

#include "automation/convert.h"
#include "automation/error.h"
#include "bill/bill_events.h"
#include "host/events.h"
#include "list/list_events.h"

namespace mto::core {

using automation::Arg;
using automation::Args;
using automation::ObjectPtr;
using automation::Variant;
using host::events::Event;
using host::events::ParamType;
using support::InstanceState;

namespace {

const Variant& value(Args args, size_t i) {
  if (i >= args.size() || args[i].isMissing()) automation::raiseError(automation::errc::kArgumentNotOptional);
  return args[i].value();
}

/// The C++ type a handler takes for a by-value parameter of each declared type, in the order of
/// `ParamType`'s enumerators.
template <ParamType T>
using CppType = std::tuple_element_t<static_cast<size_t>(T),
                                     std::tuple<int16_t, int32_t, bool, double, std::string, ObjectPtr>>;
static_assert(std::is_same_v<CppType<ParamType::Object>, ObjectPtr>,
              "one C++ type per declared type, in order");

/// Argument I of event E, as handler parameter type P: a by-reference argument is handed on as the
/// host's `Arg`, so that an assignment goes back to the host; a by-value one is converted to its
/// declared type (an object argument may be Nothing or Empty, both meaning no object).
template <const Event& E, size_t I, typename P>
decltype(auto) argument(Args args) {
  constexpr auto param = E.params[I];
  if constexpr (param.byRef) {
    static_assert(std::is_same_v<P, Arg&>, "a by-reference parameter reaches its handler as Arg&");
    value(args, I);
    return static_cast<Arg&>(args[I]);
  } else {
    using Declared = CppType<param.type>;
    static_assert(std::is_same_v<std::remove_cvref_t<P>, Declared>,
                  "the handler's parameter type differs from the event's declaration");
    const Variant& v = value(args, I);
    if constexpr (param.type == ParamType::Integer) {
      return automation::toInteger(v);
    } else if constexpr (param.type == ParamType::Long) {
      return automation::toLong(v);
    } else if constexpr (param.type == ParamType::Boolean) {
      return automation::toBoolean(v);
    } else if constexpr (param.type == ParamType::Double) {
      return automation::toDouble(v);
    } else if constexpr (param.type == ParamType::String) {
      return automation::toText(v);
    } else {
      if (v.isEmpty()) return ObjectPtr();
      if (!v.isObject()) automation::raiseError(automation::errc::kObjectRequired);
      return ObjectPtr(v.objectValue());
    }
  }
}

template <typename F>
struct HandlerParams;
template <typename... P>
struct HandlerParams<void (*)(InstanceState&, P...)> {
  using type = std::tuple<P...>;
};

/// Runs handler H for event E, its arguments unpacked by E's declaration. A handler whose
/// parameters do not match the declaration in number, passing or type does not compile.
template <const Event& E, auto H>
void route(InstanceState& self, Args args) {
  using Params = typename HandlerParams<decltype(H)>::type;
  static_assert(std::tuple_size_v<Params> == E.params.size(),
                "the handler takes a different number of arguments than the event declares");
  [&]<size_t... I>(std::index_sequence<I...>) {
    H(self, argument<E, I, std::tuple_element_t<I, Params>>(args)...);
  }
  (std::make_index_sequence<E.params.size()>{});
}

struct Entry {
  const Event& event;
  EventHandler handler;
};

namespace ev = host::events;

const Entry kBillEvents[] = {
    {ev::kBillAddNewRow, route<ev::kBillAddNewRow, &bill::m_Billinterface_AddNewRow>},
    {ev::kBillAfterCopyBill, route<ev::kBillAfterCopyBill, &bill::m_Billinterface_AfterCopyBill>},
    {ev::kBillAfterFillRow, route<ev::kBillAfterFillRow, &bill::m_Billinterface_AfterFillRow>},
    {ev::kBillAfterLoadBill, route<ev::kBillAfterLoadBill, &bill::m_Billinterface_AfterLoadBill>},
    {ev::kBillAfterNewBill, route<ev::kBillAfterNewBill, &bill::m_BillInterface_AfterNewBill>},
    {ev::kBillBarInitialize, route<ev::kBillBarInitialize, &bill::m_BillInterface_BarInitialize>},
    {ev::kBillBeforeSave, route<ev::kBillBeforeSave, &bill::m_BillInterface_BeforeSave>},
    {ev::kBillBeginEdit, route<ev::kBillBeginEdit, &bill::m_BillInterface_BeginEdit>},
    {ev::kBillChange, route<ev::kBillChange, &bill::m_BillInterface_Change>},
    {ev::kBillEntryGridRow, route<ev::kBillEntryGridRow, &bill::m_BillInterface_EntryGridRow>},
    {ev::kBillMenuBarClick, route<ev::kBillMenuBarClick, &bill::m_BillInterface_MenuBarClick>},
    {ev::kBillMenuBarInitialize, route<ev::kBillMenuBarInitialize, &bill::m_BillInterface_MenuBarInitialize>},
    {ev::kBillUnMultiCheck, route<ev::kBillUnMultiCheck, &bill::m_BillInterface_UnMultiCheck>},
};

const Entry kListEvents[] = {
    {ev::kListBarInitialize, route<ev::kListBarInitialize, &list::m_LstInterface_BarInitialize>},
    {ev::kListListFillRow, route<ev::kListListFillRow, &list::m_LstInterface_ListFillRow>},
    {ev::kListMenuBarClick, route<ev::kListMenuBarClick, &list::m_LstInterface_MenuBarClick>},
    {ev::kListMenuBarInitialize, route<ev::kListMenuBarInitialize, &list::m_LstInterface_MenuBarInitialize>},
    {ev::kListUnMultiCheck, route<ev::kListUnMultiCheck, &list::m_LstInterface_UnMultiCheck>},
};

EventHandler find(std::span<const Entry> table, std::string_view event) {
  for (const auto& entry : table)
    if (entry.event.name == event) return entry.handler;
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
