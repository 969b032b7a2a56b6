// The plug-in's own time per event, apart from the simulated host's. Each case records two events
// on the simulated host (the first also pays for the services the plug-in keeps per thread), then
// replays the second against a host that answers every call from the recording: it checks once
// that the replay makes the recorded calls, then times replays that only hand back the recorded
// answers. What is left is the plug-in's own work, plus an index step and a Variant copy per host
// call. Host calls per event are those of the replayed event.

#include <functional>
#include <memory>
#include <string>

#include "automation/convert.h"
#include "automation/dates.h"
#include "automation/thread_state.h"
#include "bench_bill.h"
#include "journal/recorder.h"
#include "sim/components/collections.h"
#include "sim/editor/menu_bar.h"
#include "sim/editor/sample_bill.h"
#include "sim/replay/replayer.h"

namespace {

using mto::bench::ObjectPtr;
using mto::bench::Variant;
namespace events = mto::host::events;
namespace replay = mto::sim::replay;

/// Raises one event on the sample bill, as the simulated editor would.
using Raise = std::function<void(mto::sim::BillEditor&)>;

/// Records `raise` twice on a sample bill of the case's rows, then times replays of the second.
void timePluginAlone(benchmark::State& state, const Raise& raise) {
  const auto rows = static_cast<int32_t>(state.range(0));
  mto::sim::SimHost host;
  auto editor = mto::sim::BillEditor::create(host.db());
  mto::journal::Recorder recorder(host.platform());
  size_t secondFrom = 0;
  size_t secondTo = 0;
  {
    replay::FreshThread scope(recorder.platform());
    auto plugin = mto::core::clsMTOChange::create();
    recorder.callPlugin(*plugin, "Show", {ObjectPtr(editor)});
    mto::sim::fillSampleBill(*editor, rows);
    raise(*editor);
    secondFrom = recorder.journal().entries.size();
    raise(*editor);
    secondTo = recorder.journal().entries.size();
  }
  const replay::Journal& journal = recorder.journal();
  replay::Replayer replayer(journal, host.platform());
  replay::FreshThread scope(replayer.platform());
  auto plugin = mto::core::clsMTOChange::create();
  // The first pass checks every call, so that the timed passes answer the calls they are asked.
  if (!replayer.replay(*plugin, 0, secondTo) || !replayer.replay(*plugin, secondFrom, secondTo)) {
    const auto& d = *replayer.divergence();
    state.SkipWithError(
        ("replay parted from the recording: expected " + d.expected + ", got " + d.actual).c_str());
    return;
  }
  replayer.setCheck(replay::Replayer::Check::AnswersOnly);
  const uint64_t before = replayer.callsAnswered();
  for (auto _ : state) replayer.replay(*plugin, secondFrom, secondTo);
  if (replayer.divergence()) state.SkipWithError("a timed replay parted from the recording");
  mto::bench::report(state, replayer.callsAnswered() - before, rows);
}

/// Raises Change for `key` at row 1 with the cell holding `value`.
Raise change(std::string key, Variant value) {
  return [key, value](mto::sim::BillEditor& editor) {
    editor.cell(key, 1)->set("FFLD", value);
    editor.raiseChange(key, 1);
  };
}

/// Raises an event with the given arguments.
Raise bare(const events::Event& event, std::vector<Variant> args = {}) {
  return [&event, args](mto::sim::BillEditor& editor) {
    auto copy = args;
    editor.raise(event, copy);
  };
}

void PluginOnlyChangeMaterial(benchmark::State& state) {
  timePluginAlone(state, change("FItemID", Variant(int32_t{13})));
}
void PluginOnlyChangeQty(benchmark::State& state) {
  timePluginAlone(state, change("FChangeQty", Variant(int32_t{18})));
}
void PluginOnlyChangeTrackingNumber(benchmark::State& state) {
  timePluginAlone(state, change("FFromMTONo", Variant("MTO-2026-002")));
}
void PluginOnlyBeforeSave(benchmark::State& state) {
  timePluginAlone(state, bare(events::kBillBeforeSave, {Variant(false)}));
}
void PluginOnlyAfterLoadBill(benchmark::State& state) {
  timePluginAlone(state, bare(events::kBillAfterLoadBill));
}
void PluginOnlyAfterCopyBill(benchmark::State& state) {
  timePluginAlone(state, bare(events::kBillAfterCopyBill));
}
void PluginOnlyAfterNewBill(benchmark::State& state) {
  timePluginAlone(state, bare(events::kBillAfterNewBill));
}
void PluginOnlyStockStatusQuery(benchmark::State& state) {
  auto tool = std::make_shared<mto::sim::MenuTool>("mnuStockStatusQuery");
  timePluginAlone(state, bare(events::kBillMenuBarClick, {ObjectPtr(tool), Variant(false)}));
}

BENCHMARK(PluginOnlyChangeMaterial)->Apply(mto::bench::billSizes)->Complexity(benchmark::oN);
BENCHMARK(PluginOnlyChangeQty)->Apply(mto::bench::billSizes)->Complexity(benchmark::oN);
BENCHMARK(PluginOnlyChangeTrackingNumber)->Apply(mto::bench::billSizes)->Complexity(benchmark::o1);
BENCHMARK(PluginOnlyBeforeSave)->Apply(mto::bench::billSizes)->Complexity(benchmark::oN);
BENCHMARK(PluginOnlyAfterLoadBill)->Apply(mto::bench::billSizes)->Complexity(benchmark::oN);
// Recording a copy of 10,000 rows takes minutes in the simulated host (its column totals are summed
// over every row once per row); the plug-in's own time is linear and shows at 1,000.
BENCHMARK(PluginOnlyAfterCopyBill)
    ->Arg(100)
    ->Arg(1000)
    ->Unit(benchmark::kMicrosecond)
    ->Complexity(benchmark::oN);
BENCHMARK(PluginOnlyAfterNewBill)->Apply(mto::bench::billSizes)->Complexity(benchmark::oN);
BENCHMARK(PluginOnlyStockStatusQuery)->Apply(mto::bench::billSizes)->Complexity(benchmark::oN);

}  // namespace
