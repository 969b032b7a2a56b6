#include "sim/scenario/demo.h"

#include <fmt/format.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

#include "sim/scenario/scenario.h"

namespace mto::sim {

using nlohmann::json;

namespace {

// The story a person sees first: a new MTO change bill, its stock key edited row by row while the
// plug-in keeps the stock on hand under the source tracking number up to date.
const char* const kStory = R"json({
  "name": "A new MTO change bill",
  "setup": {
    "today": "2026-12-06 09:30",
    "locale": {"dateSeparator": "-", "shortDatePattern": "yyyy-MM-dd"},
    "menuBar": {"bands": [
      {"key": "mnuFile", "caption": "&File", "commands": [{"name": "mnuFileNew"}, {"name": "mnuFileSave"}]},
      {"key": "mnuData", "caption": "&Data", "commands": [{"name": "mnuDataLookUp"}, {"name": "mnuStockQuery"},
                                                          {"name": "mnuStockStatusQuery"}]}]},
    "bill": {
      "operationMode": 1,
      "head": {"FBillNo": "MTO000001", "FDate": "2026-12-06"},
      "rows": [
        {"FStockID": 31, "FSPID": 41},
        {"FStockID": 31, "FSPID": 43}
      ]
    }
  },
  "steps": [
    {"name": "The host opens the bill and binds the plug-in", "bind": "bill"},
    {"name": "Row 1: choose material 12, steel plate (no free stock at this place)",
     "setCell": {"key": "FItemID", "row": 1, "value": 12}},
    {"name": "Row 1: source tracking number MTO-2026-001",
     "setCell": {"key": "FFromMTONo", "row": 1, "value": "MTO-2026-001"}},
    {"name": "Row 1: source tracking number MTO-2026-002",
     "setCell": {"key": "FFromMTONo", "row": 1, "value": "MTO-2026-002"}},
    {"name": "Row 1: warehouse WH02 (the stock place still points into WH01)",
     "setCell": {"key": "FStockID", "row": 1, "value": 32}},
    {"name": "Row 1: stock place B-01-01", "setCell": {"key": "FSPID", "row": 1, "value": 44}},
    {"name": "Row 1: source tracking number MTO-2026-003",
     "setCell": {"key": "FFromMTONo", "row": 1, "value": "MTO-2026-003"}},
    {"name": "Row 1: target tracking number", "setCell": {"key": "FToMTONo", "row": 1, "value": "MTO-2026-010"}},
    {"name": "Row 1: move 50 kg", "setCell": {"key": "FChangeQty", "row": 1, "value": 50}},
    {"name": "The user moves to row 1: the host's stock and safety-stock action fills its stock and safety stock",
     "event": "EntryGridRow", "args": [0, 1, 2, false, true, true, 0, false]},
    {"name": "Row 2: choose material 13, aluminium bar", "setCell": {"key": "FItemID", "row": 2, "value": 13}},
    {"name": "Row 2: source tracking number MTO-2026-001",
     "setCell": {"key": "FFromMTONo", "row": 2, "value": "MTO-2026-001"}},
    {"name": "Row 2: the user puts the cursor on the batch column",
     "activeControl": {"name": "grid", "index": 0, "col": 6, "row": 2}},
    {"name": "Row 2: look-up (F7) on the batch: the host's batch selection picks AL-2611, the plug-in recomputes the row",
     "click": "mnuDataLookUp"},
    {"name": "Row 2: batch AL-2612", "setCell": {"key": "FBatchNo", "row": 2, "value": "AL-2612"}},
    {"name": "The user adds a third row", "addRow": true},
    {"name": "Row 3: warehouse WH01", "setCell": {"key": "FStockID", "row": 3, "value": 31}},
    {"name": "Row 3: stock place A-02-01", "setCell": {"key": "FSPID", "row": 3, "value": 43}},
    {"name": "Row 3: choose material 15, epoxy adhesive (shelf life 180 days): today becomes the start date",
     "setCell": {"key": "FItemID", "row": 3, "value": 15}},
    {"name": "Row 3: batch EP-2611", "setCell": {"key": "FBatchNo", "row": 3, "value": "EP-2611"}},
    {"name": "Row 3: source tracking number MTO-2026-001",
     "setCell": {"key": "FFromMTONo", "row": 3, "value": "MTO-2026-001"}},
    {"name": "Row 3: production date 2026-11-01: the expiry date follows and the stock is found",
     "setCell": {"key": "FKFDate", "row": 3, "value": "2026-11-01"}},
    {"name": "Row 3: production date 2026-12-01: no stock of that date",
     "setCell": {"key": "FKFDate", "row": 3, "value": "2026-12-01"}},
    {"name": "Row 3: expiry date 2027-04-30 instead: the production date follows back to 2026-11-01",
     "setCell": {"key": "FPeriodDate", "row": 3, "value": "2027-04-30"}},
    {"name": "Row 3: move 12.5 kg", "setCell": {"key": "FChangeQty", "row": 3, "value": 12.5}},
    {"name": "Stock status of the bill's materials: the host's window opens filtered to them",
     "click": "mnuStockStatusQuery"},
    {"name": "The user adds a fourth row", "addRow": true},
    {"name": "Row 4: warehouse WH01", "setCell": {"key": "FStockID", "row": 4, "value": 31}},
    {"name": "Row 4: stock place A-01-02", "setCell": {"key": "FSPID", "row": 4, "value": 42}},
    {"name": "Row 4: choose material 14, hex bolts (boxes of 12)",
     "setCell": {"key": "FItemID", "row": 4, "value": 14}},
    {"name": "Row 4: auxiliary property 51", "setCell": {"key": "FAuxPropID", "row": 4, "value": 51}},
    {"name": "Row 4: source tracking number MTO-2026-001",
     "setCell": {"key": "FFromMTONo", "row": 4, "value": "MTO-2026-001"}},
    {"name": "Row 4: target tracking number", "setCell": {"key": "FToMTONo", "row": 4, "value": "MTO-2026-010"}},
    {"name": "Row 4: move 240 pieces", "setCell": {"key": "FChangeQty", "row": 4, "value": 240}},
    {"name": "Row 4: that is 20 boxes", "setCell": {"key": "FChangeSecQty", "row": 4, "value": 20}},
    {"name": "Save: refused, row 2 moves nothing yet", "save": true},
    {"name": "Row 2: move 20 m", "setCell": {"key": "FChangeQty", "row": 2, "value": 20}},
    {"name": "Save again: stored", "save": true},
    {"name": "The user opens the list of MTO change bills: the host binds the plug-in to it", "bind": "list"},
    {"name": "The host builds the list's toolbar", "event": "BarInitialize", "on": "list",
     "args": [{"toolbar": "list"}]},
    {"name": "The host builds the list's menu bar", "event": "MenuBarInitialize", "on": "list",
     "args": [{"menuBar": "list"}]},
    {"name": "The list shows the stored bills, one line per entry", "openList": "stored"},
    {"name": "A stock clerk logs in: no right to copy MTO change bills",
     "props": "UserID=16395;UserName=stock clerk;DBLANGUAGE=chs;LANGUAGE=en;AcctID=1;AcctName=Demo Ltd;"},
    {"name": "The stock clerk copies the bill from the list", "click": "mnuEditCopy", "on": "list"}
  ]
})json";

std::string shown(const json& v) {
  if (v.is_null()) return "(empty)";
  if (v.is_number_float()) return fmt::format("{}", v.get<double>());
  if (v.is_string()) return v.get<std::string>().empty() ? "\"\"" : "\"" + v.get<std::string>() + "\"";
  if (v.is_object() && v.size() == 1) {
    const std::string kind = v.begin().key();
    const json& inner = v.begin().value();
    if (kind == "integer") return inner.dump();
    if (kind == "date") return inner.get<std::string>();
    if (kind == "object") return "<" + inner.get<std::string>() + ">";
    if (kind == "null") return "Null";
    if (kind == "nothing") return "Nothing";
    if (kind == "missing") return "(omitted)";
  }
  return v.dump();
}

std::string eventLine(const json& e) {
  std::string args;
  for (const auto& a : e["args"]) {
    if (!args.empty()) args += ", ";
    if (a.is_object() && a.contains("byRef"))
      args += "ByRef " + shown(a["byRef"]);
    else
      args += shown(a);
  }
  std::string line =
      fmt::format("{}.{}({})", e["on"].get<std::string>(), e["event"].get<std::string>(), args);
  if (e.contains("error"))
    line += fmt::format("  -> failed: error {} {}", e["error"]["number"].dump(),
                        e["error"]["description"].dump());
  return line;
}

/// Groups a step's cell changes into one line per cell: stored value and display, old -> new.
void printChanges(std::ostream& out, const json& changes) {
  std::string current;
  for (const auto& c : changes) {
    std::string property = c["property"];
    if (property != "FFLD" && property != "FDSP" && property != "text") continue;
    std::string cell =
        fmt::format("{}[{}]", c["key"].get<std::string>(),
                    c["row"].get<int>() == 0 ? std::string("head") : std::to_string(c["row"].get<int>()));
    if (cell != current) {
      out << fmt::format("      {}\n", cell);
      current = cell;
    }
    out << fmt::format("        {:<9} {} -> {}\n", property, shown(c["old"]), shown(c["new"]));
  }
}

std::string cellText(const json& cell) {
  if (cell["text"].is_string()) return cell["text"].get<std::string>();
  const json& fld = cell["FFLD"];
  if (fld.is_string()) return fld.get<std::string>();
  if (fld.is_null()) return "";
  return shown(fld);
}

/// Prints a table whose first line is the header, columns padded to their widest text.
void printTable(std::ostream& out, const std::vector<std::vector<std::string>>& table) {
  std::vector<size_t> widths;
  for (const auto& line : table) {
    widths.resize(std::max(widths.size(), line.size()), 0);
    for (size_t i = 0; i < line.size(); ++i) widths[i] = std::max(widths[i], line[i].size());
  }
  for (size_t r = 0; r < table.size(); ++r) {
    std::string text = "  ";
    for (size_t i = 0; i < table[r].size(); ++i) text += fmt::format("{:<{}}  ", table[r][i], widths[i]);
    out << text << "\n";
    if (r == 0) {
      std::string rule = "  ";
      for (size_t w : widths) rule += std::string(w, '-') + "  ";
      out << rule << "\n";
    }
  }
}

void printBill(std::ostream& out, const json& final) {
  const std::vector<std::pair<std::string, std::string>> columns = {
      {"FItemID", "Material"},     {"FStockID", "Warehouse"},     {"FSPID", "Place"},
      {"FBatchNo", "Batch"},       {"FFromMTONo", "From MTO"},    {"FToMTONo", "To MTO"},
      {"FKFDate", "Produced"},     {"FPeriodDate", "Expires"},    {"FQty", "On hand"},
      {"FSecQty", "On hand (sec.)"}, {"FChangeQty", "Move"},      {"FStockQty", "Stock"},
      {"FSecurityQty", "Safety stock"}};
  std::vector<std::vector<std::string>> table;
  std::vector<std::string> header = {"#"};
  for (const auto& [key, caption] : columns) header.push_back(caption);
  table.push_back(header);
  int row = 0;
  for (const auto& cells : final["rows"]) {
    std::vector<std::string> line = {std::to_string(++row)};
    for (const auto& [key, caption] : columns)
      line.push_back(cells.contains(key) ? cellText(cells[key]) : "");
    table.push_back(line);
  }
  printTable(out, table);
}

/// The stock-status window's rows as the user sees them.
void printStockWindow(std::ostream& out, const json& rows) {
  std::vector<std::vector<std::string>> table = {
      {"Material", "Name", "Warehouse", "Place", "Batch", "MTO no.", "Qty", "Unit"}};
  for (const auto& r : rows)
    table.push_back({r["item"].get<std::string>(), r["name"].get<std::string>(), r["stock"].get<std::string>(),
                     r["place"].get<std::string>(), r["batch"].get<std::string>(), r["mtoNo"].get<std::string>(),
                     fmt::format("{}", r["qty"].get<double>()), r["unit"].get<std::string>()});
  printTable(out, table);
}

/// The list as the user sees it after a draw: the captions, then each row's shown texts.
void printList(std::ostream& out, const json& columns, const json& cells) {
  std::vector<std::vector<std::string>> table(1);
  for (const auto& c : columns) table[0].push_back(c["caption"].get<std::string>());
  for (const auto& cell : cells) {
    const auto row = cell["row"].get<size_t>();
    if (row >= table.size()) table.resize(row + 1);
    table[row].push_back(cell["text"].get<std::string>());
  }
  printTable(out, table);
}

/// Whether an event line is one of a draw's ListFillRow events, which the list table shows.
bool isFillRowOfDraw(const json& step, const json& e) {
  return step.contains("listCells") && e["event"] == "ListFillRow";
}

}  // namespace

const char* demoStory() {
  return kStory;
}

int printTranscript(const json& trace, std::ostream& out) {
  out << fmt::format("Scenario: {}\n", trace["scenario"].get<std::string>());
  out << "For each step: what the user did, the events the host raised with their arguments (by-reference\n"
         "ones as the plug-in left them), each cell the plug-in changed (stored value FFLD, display FDSP,\n"
         "shown text: old -> new), messages, errors returned to the host, and whether the host's own\n"
         "action was cancelled.\n";
  for (const auto& step : trace["steps"]) {
    out << fmt::format("\n[{}] {}\n", step["step"].get<int>(),
                       step.value("name", step["action"].get<std::string>()));
    if (step.contains("input"))
      out << fmt::format("    the user enters {}[{}] = {}\n", step["input"]["key"].get<std::string>(),
                         step["input"]["row"].get<int>(), shown(step["input"]["value"]));
    size_t fillRows = 0;
    for (const auto& e : step["events"]) {
      if (isFillRowOfDraw(step, e))
        ++fillRows;
      else
        out << "    event  " << eventLine(e) << "\n";
    }
    if (fillRows > 0) out << fmt::format("    event  list.ListFillRow, once per cell: {} cells\n", fillRows);
    if (step.contains("listCells")) {
      out << "    the list shows:\n";
      printList(out, step["listColumns"], step["listCells"]);
    }
    if (!step["changes"].empty()) out << "    the plug-in changed:\n";
    printChanges(out, step["changes"]);
    for (const auto& m : step["messages"])
      out << fmt::format("    message: {}\n", m["text"].get<std::string>());
    for (const auto& b : step["messageBoxes"])
      out << fmt::format("    message box: {}\n", b["text"].get<std::string>());
    for (const auto& e : step["errors"])
      out << fmt::format("    error returned to the host: {} {} ({})\n", e["number"].dump(),
                         e["description"].dump(), e["source"].dump());
    for (const auto& a : step["hostActions"]) {
      out << fmt::format("    host {} {} {}\n", a["component"].get<std::string>(),
                         a["call"].get<std::string>(), a["detail"].get<std::string>());
      if (!a.value("outcome", std::string()).empty())
        out << fmt::format("      -> {}\n", a["outcome"].get<std::string>());
      if (a.contains("rows") && !a["rows"].empty()) printStockWindow(out, a["rows"]);
    }
    for (const auto& a : step["doActions"])
      out << fmt::format("    host field action on {}[{}]\n", a["key"].get<std::string>(),
                         a["row"].get<int>());
    if (!step["cancel"].is_null())
      out << fmt::format("    host action {}\n", step["cancel"].get<bool>() ? "CANCELLED" : "not cancelled");
    if (step.contains("savedBill"))
      out << fmt::format("    bill stored, FInterID {}\n", step["savedBill"].dump());
  }
  out << "\nThe bill at the end:\n";
  printBill(out, trace["final"]);
  uint64_t calls = 0;
  for (const auto& [name, count] : trace["final"]["hostCalls"].items()) calls += count.get<uint64_t>();
  out << fmt::format("\nHost calls made by the plug-in and the host together: {}\n", calls);
  return 0;
}

}  // namespace mto::sim
