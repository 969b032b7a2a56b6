// What recording costs: a Change of a material on the sample bill, the plug-in recorded into a
// journal file as the COM server records it (only open entries kept, every line written and
// flushed), against the same event unrecorded (ChangeMaterialEvent). The difference per host call
// is the recorder's cost; with the recorder off nothing is in the way at all.

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "automation/convert.h"
#include "automation/thread_state.h"
#include "bench_bill.h"
#include "journal/format.h"
#include "journal/recorder.h"
#include "sim/editor/sample_bill.h"

namespace {

using mto::bench::ObjectPtr;
using mto::bench::Variant;

void RecordedChangeMaterialEvent(benchmark::State& state) {
  const auto rows = static_cast<int32_t>(state.range(0));
  mto::sim::SimHost host;
  auto editor = mto::sim::BillEditor::create(host.db());
  const std::filesystem::path path =
      std::filesystem::temp_directory_path() / ("mto-bench-journal-" + std::to_string(rows) + ".jsonl");
  uint64_t bytes = 0;
  {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    mto::journal::Writer writer(file);
    writer.header(mto::journal::Header{});
    mto::journal::Recorder recorder(host.platform(), &writer, mto::journal::Recorder::Keep::OpenEntries);
    mto::automation::threadState().reset();
    auto plugin = mto::core::clsMTOChange::create();
    recorder.callPlugin(*plugin, "Show", {ObjectPtr(editor)});
    mto::sim::fillSampleBill(*editor, rows);
    auto cell = editor->cell("FItemID", 1);
    const uint64_t before = host.state().calls.total();
    for (auto _ : state) {
      cell->set("FFLD", Variant(int32_t{13}));
      editor->raiseChange("FItemID", 1);
      host.env().logScopes.clear();
    }
    mto::bench::report(state, host.state().calls.total() - before, rows);
    if (!recorder.writing()) state.SkipWithError("the journal could not be written");
    file.flush();
    bytes = static_cast<uint64_t>(file.tellp());
  }
  mto::automation::threadState().reset();
  std::filesystem::remove(path);
  state.counters["journal_bytes"] =
      benchmark::Counter(static_cast<double>(bytes), benchmark::Counter::kAvgIterations);
}

BENCHMARK(RecordedChangeMaterialEvent)->Apply(mto::bench::billSizes)->Complexity(benchmark::oN);

}  // namespace
