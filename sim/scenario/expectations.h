#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "sim/editor/bill_editor.h"
#include "sim/editor/bill_list.h"

// The expectations of a step (docs/scenarios.md, "expect"): one checker per key, kept in a table
// in expectations.cc.

namespace mto::sim::scenario_detail {

/// What a step's expectations are checked against; borrowed from the runner for one check.
struct ExpectationSubject {
  /// The step's trace record, complete but for its failed expectations.
  const nlohmann::json& record;
  const BillEditor& bill;
  const BillList& list;
};

/// Checks every key of `expect` and returns one line per expectation that does not hold, in the
/// order of the table. A key the table lacks, or a malformed expectation, raises Malformed
/// ("expect has an unknown key ...") before anything is checked or while its key is checked.
std::vector<std::string> checkExpectations(const nlohmann::json& expect, const ExpectationSubject& subject);

}  // namespace mto::sim::scenario_detail
