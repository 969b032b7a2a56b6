// Cost of the bill list through the plug-in, on lists of growing size with 20 columns. Drawing
// raises one ListFillRow per cell, of which only the coefficient column is the plug-in's; every
// other cell costs one read of its column name (linear in the cells). The list's command events do
// not read the rows (constant).

#include <memory>
#include <string>
#include <vector>

#include "bench_bill.h"
#include "sim/components/toolbar.h"
#include "sim/editor/bill_list.h"
#include "sim/editor/menu_bar.h"

namespace {

using mto::bench::ObjectPtr;
using mto::bench::Variant;

constexpr int kColumns = 20;

/// A list of `rows` rows of 20 columns, the first the secondary coefficient, bound to a plug-in.
struct List {
  explicit List(int32_t rowCount) : list(mto::sim::BillList::create(host.db())), rows(rowCount) {
    plugin->Show(ObjectPtr(list));
    std::vector<mto::sim::ListColumn> columns = {{"FSecCoefficient", "Coefficient"}};
    for (int c = 1; c < kColumns; ++c)
      columns.push_back({"F" + std::to_string(c), "Column " + std::to_string(c)});
    list->setColumns(columns);
    std::vector<mto::sim::ListRow> data(static_cast<size_t>(rows));
    for (int32_t r = 0; r < rows; ++r) {
      auto& row = data[static_cast<size_t>(r)];
      row["FSecCoefficient"] = 12.5 + r;
      row["FItemID_FQtyDecimal"] = r % 5;
      for (int c = 1; c < kColumns; ++c) row["F" + std::to_string(c)] = Variant(r * c);
    }
    list->setRows(std::move(data));
  }
  uint64_t calls() { return host.state().calls.total(); }

  mto::sim::SimHost host;
  std::shared_ptr<mto::sim::BillList> list;
  std::shared_ptr<mto::core::clsMTOChange> plugin = mto::core::clsMTOChange::create();
  int32_t rows;
};

void DrawListEvent(benchmark::State& state) {
  List list(static_cast<int32_t>(state.range(0)));
  const uint64_t before = list.calls();
  for (auto _ : state) benchmark::DoNotOptimize(list.list->drawRows().size());
  const double cells = static_cast<double>(list.rows) * kColumns;
  const auto calls = static_cast<double>(list.calls() - before);
  mto::bench::report(state, list.calls() - before, list.rows);
  state.counters["cells"] = cells;
  state.counters["host_calls_per_cell"] =
      benchmark::Counter(calls / cells, benchmark::Counter::kAvgIterations);
}

void ListBarInitializeEvent(benchmark::State& state) {
  List list(static_cast<int32_t>(state.range(0)));
  uint64_t calls = 0;
  for (auto _ : state) {
    state.PauseTiming();
    list.list->setToolbar(mto::sim::Toolbar::billListToolbar());
    list.host.env().messages.clear();
    const uint64_t before = list.calls();
    state.ResumeTiming();
    list.list->barInitialize();
    calls += list.calls() - before;
  }
  mto::bench::report(state, calls, list.rows);
}

void ListMenuBarInitializeEvent(benchmark::State& state) {
  List list(static_cast<int32_t>(state.range(0)));
  uint64_t calls = 0;
  for (auto _ : state) {
    state.PauseTiming();
    list.list->setMenuBar(mto::sim::MenuBar::billListMenus());
    const uint64_t before = list.calls();
    state.ResumeTiming();
    list.list->menuBarInitialize();
    calls += list.calls() - before;
  }
  mto::bench::report(state, calls, list.rows);
}

/// The copy command, which the plug-in lets run for a user with the right.
void ListMenuBarClickEvent(benchmark::State& state) {
  List list(static_cast<int32_t>(state.range(0)));
  const uint64_t before = list.calls();
  for (auto _ : state) {
    benchmark::DoNotOptimize(list.list->userClickMenu("mnuEditCopy"));
    list.host.env().messages.clear();
    list.host.env().logScopes.clear();
  }
  mto::bench::report(state, list.calls() - before, list.rows);
}

/// Empty by design: the cost of routing the event.
void ListUnMultiCheckEvent(benchmark::State& state) {
  List list(static_cast<int32_t>(state.range(0)));
  const uint64_t before = list.calls();
  for (auto _ : state) {
    std::vector<Variant> args{Variant(int32_t{1}), Variant(int32_t{2}), Variant(int32_t{1}),
                              Variant(int32_t{1}), Variant(int32_t{1}), Variant(int32_t{2}),
                              Variant(true),       Variant(false)};
    list.list->raise(mto::host::events::kListUnMultiCheck, args);
  }
  mto::bench::report(state, list.calls() - before, list.rows);
}

BENCHMARK(DrawListEvent)
    ->Apply(mto::bench::billSizes)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);
BENCHMARK(ListBarInitializeEvent)->Apply(mto::bench::billSizes)->Complexity(benchmark::o1);
BENCHMARK(ListMenuBarInitializeEvent)->Apply(mto::bench::billSizes)->Complexity(benchmark::o1);
BENCHMARK(ListMenuBarClickEvent)->Apply(mto::bench::billSizes)->Complexity(benchmark::o1);
BENCHMARK(ListUnMultiCheckEvent)->Apply(mto::bench::billSizes)->Complexity(benchmark::o1);

}  // namespace
