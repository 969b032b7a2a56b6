#include "sim/scenario/trace.h"

#include <fmt/format.h>

#include <cmath>

#include "automation/convert.h"
#include "automation/dates.h"
#include "automation/object.h"

namespace mto::sim {

using nlohmann::json;

json variantJson(const Variant& v) {
  switch (v.type()) {
    case automation::VarType::Empty:
      return nullptr;
    case automation::VarType::Null:
      return json{{"null", true}};
    case automation::VarType::Missing:
      return json{{"missing", true}};
    case automation::VarType::Boolean:
      return v.boolValue();
    case automation::VarType::Integer:
      return json{{"integer", v.integerValue()}};
    case automation::VarType::Long:
      return v.longValue();
    case automation::VarType::Double: {
      double d = v.doubleValue();
      if (!std::isfinite(d)) return json{{"double", fmt::format("{}", d)}};
      return d;
    }
    case automation::VarType::Date: {
      auto p = automation::dateParts(v.dateValue());
      if (p.hour == 0 && p.minute == 0 && p.second == 0)
        return json{{"date", fmt::format("{:04}-{:02}-{:02}", p.year, p.month, p.day)}};
      return json{{"date", fmt::format("{:04}-{:02}-{:02} {:02}:{:02}:{:02}", p.year, p.month, p.day, p.hour,
                                       p.minute, p.second)}};
    }
    case automation::VarType::String:
      return v.stringValue();
    case automation::VarType::Object:
      if (!v.objectValue()) return json{{"nothing", true}};
      return json{{"object", v.objectValue()->typeName()}};
    case automation::VarType::Array: {
      json a = json::array();
      for (const auto& e : v.arrayValue()) a.push_back(variantJson(e));
      return a;
    }
  }
  return nullptr;
}

bool jsonMatches(const json& got, const json& want) {
  if (got.is_number() && want.is_number()) return std::fabs(got.get<double>() - want.get<double>()) < 1e-9;
  if (want.is_number() && got.is_object() && got.contains("integer"))
    return jsonMatches(got["integer"], want);
  return got == want;
}

json errorJson(const automation::ErrorInfo& e) {
  return {{"number", e.number},
          {"source", e.source},
          {"description", e.description},
          {"helpFile", e.helpFile},
          {"helpContext", e.helpContext}};
}

json messageJson(const MessageRecord& m) {
  json j = {{"kind", m.kind == MessageRecord::Kind::Message ? "message" : "error"}, {"text", m.text}};
  if (m.error) j["error"] = errorJson(*m.error);
  return j;
}

json cellJson(const BillEditor& bill, const std::string& key, int32_t row) {
  json j;
  auto cell = bill.cell(key, row);
  for (const char* sub : {"FFLD", "FDSP", "FFND", "FModify", "FLastUnitID", "FDecimal"})
    j[sub] = cell && cell->contains(sub) ? variantJson(cell->at(sub)) : json("<absent>");
  auto text = bill.displayedText(key, row);
  j["text"] = text ? json(*text) : json(nullptr);
  auto decimals = bill.cellDecimals(key, row);
  j["decimals"] = decimals ? json(*decimals) : json(nullptr);
  return j;
}

json totalJson(const BillEditor& bill, const std::string& key) {
  auto value = bill.columnTotal(key);
  auto decimals = bill.sumDecimals(key);
  return {{"value", value ? json(*value) : json(nullptr)},
          {"decimals", decimals ? json(*decimals) : json(nullptr)}};
}

json menuToolJson(const MenuToolState& tool) {
  return {{"name", tool.name},       {"caption", tool.caption},       {"enabled", tool.enabled},
          {"visible", tool.visible}, {"beginGroup", tool.beginGroup}, {"imageIndex", tool.imageIndex}};
}

namespace {

json toolbarToolJson(const ToolbarToolState& t) {
  return {{"name", t.name},
          {"id", t.id},
          {"caption", t.caption},
          {"description", t.description},
          {"category", t.category},
          {"beginGroup", t.beginGroup},
          {"enabled", t.enabled},
          {"visible", t.visible},
          {"separator", t.controlType == kToolSeparator}};
}

json rowCells(const BillEditor& bill, int32_t row, int32_t page) {
  json cells = json::object();
  for (const auto& key : bill.billTemplate().pageKeys(page)) cells[key] = cellJson(bill, key, row);
  return cells;
}

}  // namespace

json toolbarJson(const Toolbar& toolbar) {
  json bands = json::array();
  for (const auto& band : toolbar.bandStates()) {
    json tools = json::array();
    for (const auto& t : band.tools) tools.push_back(toolbarToolJson(t));
    bands.push_back({{"name", band.name}, {"tools", tools}});
  }
  return bands;
}

CellSnapshot snapshotCells(const BillEditor& bill) {
  CellSnapshot snapshot;
  for (const auto& key : bill.billTemplate().pageKeys(1)) snapshot[{key, 0}] = cellJson(bill, key, 0);
  const std::vector<std::string> entryKeys = bill.billTemplate().pageKeys(2);
  for (int32_t row = 1; row <= bill.rowCount(); ++row)
    for (const auto& key : entryKeys) snapshot[{key, row}] = cellJson(bill, key, row);
  return snapshot;
}

json diffCells(const CellSnapshot& before, const CellSnapshot& after) {
  json changes = json::array();
  for (const auto& [where, now] : after) {
    auto old = before.find(where);
    for (const auto& [property, value] : now.items()) {
      json previous = old == before.end() ? json("<new row>") : old->second.value(property, json());
      if (previous == value) continue;
      changes.push_back({{"key", where.first},
                         {"row", where.second},
                         {"property", property},
                         {"old", previous},
                         {"new", value}});
    }
  }
  return changes;
}

json callDiff(const std::map<std::string, uint64_t>& before, const std::map<std::string, uint64_t>& after) {
  json calls = json::object();
  for (const auto& [name, count] : callsBetween(before, after)) calls[name] = count;
  return calls;
}

json listCellJson(const ListCellDraw& cell) {
  json j = {{"row", cell.row}, {"column", cell.field}, {"text", cell.text}, {"continueRaise", cell.continueRaise}};
  if (cell.error) j["error"] = errorJson(*cell.error);
  return j;
}

json finalState(SimHost& host, const std::map<std::string, uint64_t>& callsAtStart, const BillEditor* bill,
                const BillList* list) {
  json state;
  if (bill) {
    state["head"] = rowCells(*bill, 0, 1);
    json rows = json::array();
    for (int32_t row = 1; row <= bill->rowCount(); ++row) rows.push_back(rowCells(*bill, row, 2));
    state["rows"] = rows;
    state["hiddenFields"] = bill->hiddenFields();
    state["hiddenGridColumns"] = bill->hiddenGridColumns();
    json totals = json::object();
    for (const auto& key : bill->billTemplate().pageKeys(2)) {
      json t = totalJson(*bill, key);
      if (!t["value"].is_null() || !t["decimals"].is_null()) totals[key] = t;
    }
    state["totals"] = totals;
    json data = json::object();
    for (const auto& [key, value] : bill->data()->entries())
      if (key.rfind("Page", 0) != 0) data[key] = variantJson(value);
    state["data"] = data;
    json bands = json::array();
    for (const auto& band : bill->menuBar()->bandStates()) {
      json tools = json::array();
      for (const auto& t : band.tools) tools.push_back(menuToolJson(t));
      bands.push_back({{"key", band.key}, {"tools", tools}});
    }
    state["menuBar"] = bands;
    json toolbar = json::array();
    for (const auto& band : bill->toolbar()->bandStates()) {
      json tools = json::array();
      for (const auto& t : band.tools) tools.push_back(toolbarToolJson(t));
      toolbar.push_back({{"name", band.name}, {"tools", tools}});
    }
    state["toolbar"] = toolbar;
  }
  if (list) {
    json cells = json::array();
    for (const auto& c : list->drawnCells()) cells.push_back(listCellJson(c));
    state["listCells"] = cells;
    json bands = json::array();
    for (const auto& band : list->toolbar()->bandStates()) {
      json tools = json::array();
      for (const auto& t : band.tools) tools.push_back(toolbarToolJson(t));
      bands.push_back({{"name", band.name}, {"tools", tools}});
    }
    state["listToolbar"] = bands;
  }
  state["hostCalls"] = callDiff(callsAtStart, host.state().calls.snapshot());
  return state;
}

}  // namespace mto::sim
