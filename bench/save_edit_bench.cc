// Cost of the editor's guards on bills of growing size: BeforeSave checks every row of a valid bill
// from the last up (linear); BeginEdit sets the warehouse filter, and UnMultiCheck compares the
// bill's date with the current period (constant).

#include "bench_bill.h"
#include "sim/components/collections.h"

namespace {

using mto::bench::Bill;
using mto::bench::ObjectPtr;
using mto::bench::Variant;
namespace events = mto::host::events;

void BeforeSaveEvent(benchmark::State& state) {
  const auto rows = static_cast<int32_t>(state.range(0));
  Bill bill(rows);
  const uint64_t before = bill.calls();
  for (auto _ : state) {
    auto args = bill.raise(events::kBillBeforeSave, {Variant(false)});
    if (mto::automation::toBoolean(args[0])) state.SkipWithError("the valid bill was refused");
  }
  mto::bench::report(state, bill.calls() - before, rows);
}

/// BeginEdit on the warehouse of row 1, which gets the ordinary-warehouse filter.
void BeginEditEvent(benchmark::State& state) {
  const auto rows = static_cast<int32_t>(state.range(0));
  Bill bill(rows);
  auto context = mto::sim::Dictionary::create();
  context->set("FKey", Variant("FStockID"));
  const uint64_t before = bill.calls();
  for (auto _ : state)
    bill.raise(events::kBillBeginEdit, {ObjectPtr(context), Variant(int32_t{3}), Variant(int32_t{1})});
  mto::bench::report(state, bill.calls() - before, rows);
  if (!context->at("FFilter").isString()) state.SkipWithError("no warehouse filter");
}

void UnMultiCheckEvent(benchmark::State& state) {
  const auto rows = static_cast<int32_t>(state.range(0));
  Bill bill(rows);
  const uint64_t before = bill.calls();
  for (auto _ : state) {
    auto args =
        bill.raise(events::kBillUnMultiCheck,
                   {Variant(int32_t{1}), Variant(int32_t{2}), Variant(int32_t{1}), Variant(int32_t{1}),
                    Variant(int32_t{1}), Variant(int32_t{2}), Variant(true), Variant(false)});
    if (mto::automation::toBoolean(args[7])) state.SkipWithError("the bill dated in the period was refused");
  }
  mto::bench::report(state, bill.calls() - before, rows);
}

BENCHMARK(BeforeSaveEvent)->Apply(mto::bench::billSizes)->Complexity(benchmark::oN);
BENCHMARK(BeginEditEvent)->Apply(mto::bench::billSizes)->Complexity(benchmark::o1);
BENCHMARK(UnMultiCheckEvent)->Apply(mto::bench::billSizes)->Complexity(benchmark::o1);

}  // namespace
