#pragma once

#include <cstdint>

#include "sim/editor/bill_editor.h"

namespace mto::sim {

/// Gives an editor the large bill that benchmarks and long runs use: the head dated 2026-12-01 and
/// `rows` entry rows appended to those it has. Every row holds one of the demo materials without
/// shelf life (2, 3, 0, 1 and 4 quantity decimals in turn), the raw material warehouse, the plan
/// tracking number and a change quantity of 1; row 1 holds the shelf-life managed epoxy with its
/// production and expiry dates instead. The save check walks every row of it and finds it valid.
/// Writes cells only: no event is raised, no host call counted.
void fillSampleBill(BillEditor& editor, int32_t rows);

}  // namespace mto::sim
