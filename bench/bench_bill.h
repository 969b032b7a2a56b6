#pragma once

// What every benchmark of the plug-in shares: a bill of n entry rows bound to a plug-in on its own
// simulated host, the raising of one event on it, and the counters each case reports.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "automation/convert.h"
#include "automation/variant.h"
#include "core/cls_mto_change.h"
#include "host/events.h"
#include "sim/components/sim_host.h"
#include "sim/editor/bill_editor.h"

namespace mto::bench {

using automation::ObjectPtr;
using automation::Variant;

/// The bill sizes every case runs on.
void billSizes(benchmark::internal::Benchmark* b);

/// The sample bill of `rows` entry rows (`sim::fillSampleBill`), bound to a plug-in that has seen
/// `Show`. The save check walks every row and finds the bill valid.
struct Bill {
  explicit Bill(int32_t rows);
  Bill(const Bill&) = delete;
  Bill& operator=(const Bill&) = delete;

  /// Raises an event of the editor and forgets what the plug-in logged, showed and asked of the
  /// host's action runners, so that long runs do not grow those records. Returns the arguments
  /// as the handler left them (by-reference ones written back).
  std::vector<Variant> raise(const host::events::Event& event, std::vector<Variant> args);
  /// Forgets the records named above.
  void clearRecords();
  uint64_t calls() { return host.state().calls.total(); }

  sim::SimHost host;
  std::shared_ptr<sim::BillEditor> editor;
  std::shared_ptr<core::clsMTOChange> plugin;
  int32_t rows;
};

/// Reports `rows`, `host_calls` per event and `host_calls_per_row`: `calls` is the host calls of
/// every iteration together.
void report(benchmark::State& state, uint64_t calls, int32_t rows);

}  // namespace mto::bench
