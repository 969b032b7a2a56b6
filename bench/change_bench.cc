// Cost of a change of the quantity to move, which re-applies the quantity decimals of every entry
// row: time and host calls per event as the bill grows.

#include <benchmark/benchmark.h>

#include <array>
#include <vector>

#include "core/cls_mto_change.h"
#include "sim/components/sim_host.h"
#include "sim/editor/bill_editor.h"

namespace {

using mto::automation::ObjectPtr;
using mto::automation::Variant;

// Demo materials with 2, 3, 0, 3, 1 and 4 quantity decimals.
constexpr std::array<int32_t, 6> kMaterials = {12, 13, 14, 15, 19, 23};

void ChangeQtyEvent(benchmark::State& state) {
  mto::sim::SimHost host;
  auto editor = mto::sim::BillEditor::create(host.db());
  auto plugin = mto::core::clsMTOChange::create();
  plugin->Show(ObjectPtr(editor));
  const auto rows = static_cast<int32_t>(state.range(0));
  for (int32_t i = 0; i < rows; ++i)
    editor->setCell("FItemID", editor->addRow(), kMaterials[static_cast<size_t>(i) % kMaterials.size()]);
  auto definition = editor->definition("FChangeQty");
  auto cell = editor->cell("FChangeQty", 1);
  host.env().logScopes.reserve(1024);

  const uint64_t callsBefore = host.state().calls.total();
  for (auto _ : state) {
    std::vector<Variant> args{ObjectPtr(definition), ObjectPtr(cell), Variant(int32_t{18}),
                              Variant(int32_t{1}), Variant(false)};
    editor->raise(mto::host::events::kBillChange, args);
    host.env().logScopes.clear();
  }
  auto calls = static_cast<double>(host.state().calls.total() - callsBefore);
  state.counters["rows"] = rows;
  state.counters["host_calls"] = benchmark::Counter(calls, benchmark::Counter::kAvgIterations);
  state.counters["host_calls_per_row"] = benchmark::Counter(calls / rows, benchmark::Counter::kAvgIterations);
  state.SetComplexityN(rows);
}

BENCHMARK(ChangeQtyEvent)
    ->Arg(100)
    ->Arg(1000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

}  // namespace
