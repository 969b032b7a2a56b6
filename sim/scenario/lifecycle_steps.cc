#include <fmt/format.h>

#include <optional>
#include <string>
#include <vector>

#include "sim/scenario/runner.h"
#include "sim/scenario/values.h"

// The steps of the bill's life in the editor window (docs/scenarios.md, "steps"): a new bill, a
// stored bill opened, the bill copied, a bill filled from data and a row copied, each performed by
// the editor as the host performs it. The step's text is read whole before the editor acts, so a
// malformed step changes nothing.

namespace mto::sim::scenario_detail {

using nlohmann::json;

namespace {

/// A flag step's argument, which must be true.
void requireTrue(const json& arg, const std::string& action) {
  if (!arg.is_boolean() || !arg.get<bool>()) malformed(fmt::format("{} takes true", action));
}

}  // namespace

bool Runner::lifecycleStep(const std::string& action, const json& arg, StepContext& context) {
  if (action == "newBill") {
    requireTrue(arg, action);
    context.record["hostAction"] = action;
    bill_->newBill();
  } else if (action == "loadBill") {
    int32_t interId = 0;
    int32_t mode = 2;
    if (arg.is_object()) {
      onlyKeys(arg, {"interId", "operationMode"}, "loadBill");
      interId = integerOf(member(arg, "interId", "loadBill"), "loadBill.interId");
      if (arg.contains("operationMode")) mode = integerOf(arg["operationMode"], "loadBill.operationMode");
    } else {
      interId = integerOf(arg, "loadBill");
    }
    if (!host_->db().findMtoChange(interId))
      malformed(fmt::format("loadBill: No MTO change bill with FInterID {}", interId));
    context.record["hostAction"] = action;
    context.record["loadedBill"] = interId;
    context.record["operationMode"] = mode;
    bill_->loadBill(interId, mode);
  } else if (action == "copyBill") {
    requireTrue(arg, action);
    context.record["hostAction"] = action;
    bill_->copyBill();
  } else if (action == "fillBill") {
    onlyKeys(arg, {"rows", "doAction"}, "fillBill");
    std::vector<FillRow> rows;
    const json& given = member(arg, "rows", "fillBill");
    if (!given.is_array()) malformed("fillBill.rows must be an array");
    for (const auto& cells : given) {
      if (!cells.is_object()) malformed("fillBill.rows[] must be an object of field keys");
      FillRow& row = rows.emplace_back();
      for (const auto& [key, value] : cells.items()) {
        auto def = bill_->definition(key);
        if (!def || pageOf(*def) != 2)
          malformed(fmt::format("fillBill.rows[]: the template has no entry field \"{}\"", key));
        row.push_back(cellOf(key, value, "fillBill.rows[]"));
      }
    }
    std::optional<std::vector<std::string>> doAction;
    if (arg.contains("doAction")) {
      if (!arg["doAction"].is_array()) malformed("fillBill.doAction must be an array of field keys");
      doAction.emplace();
      for (const auto& key : arg["doAction"]) doAction->push_back(textOf(key, "fillBill.doAction[]"));
    }
    context.record["hostAction"] = action;
    context.record["filledRows"] = json::array();
    int32_t first = bill_->rowCount() + 1;
    for (size_t i = 0; i < rows.size(); ++i)
      context.record["filledRows"].push_back(first + static_cast<int32_t>(i));
    bill_->fillBill(rows, doAction);
  } else if (action == "copyRow") {
    int32_t row = integerOf(arg, "copyRow");
    if (row < 1 || row > bill_->rowCount()) malformed(fmt::format("copyRow: the bill has no row {}", row));
    context.record["input"] = {{"row", row}};
    auto copied = bill_->userCopyRow(row);
    context.cancel = !copied.has_value();
    if (copied) {
      context.record["hostAction"] = action;
      context.record["copiedRow"] = {{"from", row}, {"to", *copied}};
    }
  } else {
    return false;
  }
  return true;
}

}  // namespace mto::sim::scenario_detail
