// The whole flow a user goes through on a large bill, on the simulated host over its database: the
// editor opens a stored bill (its rows filled from the database, AfterLoadBill), the user fills in
// the quantity to move of a row, chooses another material in a row and fills in its quantity,
// saves (the save guard, BeforeSave over every row, the bill stored), and opens the list of stored
// bills, which draws one line per entry through the plug-in. Each step's time is a counter beside
// the flow's; the stored bill is written before the clock starts.

#include <chrono>
#include <memory>

#include "bench_bill.h"
#include "sim/db/demo_data.h"
#include "sim/editor/bill_list.h"
#include "sim/editor/bill_store.h"
#include "sim/editor/sample_bill.h"

namespace {

using mto::bench::ObjectPtr;
using mto::bench::Variant;
using Clock = std::chrono::steady_clock;

double millisecondsSince(Clock::time_point& start) {
  const auto now = Clock::now();
  const double ms = std::chrono::duration<double, std::milli>(now - start).count();
  start = now;
  return ms;
}

void WholeFlow(benchmark::State& state) {
  const auto rows = static_cast<int32_t>(state.range(0));
  double load = 0, edit = 0, save = 0, list = 0, cells = 0, calls = 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto host = std::make_unique<mto::sim::SimHost>();
    int64_t stored = 0;
    {
      auto writer = mto::sim::BillEditor::create(host->db());
      mto::sim::fillSampleBill(*writer, rows);
      writer->setCell("FBillNo", 0, "MTO-BENCH-1");
      stored = mto::sim::storeBill(host->db(), *writer);
    }
    const uint64_t before = host->state().calls.total();
    state.ResumeTiming();

    auto start = Clock::now();
    auto editor = mto::sim::BillEditor::create(host->db());
    auto plugin = mto::core::clsMTOChange::create();
    plugin->Show(ObjectPtr(editor));
    editor->loadBill(stored, 2);
    load += millisecondsSince(start);

    bool refused = editor->userSetCell("FChangeQty", 2, Variant(int32_t{5}));
    refused = editor->userSetCell("FItemID", 3, Variant(mto::sim::demo::kAluminiumBar)) || refused;
    refused = editor->userSetCell("FChangeQty", 3, Variant(2.5)) || refused;
    edit += millisecondsSince(start);

    refused = editor->userClickMenu("mnuFileSave") || refused;
    std::vector<Variant> cancel{Variant(false)};
    editor->raise(mto::host::events::kBillBeforeSave, cancel);
    if (refused || mto::automation::toBoolean(cancel[0])) {
      state.SkipWithError("the flow's bill was refused");
      break;
    }
    mto::sim::storeBill(host->db(), *editor);
    save += millisecondsSince(start);

    auto bills = mto::sim::BillList::create(host->db());
    auto listPlugin = mto::core::clsMTOChange::create();
    listPlugin->Show(ObjectPtr(bills));
    bills->showStoredBills();
    cells += static_cast<double>(bills->drawRows().size());
    list += millisecondsSince(start);

    state.PauseTiming();
    calls += static_cast<double>(host->state().calls.total() - before);
    listPlugin.reset();
    bills.reset();
    plugin.reset();
    editor.reset();
    host.reset();
    state.ResumeTiming();
  }
  using benchmark::Counter;
  state.counters["rows"] = rows;
  state.counters["host_calls"] = Counter(calls, Counter::kAvgIterations);
  state.counters["list_cells"] = Counter(cells, Counter::kAvgIterations);
  state.counters["open_ms"] = Counter(load, Counter::kAvgIterations);
  state.counters["edit_ms"] = Counter(edit, Counter::kAvgIterations);
  state.counters["save_ms"] = Counter(save, Counter::kAvgIterations);
  state.counters["list_ms"] = Counter(list, Counter::kAvgIterations);
}

/// The host generating a bill of n rows from data: one AfterFillRow per row, each of which re-applies
/// the quantity decimals of every row, so the whole fill grows with the square of the rows.
void WholeFillFromData(benchmark::State& state) {
  const auto rows = static_cast<int32_t>(state.range(0));
  double calls = 0;
  for (auto _ : state) {
    state.PauseTiming();
    mto::sim::SimHost host;
    auto editor = mto::sim::BillEditor::create(host.db());
    auto plugin = mto::core::clsMTOChange::create();
    plugin->Show(ObjectPtr(editor));
    std::vector<mto::sim::FillRow> data(static_cast<size_t>(rows));
    for (int32_t r = 0; r < rows; ++r)
      data[static_cast<size_t>(r)] = {
          {"FItemID", Variant(r % 2 ? mto::sim::demo::kSteelPlate : mto::sim::demo::kHexBolt), {}, {}},
          {"FStockID", Variant(mto::sim::demo::kRawMaterials), {}, {}},
          {"FChangeQty", Variant(int32_t{1}), {}, {}}};
    const uint64_t before = host.state().calls.total();
    state.ResumeTiming();
    editor->fillBill(data, std::nullopt);
    state.PauseTiming();
    calls += static_cast<double>(host.state().calls.total() - before);
    state.ResumeTiming();
  }
  mto::bench::report(state, static_cast<uint64_t>(calls), rows);
}

BENCHMARK(WholeFlow)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(WholeFillFromData)
    ->Arg(100)
    ->Arg(300)
    ->Arg(1000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Complexity(benchmark::oNSquared);

}  // namespace
