#include "bench_bill.h"

#include <array>

#include "automation/dates.h"

namespace mto::bench {
namespace {

// Steel plate, aluminium bar, hex bolt, copper wire, precision shim: no shelf life.
constexpr std::array<int32_t, 5> kMaterials = {12, 13, 14, 19, 23};
constexpr int32_t kEpoxyAdhesive = 15;
constexpr int32_t kRawMaterials = 31;

}  // namespace

void billSizes(benchmark::internal::Benchmark* b) {
  b->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);
}

Bill::Bill(int32_t rowCount)
    : editor(sim::BillEditor::create(host.db())), plugin(core::clsMTOChange::create()), rows(rowCount) {
  plugin->Show(ObjectPtr(editor));
  editor->setCell("FDate", 0, Variant(automation::makeDate(2026, 12, 1)));
  for (int32_t i = 0; i < rows; ++i) {
    int32_t row = editor->addRow();
    if (row == 1) {
      editor->setCell("FItemID", row, kEpoxyAdhesive);
      editor->setCell("FKFPeriod", row, int32_t{180});
      editor->setCell("FKFDate", row, Variant(automation::makeDate(2026, 11, 1)));
      editor->setCell("FPeriodDate", row, Variant(automation::makeDate(2027, 4, 30)));
    } else {
      editor->setCell("FItemID", row, kMaterials[static_cast<size_t>(i) % kMaterials.size()]);
    }
    editor->setCell("FStockID", row, kRawMaterials);
    editor->setCell("FFromMTONo", row, "MTO-2026-001");
    editor->setCell("FChangeQty", row, int32_t{1});
  }
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
