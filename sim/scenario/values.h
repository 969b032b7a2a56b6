#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "automation/dates.h"
#include "automation/variant.h"
#include "sim/editor/bill_editor.h"
#include "sim/editor/bill_list.h"

// Reading the scenario text: its plain values and the host objects its arguments name
// (docs/scenarios.md, "Values"). Every reader raises Malformed with the place it was given, so
// that the runner's one-line error says where the text is wrong.

namespace mto::sim::scenario_detail {

/// A problem in the scenario text; the runner adds the file and step.
struct Malformed : std::runtime_error {
  using std::runtime_error::runtime_error;
};

/// Raises Malformed; the one way a reader reports bad text.
[[noreturn]] void malformed(const std::string& what);

/// The entry `key` of an object; raises when it is absent ("<where> needs "<key>"").
const nlohmann::json& member(const nlohmann::json& object, std::string_view key, std::string_view where);

/// A JSON text as it is; anything else raises.
std::string textOf(const nlohmann::json& value, std::string_view where);
/// A JSON whole number that fits 32 bits; anything else raises.
int32_t integerOf(const nlohmann::json& value, std::string_view where);
/// A JSON Boolean; anything else raises.
bool boolOf(const nlohmann::json& value, std::string_view where);

/// Raises unless `object` is an object whose keys are all among `allowed` (the first unknown key,
/// in the object's order, is the one named).
void onlyKeys(const nlohmann::json& object, std::initializer_list<std::string_view> allowed,
              std::string_view where);

/// "YYYY-MM-DD[ HH:MM[:SS]]" as a date; raises for another form or a day that does not exist.
automation::Date parseIsoDate(const std::string& text, std::string_view where);

/// A plain value of the scenario text, or nullopt when the JSON is no value form (an object naming
/// a host object, say). Objects name a subtype: {"integer": 5}, {"long": 5}, {"double": 2},
/// {"date": "..."}, {"null": true}, {"empty": true}, {"missing": true}, {"nothing": true}. Raises
/// only for a value form with a bad content ({"integer": 70000}).
std::optional<Variant> plainValue(const nlohmann::json& v, std::string_view where);

/// A plain value; anything else raises ("<where>: <json> is not a value").
Variant requirePlainValue(const nlohmann::json& v, std::string_view where);

/// A cell of a bill row as the scenario writes it: a plain value (a look-up resolved by the
/// editor), or {"FFLD": v, "FDSP": text, "FFND": text} with display and number as given. `where`
/// names the cell in errors.
FillCell cellOf(const std::string& key, const nlohmann::json& value, std::string_view where);

/// Whether `v` is {"absent": true}: a cell, data entry or definition entry left out.
bool isAbsentMark(const nlohmann::json& v);

/// The host objects an argument may name; the runner owns them and they outlive every argument
/// read from them.
struct ArgumentObjects {
  std::shared_ptr<BillEditor> bill;
  std::shared_ptr<BillList> list;
  /// The second editor and list ({"bill": 2}, {"list": 2}); null where a caller has none.
  std::shared_ptr<BillEditor> bill2;
  std::shared_ptr<BillList> list2;
};

/// An event or call argument: a plain value, or a host object of the scenario ({"definition": key},
/// {"cell": [key, row]}, {"dictionary": {...}}, {"vector": [...]}, {"bill": true}, {"list": true},
/// {"menuBar": "bill"|"list"}, {"toolbar": "bill"|"list"}, {"tool": key}), and those of
/// `shapedArgument`. A Dictionary or Vector is made anew for each read; the other objects are the
/// runner's own.
Variant argument(const nlohmann::json& a, std::string_view where, const ArgumentObjects& objects);

/// The argument kinds that name the host's objects beyond the first editor and list, or nullopt
/// for another kind: {"bill": 1|2}, {"list": 1|2}, {"toolbarTool": ["bill"|"list", name]} (a tool
/// of that toolbar control's own list) and {"object": typeName} (a new plain object of that
/// run-time type name and no members, made anew for each read).
std::optional<Variant> shapedArgument(const std::string& kind, const nlohmann::json& inner, std::string_view where,
                                      const ArgumentObjects& objects);

}  // namespace mto::sim::scenario_detail
