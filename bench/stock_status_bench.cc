// Cost of the bill menu's commands and of the entry grid's row change as the bill grows: the
// stock-status query reads every row's material once (linear); the row change hands the bill over
// without reading its rows, and the save guard and the batch look-up read one row or the head
// (constant).

#include <memory>
#include <string_view>

#include "bench_bill.h"
#include "sim/editor/menu_bar.h"

namespace {

using mto::bench::Bill;
using mto::bench::ObjectPtr;
using mto::bench::Variant;

/// Raises the editor's MenuBarClick with a tool of that name once per iteration; `cancels` is
/// whether the handler must cancel the host's own command.
void clickMenu(benchmark::State& state, Bill& bill, std::string_view name, bool cancels) {
  auto tool = std::make_shared<mto::sim::MenuTool>(std::string(name));
  const uint64_t before = bill.calls();
  for (auto _ : state) {
    auto args = bill.raise(mto::host::events::kBillMenuBarClick, {ObjectPtr(tool), Variant(false)});
    if (mto::automation::toBoolean(args[1]) != cancels) state.SkipWithError("unexpected Cancel");
  }
  mto::bench::report(state, bill.calls() - before, bill.rows);
}

void StockStatusQueryEvent(benchmark::State& state) {
  Bill bill(static_cast<int32_t>(state.range(0)));
  clickMenu(state, bill, "mnuStockStatusQuery", false);
}

/// Saving a bill that is not checked and dated in the current period: the save goes on.
void MenuSaveGuardEvent(benchmark::State& state) {
  Bill bill(static_cast<int32_t>(state.range(0)));
  clickMenu(state, bill, "mnuFileSave", false);
}

/// The look-up key on the batch column of row 2: the plug-in picks a batch and cancels the host's
/// look-up.
void MenuBatchLookUpEvent(benchmark::State& state) {
  Bill bill(static_cast<int32_t>(state.range(0)));
  bill.editor->setActiveControl("grid", 0, 6, 2);
  clickMenu(state, bill, "mnuDataLookUp", true);
}

void EntryGridRowEvent(benchmark::State& state) {
  const auto rows = static_cast<int32_t>(state.range(0));
  Bill bill(rows);
  const uint64_t before = bill.calls();
  for (auto _ : state) {
    bill.raise(mto::host::events::kBillEntryGridRow,
               {Variant(int32_t{0}), Variant(rows), Variant(int32_t{1}), Variant(false), Variant(true),
                Variant(true), Variant(int32_t{0}), Variant(false)});
  }
  mto::bench::report(state, bill.calls() - before, rows);
}

BENCHMARK(StockStatusQueryEvent)->Apply(mto::bench::billSizes)->Complexity(benchmark::oN);
BENCHMARK(MenuSaveGuardEvent)->Apply(mto::bench::billSizes)->Complexity(benchmark::o1);
BENCHMARK(MenuBatchLookUpEvent)->Apply(mto::bench::billSizes)->Complexity(benchmark::o1);
BENCHMARK(EntryGridRowEvent)->Apply(mto::bench::billSizes)->Complexity(benchmark::o1);

}  // namespace
