// Cost of the stock-status query and of the entry grid's row change as the bill grows: the query
// reads every row's material once (linear), the row change hands the bill over without reading
// its rows (constant).

#include <benchmark/benchmark.h>

#include <vector>

#include "core/cls_mto_change.h"
#include "sim/components/sim_host.h"
#include "sim/editor/bill_editor.h"
#include "sim/editor/menu_bar.h"

namespace {

using mto::automation::ObjectPtr;
using mto::automation::Variant;

/// A bill of `rows` entry rows of steel plate and aluminium bar, bound to a plug-in.
struct Bill {
  explicit Bill(int32_t rows) : editor(mto::sim::BillEditor::create(host.db())) {
    plugin->Show(ObjectPtr(editor));
    for (int32_t i = 0; i < rows; ++i) editor->setCell("FItemID", editor->addRow(), i % 2 == 0 ? 12 : 13);
    host.env().logScopes.reserve(1024);
  }
  mto::sim::SimHost host;
  std::shared_ptr<mto::sim::BillEditor> editor;
  std::shared_ptr<mto::core::clsMTOChange> plugin = mto::core::clsMTOChange::create();
};

void report(benchmark::State& state, Bill& bill, uint64_t callsBefore, int32_t rows) {
  auto calls = static_cast<double>(bill.host.state().calls.total() - callsBefore);
  state.counters["rows"] = rows;
  state.counters["host_calls"] = benchmark::Counter(calls, benchmark::Counter::kAvgIterations);
  state.counters["host_calls_per_row"] = benchmark::Counter(calls / rows, benchmark::Counter::kAvgIterations);
  state.SetComplexityN(rows);
}

void StockStatusQueryEvent(benchmark::State& state) {
  const auto rows = static_cast<int32_t>(state.range(0));
  Bill bill(rows);
  auto tool = std::make_shared<mto::sim::MenuTool>("mnuStockStatusQuery");
  const uint64_t callsBefore = bill.host.state().calls.total();
  for (auto _ : state) {
    std::vector<Variant> args{ObjectPtr(tool), Variant(false)};
    bill.editor->raise(mto::host::events::kBillMenuBarClick, args);
    bill.host.env().hostActions.clear();
  }
  report(state, bill, callsBefore, rows);
}

void EntryGridRowEvent(benchmark::State& state) {
  const auto rows = static_cast<int32_t>(state.range(0));
  Bill bill(rows);
  const uint64_t callsBefore = bill.host.state().calls.total();
  for (auto _ : state) {
    std::vector<Variant> args{Variant(int32_t{0}), Variant(rows), Variant(int32_t{1}), Variant(false),
                              Variant(true),       Variant(true), Variant(int32_t{0}), Variant(false)};
    bill.editor->raise(mto::host::events::kBillEntryGridRow, args);
    bill.host.env().hostActions.clear();
  }
  report(state, bill, callsBefore, rows);
}

BENCHMARK(StockStatusQueryEvent)
    ->Arg(100)
    ->Arg(1000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);
BENCHMARK(EntryGridRowEvent)
    ->Arg(100)
    ->Arg(1000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::o1);

}  // namespace
