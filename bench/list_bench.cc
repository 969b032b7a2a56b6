// Cost of drawing the bill list through the plug-in: one ListFillRow per cell, of which only the
// coefficient column is the plug-in's; every other cell costs one read of its column name.

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "core/cls_mto_change.h"
#include "sim/components/sim_host.h"
#include "sim/editor/bill_list.h"

namespace {

using mto::automation::ObjectPtr;
using mto::automation::Variant;

constexpr int kColumns = 20;

void DrawListEvent(benchmark::State& state) {
  mto::sim::SimHost host;
  auto list = mto::sim::BillList::create(host.db());
  auto plugin = mto::core::clsMTOChange::create();
  plugin->Show(ObjectPtr(list));
  std::vector<mto::sim::ListColumn> columns = {{"FSecCoefficient", "Coefficient"}};
  for (int c = 1; c < kColumns; ++c) columns.push_back({"F" + std::to_string(c), "Column " + std::to_string(c)});
  list->setColumns(columns);
  const auto rows = static_cast<int32_t>(state.range(0));
  std::vector<mto::sim::ListRow> data(static_cast<size_t>(rows));
  for (int32_t r = 0; r < rows; ++r) {
    auto& row = data[static_cast<size_t>(r)];
    row["FSecCoefficient"] = 12.5 + r;
    row["FItemID_FQtyDecimal"] = r % 5;
    for (int c = 1; c < kColumns; ++c) row["F" + std::to_string(c)] = Variant(r * c);
  }
  list->setRows(std::move(data));

  const uint64_t callsBefore = host.state().calls.total();
  for (auto _ : state) benchmark::DoNotOptimize(list->drawRows().size());
  auto calls = static_cast<double>(host.state().calls.total() - callsBefore);
  const double cells = static_cast<double>(rows) * kColumns;
  state.counters["rows"] = rows;
  state.counters["cells"] = cells;
  state.counters["host_calls"] = benchmark::Counter(calls, benchmark::Counter::kAvgIterations);
  state.counters["host_calls_per_cell"] = benchmark::Counter(calls / cells, benchmark::Counter::kAvgIterations);
  state.SetComplexityN(rows);
}

BENCHMARK(DrawListEvent)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);

}  // namespace
