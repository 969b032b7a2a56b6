// Cost of the editor's Change, one case per kind of field the plug-in handles, on row 1 of bills of
// growing size. A new material resets the row, reads the stock on hand and re-applies the quantity
// decimals of every row (linear); a tracking number and a shelf-life date re-read the row's stock
// on hand (constant); a change of the quantity to move re-applies the decimals (linear).

#include <string_view>

#include "automation/convert.h"
#include "automation/dates.h"
#include "bench_bill.h"

namespace {

using mto::bench::Bill;
using mto::bench::ObjectPtr;
using mto::bench::Variant;

/// Raises Change for `key` at row 1 with the cell holding `value`, as the editor does after the user
/// entered it, once per iteration.
void changeField(benchmark::State& state, std::string_view key, const Variant& value) {
  const auto rows = static_cast<int32_t>(state.range(0));
  Bill bill(rows);
  bill.editor->setCell(key, 1, value);
  auto cell = bill.editor->cell(key, 1);
  const uint64_t before = bill.calls();
  for (auto _ : state) {
    // A new material empties the row's quantities: give the row back its value every time.
    cell->set("FFLD", value);
    const bool cancelled = bill.editor->raiseChange(key, 1);
    bill.clearRecords();
    if (cancelled) state.SkipWithError("Change was cancelled");
  }
  mto::bench::report(state, bill.calls() - before, rows);
}

void ChangeMaterialEvent(benchmark::State& state) {
  changeField(state, "FItemID", Variant(int32_t{13}));
}
void ChangeTrackingNumberEvent(benchmark::State& state) {
  changeField(state, "FFromMTONo", Variant("MTO-2026-002"));
}
void ChangeShelfLifeDateEvent(benchmark::State& state) {
  changeField(state, "FKFDate", Variant(mto::automation::makeDate(2026, 11, 15)));
}
void ChangeQtyEvent(benchmark::State& state) {
  changeField(state, "FChangeQty", Variant(int32_t{18}));
}

BENCHMARK(ChangeMaterialEvent)->Apply(mto::bench::billSizes)->Complexity(benchmark::oN);
BENCHMARK(ChangeTrackingNumberEvent)->Apply(mto::bench::billSizes)->Complexity(benchmark::o1);
BENCHMARK(ChangeShelfLifeDateEvent)->Apply(mto::bench::billSizes)->Complexity(benchmark::o1);
BENCHMARK(ChangeQtyEvent)->Apply(mto::bench::billSizes)->Complexity(benchmark::oN);

}  // namespace
