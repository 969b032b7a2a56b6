#include "bench_bill.h"

#include "sim/editor/sample_bill.h"

namespace mto::bench {

void billSizes(benchmark::internal::Benchmark* b) {
  b->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);
}

Bill::Bill(int32_t rowCount)
    : editor(sim::BillEditor::create(host.db())), plugin(core::clsMTOChange::create()), rows(rowCount) {
  plugin->Show(ObjectPtr(editor));
  sim::fillSampleBill(*editor, rows);
  host.env().logScopes.reserve(1024);
}

std::vector<Variant> Bill::raise(const host::events::Event& event, std::vector<Variant> args) {
  editor->raise(event, args);
  clearRecords();
  return args;
}

void Bill::clearRecords() {
  host.env().logScopes.clear();
  host.env().messages.clear();
  host.env().hostActions.clear();
}

void report(benchmark::State& state, uint64_t calls, int32_t rows) {
  const auto total = static_cast<double>(calls);
  state.counters["rows"] = rows;
  state.counters["host_calls"] = benchmark::Counter(total, benchmark::Counter::kAvgIterations);
  state.counters["host_calls_per_row"] = benchmark::Counter(total / rows, benchmark::Counter::kAvgIterations);
  state.SetComplexityN(rows);
}

}  // namespace mto::bench
