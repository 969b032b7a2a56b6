#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

// The events the host raises to the plug-in, declared once. The plug-in's event tables unpack
// arguments by these declarations (and do not compile when a handler does not fit them), the
// simulated bill editor and list raise by them, the scenario runner reads from them which argument
// is by reference and which one is the cancel flag, and the COM test host builds its event
// interfaces' type information from them. An event's arguments arrive in the order given here.

namespace mto::host::events {

/// The automation type the host declares for a parameter. The plug-in converts each by-value
/// argument to this type before its handler sees it (so a 16-bit parameter refuses 40000 with
/// overflow, as the host's own typed call would); by-reference arguments reach handlers as they
/// are, whatever their type, and are written back to the host.
enum class ParamType : uint8_t { Integer, Long, Boolean, Double, String, Object };

/// One declared parameter of an event.
struct Param {
  std::string_view name;
  ParamType type;
  bool byRef = false;
};

/// One event of a host object: its name (compared exactly), the DISPID the host's event interface
/// gives it, and its parameters.
struct Event {
  std::string_view name;
  int32_t dispid;
  std::span<const Param> params;

  /// The position of the argument whose True stops what the host was about to do: the
  /// by-reference Boolean named "Cancel" or "bCancel"; none for events that cannot be cancelled
  /// (a by-value "Cancel" cancels nothing).
  constexpr std::optional<size_t> cancelIndex() const {
    for (size_t i = 0; i < params.size(); ++i) {
      const Param& p = params[i];
      if (p.byRef && p.type == ParamType::Boolean && (p.name == "Cancel" || p.name == "bCancel")) return i;
    }
    return std::nullopt;
  }
};

namespace detail {
using enum ParamType;
inline constexpr Param kAddNewRow[] = {{"Index", Integer}, {"NewRow", Long}};
inline constexpr Param kAfterFillRow[] = {
    {"lRow", Long}, {"dctPage", Object}, {"dctEntryData", Object}, {"dctLink", Object}};
inline constexpr Param kBarInitialize[] = {{"oActiveBar", Object}};
inline constexpr Param kBeforeSave[] = {{"bCancel", Boolean, true}};
inline constexpr Param kBeginEdit[] = {{"dct", Object}, {"Col", Long}, {"Row", Long}};
inline constexpr Param kChange[] = {
    {"dctFld", Object}, {"dctFldData", Object}, {"Col", Long}, {"Row", Long}, {"Cancel", Boolean, true}};
inline constexpr Param kEntryGridRow[] = {{"Index", Long},         {"NewRow", Long},
                                          {"Row", Long},           {"RowWasLast", Boolean},
                                          {"RowChanged", Boolean}, {"AllCellsHaveData", Boolean},
                                          {"NewRowIsLast", Long},  {"Cancel", Boolean}};
inline constexpr Param kMenuBarClick[] = {{"WEXTool", Object}, {"Cancel", Boolean, true}};
inline constexpr Param kMenuBarInitialize[] = {{"oMenuBar", Object}};
inline constexpr Param kUnMultiCheck[] = {{"lCheckMode", Long},
                                          {"lCheckMaxLevel", Long},
                                          {"lBusinessLevel", Long},
                                          {"lCheckStatus", Long},
                                          {"lLastCheckFrom", Long},
                                          {"lLastCheckTo", Long},
                                          {"bSendMessage", Boolean, true},
                                          {"Cancel", Boolean, true}};
inline constexpr Param kListFillRow[] = {{"lRow", Long},
                                         {"RowData", Object},
                                         {"HeadDict", Object},
                                         {"CellData", String, true},
                                         {"BackColor", Long, true},
                                         {"ContinueRaise", Boolean, true}};
}  // namespace detail

// ---- the bill editor ("BillEvent")

inline constexpr Event kBillAddNewRow{"AddNewRow", 1, detail::kAddNewRow};
inline constexpr Event kBillAfterCopyBill{"AfterCopyBill", 2, {}};
inline constexpr Event kBillAfterFillRow{"AfterFillRow", 3, detail::kAfterFillRow};
inline constexpr Event kBillAfterLoadBill{"AfterLoadBill", 4, {}};
inline constexpr Event kBillAfterNewBill{"AfterNewBill", 5, {}};
inline constexpr Event kBillBarInitialize{"BarInitialize", 6, detail::kBarInitialize};
inline constexpr Event kBillBeforeSave{"BeforeSave", 7, detail::kBeforeSave};
inline constexpr Event kBillBeginEdit{"BeginEdit", 8, detail::kBeginEdit};
inline constexpr Event kBillChange{"Change", 9, detail::kChange};
inline constexpr Event kBillEntryGridRow{"EntryGridRow", 10, detail::kEntryGridRow};
inline constexpr Event kBillMenuBarClick{"MenuBarClick", 11, detail::kMenuBarClick};
inline constexpr Event kBillMenuBarInitialize{"MenuBarInitialize", 12, detail::kMenuBarInitialize};
inline constexpr Event kBillUnMultiCheck{"UnMultiCheck", 13, detail::kUnMultiCheck};

/// Every event of the bill editor, in DISPID order.
inline constexpr Event kBillEvents[] = {
    kBillAddNewRow,     kBillAfterCopyBill,     kBillAfterFillRow, kBillAfterLoadBill, kBillAfterNewBill,
    kBillBarInitialize, kBillBeforeSave,        kBillBeginEdit,    kBillChange,        kBillEntryGridRow,
    kBillMenuBarClick,  kBillMenuBarInitialize, kBillUnMultiCheck};

// ---- the bill list ("ListEvents")

inline constexpr Event kListBarInitialize{"BarInitialize", 1, detail::kBarInitialize};
inline constexpr Event kListListFillRow{"ListFillRow", 2, detail::kListFillRow};
inline constexpr Event kListMenuBarClick{"MenuBarClick", 3, detail::kMenuBarClick};
inline constexpr Event kListMenuBarInitialize{"MenuBarInitialize", 4, detail::kMenuBarInitialize};
inline constexpr Event kListUnMultiCheck{"UnMultiCheck", 5, detail::kUnMultiCheck};

/// Every event of the bill list, in DISPID order.
inline constexpr Event kListEvents[] = {kListBarInitialize, kListListFillRow, kListMenuBarClick,
                                        kListMenuBarInitialize, kListUnMultiCheck};

/// The declaration of an event of one of the two tables above, or null for a name it lacks.
constexpr const Event* find(std::span<const Event> table, std::string_view name) {
  for (const Event& e : table)
    if (e.name == name) return &e;
  return nullptr;
}

}  // namespace mto::host::events
