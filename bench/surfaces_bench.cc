// Cost of the editor's command surfaces and of the plug-in's public members on bills of growing
// size; none of them reads the rows (constant). Cases that change the window's bars get fresh bars
// each iteration, made outside the timing and without host calls.

#include <memory>

#include "automation/object.h"
#include "bench_bill.h"
#include "sim/components/toolbar.h"
#include "sim/editor/menu_bar.h"

namespace {

using mto::bench::Bill;
using mto::bench::ObjectPtr;
using mto::bench::Variant;
namespace events = mto::host::events;

void BarInitializeEvent(benchmark::State& state) {
  Bill bill(static_cast<int32_t>(state.range(0)));
  uint64_t calls = 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto bar = mto::sim::Toolbar::billEditorToolbar();
    const uint64_t before = bill.calls();
    state.ResumeTiming();
    bill.raise(events::kBillBarInitialize, {ObjectPtr(bar)});
    calls += bill.calls() - before;
  }
  mto::bench::report(state, calls, bill.rows);
}

void MenuBarInitializeEvent(benchmark::State& state) {
  Bill bill(static_cast<int32_t>(state.range(0)));
  uint64_t calls = 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto bar = mto::sim::MenuBar::billEditorMenus();
    const uint64_t before = bill.calls();
    state.ResumeTiming();
    bill.raise(events::kBillMenuBarInitialize, {ObjectPtr(bar)});
    calls += bill.calls() - before;
  }
  mto::bench::report(state, calls, bill.rows);
}

/// InsertSepTool (`remove` false) or RemoveSepTool on the copy command of the editor's toolbar;
/// a removal finds the separators an insertion outside the timing put there.
void separatorMember(benchmark::State& state, bool remove) {
  Bill bill(static_cast<int32_t>(state.range(0)));
  uint64_t calls = 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto bar = mto::sim::Toolbar::billEditorToolbar();
    ObjectPtr tool = bar->tool("mnuEditCopy");
    if (remove) mto::automation::call(ObjectPtr(bill.plugin), "InsertSepTool", ObjectPtr(bar), tool);
    const uint64_t before = bill.calls();
    state.ResumeTiming();
    mto::automation::call(ObjectPtr(bill.plugin), remove ? "RemoveSepTool" : "InsertSepTool", ObjectPtr(bar),
                          tool);
    calls += bill.calls() - before;
  }
  mto::bench::report(state, calls, bill.rows);
}

void InsertSepToolMember(benchmark::State& state) {
  separatorMember(state, false);
}
void RemoveSepToolMember(benchmark::State& state) {
  separatorMember(state, true);
}

/// GetFiledValue of the material of the last row, as text.
void GetFiledValueMember(benchmark::State& state) {
  Bill bill(static_cast<int32_t>(state.range(0)));
  const uint64_t before = bill.calls();
  for (auto _ : state) {
    Variant text = mto::automation::call(ObjectPtr(bill.plugin), "GetFiledValue", ObjectPtr(bill.editor),
                                         bill.rows, "FItemID");
    if (!text.isString() || text.stringValue().empty()) state.SkipWithError("no material text");
  }
  mto::bench::report(state, bill.calls() - before, bill.rows);
}

/// Show with the editor again: the binding is renewed and the system-profile options reloaded.
void ShowMember(benchmark::State& state) {
  Bill bill(static_cast<int32_t>(state.range(0)));
  const uint64_t before = bill.calls();
  for (auto _ : state) {
    bill.plugin->Show(ObjectPtr(bill.editor));
    bill.clearRecords();
  }
  mto::bench::report(state, bill.calls() - before, bill.rows);
}

BENCHMARK(BarInitializeEvent)->Apply(mto::bench::billSizes)->Complexity(benchmark::o1);
BENCHMARK(MenuBarInitializeEvent)->Apply(mto::bench::billSizes)->Complexity(benchmark::o1);
BENCHMARK(InsertSepToolMember)->Apply(mto::bench::billSizes)->Complexity(benchmark::o1);
BENCHMARK(RemoveSepToolMember)->Apply(mto::bench::billSizes)->Complexity(benchmark::o1);
BENCHMARK(GetFiledValueMember)->Apply(mto::bench::billSizes)->Complexity(benchmark::o1);
BENCHMARK(ShowMember)->Apply(mto::bench::billSizes)->Complexity(benchmark::o1);

}  // namespace
