// Cost of the bill's lifecycle events on bills of growing size. Each case raises the one event on
// a bill that already holds its rows, as the editor does at the end of its flow:
// - AddNewRow on the last row: a new material there, so the decimals pass over every row (linear);
// - AfterCopyBill: every row's stock on hand again (linear);
// - AfterFillRow for one row of a bill generated from data: the decimals pass over every row
//   (linear per event, so a whole fill of n rows costs n passes: quadratic);
// - AfterLoadBill, AfterNewBill: the decimals pass, command states, hidden unit fields (linear).

#include "bench_bill.h"
#include "sim/components/collections.h"

namespace {

using mto::bench::Bill;
using mto::bench::ObjectPtr;
using mto::bench::Variant;
namespace events = mto::host::events;

/// Raises an event without arguments once per iteration.
void raiseBare(benchmark::State& state, const events::Event& event, int32_t operationMode) {
  const auto rows = static_cast<int32_t>(state.range(0));
  Bill bill(rows);
  bill.editor->setOperationMode(operationMode);
  const uint64_t before = bill.calls();
  for (auto _ : state) bill.raise(event, {});
  mto::bench::report(state, bill.calls() - before, rows);
}

void AddNewRowEvent(benchmark::State& state) {
  const auto rows = static_cast<int32_t>(state.range(0));
  Bill bill(rows);
  auto cell = bill.editor->cell("FItemID", rows);
  const Variant material = cell->at("FFLD");
  const uint64_t before = bill.calls();
  for (auto _ : state) {
    cell->set("FFLD", material);
    bill.raise(events::kBillAddNewRow, {Variant(int16_t{0}), Variant(rows)});
  }
  mto::bench::report(state, bill.calls() - before, rows);
}

void AfterCopyBillEvent(benchmark::State& state) {
  raiseBare(state, events::kBillAfterCopyBill, 1);
}
void AfterLoadBillEvent(benchmark::State& state) {
  raiseBare(state, events::kBillAfterLoadBill, 2);
}
void AfterNewBillEvent(benchmark::State& state) {
  raiseBare(state, events::kBillAfterNewBill, 1);
}

/// AfterFillRow for row 1 of a bill the host generates from data, with the material's field
/// actions to run (the last row's event would also end the fill).
void AfterFillRowEvent(benchmark::State& state) {
  const auto rows = static_cast<int32_t>(state.range(0));
  Bill bill(rows);
  bill.editor->setDataEntry("NewBillHasData", Variant(true));
  bill.editor->setDoActionFields({"FItemID"});
  auto page = bill.editor->rows();
  auto row = bill.editor->rows()->items().front();
  const uint64_t before = bill.calls();
  for (auto _ : state) {
    bill.raise(events::kBillAfterFillRow,
               {Variant(int32_t{1}), ObjectPtr(page), row, ObjectPtr(mto::sim::Dictionary::create())});
  }
  mto::bench::report(state, bill.calls() - before, rows);
}

BENCHMARK(AddNewRowEvent)->Apply(mto::bench::billSizes)->Complexity(benchmark::oN);
BENCHMARK(AfterCopyBillEvent)->Apply(mto::bench::billSizes)->Complexity(benchmark::oN);
BENCHMARK(AfterFillRowEvent)->Apply(mto::bench::billSizes)->Complexity(benchmark::oN);
BENCHMARK(AfterLoadBillEvent)->Apply(mto::bench::billSizes)->Complexity(benchmark::oN);
BENCHMARK(AfterNewBillEvent)->Apply(mto::bench::billSizes)->Complexity(benchmark::oN);

}  // namespace
