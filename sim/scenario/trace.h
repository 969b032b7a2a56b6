#pragma once

#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <utility>

#include "automation/error.h"
#include "automation/variant.h"
#include "sim/components/sim_host.h"
#include "sim/components/toolbar.h"
#include "sim/editor/bill_editor.h"
#include "sim/editor/bill_list.h"
#include "sim/editor/menu_bar.h"
#include "sim/runtime/environment.h"

// The JSON forms of the simulated host's state that traces, the demo and the scenario
// expectations share (docs/scenarios.md describes every key).

namespace mto::sim {

/// A Variant as JSON: texts, numbers and Booleans as they are; Empty as null; Null as
/// {"null": true}; a date as {"date": "YYYY-MM-DD[ HH:MM:SS]"}; an Integer as {"integer": n};
/// Missing as {"missing": true}; an object as {"object": type name} (Nothing: {"nothing": true});
/// an array as a JSON array.
nlohmann::json variantJson(const Variant& v);

/// Whether a state value matches an expected one: equal JSON, or numbers equal within 1e-9, or an
/// expected plain number against {"integer": n}.
bool jsonMatches(const nlohmann::json& got, const nlohmann::json& want);

nlohmann::json errorJson(const automation::ErrorInfo& e);
nlohmann::json messageJson(const MessageRecord& m);

/// A cell's state: "FFLD", "FDSP", "FFND", "FModify", "FLastUnitID", "FDecimal", "text" (the text
/// the editor shows; null when never shown) and "decimals" (shown decimals; null when never set).
nlohmann::json cellJson(const BillEditor& bill, const std::string& key, int32_t row);

/// A column total: "value" and "decimals" (null when never computed or set).
nlohmann::json totalJson(const BillEditor& bill, const std::string& key);

nlohmann::json menuToolJson(const MenuToolState& tool);

/// The bands of a toolbar control with their tools in order, as the trace's "toolbar" shows them:
/// [{"name", "tools": [{"name", "id", "caption", ..., "separator"}]}].
nlohmann::json toolbarJson(const Toolbar& toolbar);

/// A drawn cell of the list: "row", "column", "text", "continueRaise" and "error" when its
/// ListFillRow returned one.
nlohmann::json listCellJson(const ListCellDraw& cell);

/// Every cell of the head (row 0) and the entry rows, for diffs.
using CellSnapshot = std::map<std::pair<std::string, int32_t>, nlohmann::json>;
CellSnapshot snapshotCells(const BillEditor& bill);
/// The cells that changed: [{"key", "row", "property", "old", "new"}...].
nlohmann::json diffCells(const CellSnapshot& before, const CellSnapshot& after);

/// Host calls made between two counter snapshots, by member.
nlohmann::json callDiff(const std::map<std::string, uint64_t>& before,
                        const std::map<std::string, uint64_t>& after);

/// The whole state at the end of a run: head and entry cells, hidden fields, totals, menu bar,
/// toolbar, list cells, and the host calls made since `callsAtStart` (a snapshot of the host's
/// counter).
nlohmann::json finalState(SimHost& host, const std::map<std::string, uint64_t>& callsAtStart,
                          const BillEditor* bill, const BillList* list);

}  // namespace mto::sim
