// The bench: each event on each path runs on a thread of its own with a fresh simulated host, a
// fresh sample bill and a fresh plug-in, so that neither path inherits components the other cached
// (the plug-in keeps them per thread, in the DLL and in this program alike). On the COM path the
// thread serves the simulated host's components as COM classes and lets the DLL's clock, locale and
// process id answer from the simulated host, as the replay does; both paths thus take the same
// branches of the plug-in and must make the same host calls.

#include "test_host/bench.h"

#include <fmt/format.h>
#include <objbase.h>
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <nlohmann/json.hpp>
#include <numeric>
#include <optional>
#include <thread>

#include "automation/convert.h"
#include "automation/error.h"
#include "bridge/com_error.h"
#include "bridge/com_ptr.h"
#include "bridge/dispatch_object.h"
#include "bridge/text.h"
#include "bridge/variant_convert.h"
#include "core/cls_mto_change.h"
#include "host/contract.h"
#include "host/events.h"
#include "sim/components/collections.h"
#include "sim/components/sim_host.h"
#include "sim/editor/bill_editor.h"
#include "sim/editor/bill_list.h"
#include "sim/editor/sample_bill.h"
#include "test_host/host_objects.h"
#include "test_host/os_hooks.h"
#include "test_host/sim_objects.h"

namespace mto::testhost {

namespace {

using automation::ObjectPtr;
using automation::Variant;
namespace events = host::events;
using Clock = std::chrono::steady_clock;

/// Without --iterations, each event and path is repeated until this much time went by, within
/// the bounds below.
constexpr auto kBudget = std::chrono::milliseconds(400);
constexpr int32_t kMinIterations = 3;
constexpr int32_t kMaxIterations = 1000;
constexpr int kListColumns = 20;

enum class Path { InProcess, Com };

/// What one case works on: the host, the bill or list the plug-in was shown, and the plug-in.
struct Fixture {
  sim::SimHost& host;
  std::shared_ptr<sim::BillEditor> editor;
  std::shared_ptr<sim::BillList> list;
};

/// One iteration of a case; returns what went wrong with the plug-in's answer, or "".
using Step = std::function<std::string()>;

/// An event to measure: whether it needs the list instead of the bill, and how to make its step on
/// a fixture (anything to set once goes here, outside the timing).
struct BenchCase {
  std::string name;
  bool onList = false;
  std::function<Step(Fixture&)> prepare;
};

/// Change of `key` at row 1 with the cell holding `value`, as the editor raises it after the user
/// entered it. A new material empties the row's quantities: the cell gets its value back before
/// every iteration.
BenchCase changeCase(std::string name, std::string key, Variant value) {
  return {std::move(name), false, [key = std::move(key), value = std::move(value)](Fixture& f) -> Step {
            f.editor->setCell(key, 1, value);
            auto cell = f.editor->cell(key, 1);
            auto editor = f.editor;
            return [editor, key, cell, value] {
              cell->set("FFLD", value);
              return editor->raiseChange(key, 1) ? std::string("Change was cancelled") : std::string();
            };
          }};
}

std::vector<BenchCase> benchCases(bool drawList) {
  std::vector<BenchCase> cases;
  cases.push_back(changeCase("Change FItemID (material)", "FItemID", Variant(int32_t{13})));
  cases.push_back(changeCase("Change FChangeQty", "FChangeQty", Variant(int32_t{18})));
  cases.push_back(changeCase("Change FFromMTONo", "FFromMTONo", Variant("MTO-2026-002")));
  cases.push_back({"BeforeSave (valid bill)", false, [](Fixture& f) -> Step {
                     auto editor = f.editor;
                     return [editor] {
                       std::vector<Variant> args{Variant(false)};
                       editor->raise(events::kBillBeforeSave, args);
                       return automation::toBoolean(args[0]) ? std::string("the valid bill was refused")
                                                             : std::string();
                     };
                   }});
  cases.push_back({"AfterLoadBill", false, [](Fixture& f) -> Step {
                     f.editor->setOperationMode(2);
                     auto editor = f.editor;
                     return [editor] {
                       std::vector<Variant> args;
                       editor->raise(events::kBillAfterLoadBill, args);
                       return std::string();
                     };
                   }});
  if (drawList) {
    cases.push_back({fmt::format("draw list ({} columns)", kListColumns), true, [](Fixture& f) -> Step {
                       auto list = f.list;
                       return [list] {
                         return list->drawRows().empty() ? std::string("nothing was drawn") : std::string();
                       };
                     }});
  }
  return cases;
}

/// The list of bench/list_bench.cc: `rows` rows of 20 columns, the first the secondary coefficient
/// (the plug-in's), the others plain numbers.
void fillList(sim::BillList& list, int32_t rows) {
  std::vector<sim::ListColumn> columns = {{"FSecCoefficient", "Coefficient"}};
  for (int c = 1; c < kListColumns; ++c)
    columns.push_back({fmt::format("F{}", c), fmt::format("Column {}", c)});
  list.setColumns(columns);
  std::vector<sim::ListRow> data(static_cast<size_t>(rows));
  for (int32_t r = 0; r < rows; ++r) {
    auto& row = data[static_cast<size_t>(r)];
    row["FSecCoefficient"] = 12.5 + r;
    row["FItemID_FQtyDecimal"] = r % 5;
    for (int c = 1; c < kListColumns; ++c) row[fmt::format("F{}", c)] = Variant(r * c);
  }
  list.setRows(std::move(data));
}

/// The registered plug-in, created by ProgID through CoCreateInstance, as the object its adapter makes.
ObjectPtr createComPlugin() {
  std::wstring progId = com::toWide(host::progid::kPlugin);
  CLSID clsid;
  com::check(CLSIDFromProgID(progId.c_str(), &clsid));
  com::ComPtr<IDispatch> plugin;
  com::check(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                              reinterpret_cast<void**>(plugin.put())));
  return com::objectFor(plugin.get());
}

/// Forgets what the plug-in logged, showed and asked of the host's action runners, so that long
/// runs do not grow those records.
void clearRecords(sim::SimHost& host) {
  host.env().logScopes.clear();
  host.env().messages.clear();
  host.env().hostActions.clear();
}

double median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const size_t middle = values.size() / 2;
  return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

/// Measures one case on one path in the calling thread, which must have an apartment and, for the
/// COM path, serve the simulated components.
PathFigures measure(const BenchCase& benchCase, Path path, const BenchOptions& options) {
  PathFigures figures;
  try {
    sim::SimHost host;
    Fixture fixture{host, nullptr, nullptr};
    ObjectPtr plugin = path == Path::Com ? createComPlugin() : ObjectPtr(core::clsMTOChange::create());
    ObjectPtr shown;
    if (benchCase.onList) {
      fixture.list = sim::BillList::create(host.db());
      shown = fixture.list;
    } else {
      fixture.editor = sim::BillEditor::create(host.db());
      shown = fixture.editor;
    }
    automation::call(plugin, "Show", Variant(shown));
    if (fixture.list) fillList(*fixture.list, options.rows);
    if (fixture.editor) sim::fillSampleBill(*fixture.editor, options.rows);
    host.env().logScopes.reserve(1024);
    Step step = benchCase.prepare(fixture);

    // The warm-up: the plug-in's first event creates and caches its components.
    figures.problem = step();
    clearRecords(host);
    std::vector<double> millis;
    std::vector<uint64_t> calls;
    const auto started = Clock::now();
    while (figures.problem.empty()) {
      const int32_t done = static_cast<int32_t>(millis.size());
      if (options.iterations > 0
              ? done >= options.iterations
              : done >= kMaxIterations || (done >= kMinIterations && Clock::now() - started >= kBudget))
        break;
      const uint64_t callsBefore = host.state().calls.total();
      const auto before = Clock::now();
      figures.problem = step();
      const auto after = Clock::now();
      calls.push_back(host.state().calls.total() - callsBefore);
      millis.push_back(std::chrono::duration<double, std::milli>(after - before).count());
      clearRecords(host);
    }
    figures.iterations = static_cast<int32_t>(millis.size());
    if (!millis.empty()) {
      figures.medianMs = median(millis);
      figures.meanMs =
          std::accumulate(millis.begin(), millis.end(), 0.0) / static_cast<double>(millis.size());
      figures.hostCalls = static_cast<double>(std::accumulate(calls.begin(), calls.end(), uint64_t{0})) /
                          static_cast<double>(calls.size());
      figures.steadyCalls =
          std::all_of(calls.begin(), calls.end(), [&](uint64_t c) { return c == calls.front(); });
    }
  } catch (const automation::AutomationError& e) {
    figures.problem = fmt::format("error {}: {}", e.number(), e.info().description);
  } catch (const std::exception& e) {
    figures.problem = e.what();
  }
  return figures;
}

/// Runs `measure` on a new thread with an apartment of its own, the simulated components served
/// to CoCreateInstance for the COM path, and the simulated machine in force for the DLL's imports.
PathFigures measureOnThread(const BenchCase& benchCase, Path path, const BenchOptions& options,
                            const std::vector<std::string>& progIds) {
  PathFigures figures;
  const size_t objectsBefore = SimObjectDispatch::alive();
  std::thread worker([&] {
    com::ComInitialization apartment;
    if (!apartment.ok()) {
      figures.problem = "CoInitializeEx failed";
      return;
    }
    ClassRegistrations classes;
    if (path == Path::Com && !serveSimComponents(classes, progIds)) {
      figures.problem = "the simulated host's components could not be registered";
      return;
    }
    ScenarioMachine machine;
    figures = measure(benchCase, path, options);
  });
  worker.join();
  if (figures.problem.empty() && SimObjectDispatch::alive() != objectsBefore)
    figures.problem = fmt::format("{} simulated object(s) still held through COM afterwards",
                                  SimObjectDispatch::alive() - objectsBefore);
  return figures;
}

/// Microseconds per host call of two kinds on each path: a bare call on an object whose adapter
/// and DISPID are cached, and a call on an object that has just crossed.
struct CallCosts {
  double bareInProcessUs = 0;
  double bareComUs = 0;
  double crossingInProcessUs = 0;
  double crossingComUs = 0;
};

/// Microseconds per repetition of `body` over `count` repetitions after one not counted.
double microsEach(int32_t count, const std::function<void()>& body) {
  body();
  const auto started = Clock::now();
  for (int32_t i = 0; i < count; ++i) body();
  return std::chrono::duration<double, std::micro>(Clock::now() - started).count() / count;
}

/// What one host call costs apart from the plug-in's work, in process and through IDispatch, on
/// simulated Dictionaries served as the bench serves them:
/// - bare: Item on an object already crossed, adapter and DISPID cached (the bridge's adapter over
///   the simulated object's COM object, the path each of the plug-in's host calls takes);
/// - crossing: Item returning a Dictionary the host keeps, then Item on it, as the plug-in reads a
///   cell: through IDispatch the returned object gets a new COM object here and a new adapter on the
///   caller's side (which resolves the name again), both released afterwards. Per call, i.e. per
///   half of the pair.
CallCosts measureCallCosts(int32_t count) {
  auto cell = sim::Dictionary::create();
  cell->set("FFLD", Variant(int32_t{13}));
  auto row = sim::Dictionary::create();
  row->set("FItemID", Variant(ObjectPtr(cell)));
  CallCosts costs;
  {
    ObjectPtr direct = cell;
    ObjectPtr adapter = com::DispatchObject::adapt(SimObjectDispatch::of(cell));
    costs.bareInProcessUs = microsEach(count, [&] { automation::get(direct, "Item", "FFLD"); });
    costs.bareComUs = microsEach(count, [&] { automation::get(adapter, "Item", "FFLD"); });
  }  // the cell's COM object and adapter are gone: from now on the cell crosses anew each time

  ObjectPtr rowDirect = row;
  const double pairInProcessUs = microsEach(
      count, [&] { automation::get(automation::get(rowDirect, "Item", "FItemID"), "Item", "FFLD"); });
  // The row's call made by hand: the bridge of this program would unwrap its own COM object, where
  // the plug-in's bridge makes an adapter for a foreign one.
  ComPtr<IDispatch> rowCom = SimObjectDispatch::of(row);
  DISPID item = DISPID_UNKNOWN;
  wchar_t itemName[] = L"Item";
  LPOLESTR names[] = {itemName};
  com::check(rowCom->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &item));
  const double pairComUs = microsEach(count, [&] {
    com::OwnedVariantArray args(1);
    com::toVariant(Variant("FItemID"), &args[0]);
    DISPPARAMS params{args.data(), nullptr, 1, 0};
    com::OwnedVariant result;
    com::check(rowCom->Invoke(item, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD | DISPATCH_PROPERTYGET,
                              &params, result.put(), nullptr, nullptr));
    if (V_VT(result.get()) != VT_DISPATCH || !V_DISPATCH(result.get()))
      automation::raiseError(automation::errc::kTypeMismatch, "the cell did not cross");
    ObjectPtr crossed = com::DispatchObject::adapt(ComPtr<IDispatch>::share(V_DISPATCH(result.get())));
    automation::get(crossed, "Item", "FFLD");
  });
  costs.crossingInProcessUs = pairInProcessUs / 2;
  costs.crossingComUs = pairComUs / 2;
  return costs;
}

/// Points the bridge's wrapping of simulated objects at SimObjectDispatch while it lives.
class SimObjectWrapping {
 public:
  SimObjectWrapping() : previous_(com::setObjectWrapper(&SimObjectDispatch::of)) {}
  ~SimObjectWrapping() { com::setObjectWrapper(previous_); }
  SimObjectWrapping(const SimObjectWrapping&) = delete;
  SimObjectWrapping& operator=(const SimObjectWrapping&) = delete;

 private:
  com::ObjectWrapper previous_;
};

std::optional<int32_t> positiveNumber(const std::string& text) {
  try {
    size_t used = 0;
    const long value = std::stol(text, &used);
    if (used == text.size() && value > 0 && value <= 1'000'000) return static_cast<int32_t>(value);
  } catch (const std::exception&) {
  }
  return std::nullopt;
}

double perHostCallUs(const PathFigures& figures) {
  return figures.hostCalls > 0 ? figures.medianMs * 1000 / figures.hostCalls : 0;
}

std::string callsText(const PathFigures& figures) {
  return fmt::format("{:.0f}{}", figures.hostCalls, figures.steadyCalls ? "" : "~");
}

void printTable(const std::vector<EventFigures>& results) {
  std::string out = fmt::format("{:<28} {:>6} {:>10} {:>21} {:>21} {:>11} {:>7}\n", "event", "rows",
                                "host calls", "in-process ms", "COM ms", "COM us per", "ratio");
  out += fmt::format("{:<28} {:>6} {:>10} {:>10} {:>10} {:>10} {:>10} {:>11} {:>7}\n", "", "", "per event",
                     "median", "mean", "median", "mean", "host call", "COM/in");
  for (const EventFigures& e : results) {
    const PathFigures& in = e.inProcess;
    const PathFigures& com = e.throughCom;
    const std::string calls =
        in.hostCalls == com.hostCalls ? callsText(com) : fmt::format("{}/{}", callsText(in), callsText(com));
    out += fmt::format("{:<28} {:>6} {:>10} {:>10.3f} {:>10.3f} {:>10.3f} {:>10.3f} {:>11.2f} {:>7.1f}\n",
                       e.event, e.rows, calls, in.medianMs, in.meanMs, com.medianMs, com.meanMs,
                       perHostCallUs(com), in.medianMs > 0 ? com.medianMs / in.medianMs : 0.0);
  }
  for (const EventFigures& e : results) {
    if (!e.inProcess.problem.empty())
      out += fmt::format("FAILED {} in process: {}\n", e.event, e.inProcess.problem);
    if (!e.throughCom.problem.empty())
      out += fmt::format("FAILED {} through COM: {}\n", e.event, e.throughCom.problem);
    if (e.inProcess.problem.empty() && e.throughCom.problem.empty() &&
        e.inProcess.hostCalls != e.throughCom.hostCalls)
      out += fmt::format("FAILED {}: the paths made different numbers of host calls\n", e.event);
  }
  std::fputs(out.c_str(), stdout);
  std::fflush(stdout);
}

nlohmann::json toJson(const PathFigures& figures) {
  return {{"iterations", figures.iterations},
          {"medianMs", figures.medianMs},
          {"meanMs", figures.meanMs},
          {"hostCallsPerEvent", figures.hostCalls},
          {"steadyHostCalls", figures.steadyCalls},
          {"usPerHostCall", perHostCallUs(figures)},
          {"problem", figures.problem}};
}

}  // namespace

std::vector<EventFigures> runBench(const BenchOptions& options, std::string& problem) {
  problem.clear();
  try {
    HMODULE module = loadRegisteredPlugin();
    if (!module) {
      problem = "the plug-in is not registered or its DLL does not load";
      return {};
    }
    if (!hookPlatformImports(module, problem)) return {};
    std::vector<std::string> progIds = simProgIds();
    SimObjectWrapping wrapping;
    std::vector<EventFigures> results;
    for (const BenchCase& benchCase : benchCases(options.drawList)) {
      EventFigures figures{benchCase.name, options.rows, {}, {}};
      figures.inProcess = measureOnThread(benchCase, Path::InProcess, options, progIds);
      figures.throughCom = measureOnThread(benchCase, Path::Com, options, progIds);
      results.push_back(std::move(figures));
    }
    return results;
  } catch (const std::exception& e) {
    problem = fmt::format("the bench does not start: {}", e.what());
  }
  return {};
}

int runBenchCommand(const std::vector<std::string>& arguments) {
  BenchOptions options;
  std::string jsonFile;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& a = arguments[i];
    std::optional<int32_t> number;
    if ((a == "--rows" || a == "--iterations") && i + 1 < arguments.size() &&
        (number = positiveNumber(arguments[i + 1]))) {
      (a == "--rows" ? options.rows : options.iterations) = *number;
      ++i;
    } else if (a == "--json" && i + 1 < arguments.size()) {
      jsonFile = arguments[++i];
    } else if (a == "--no-list") {
      options.drawList = false;
    } else {
      std::printf("usage: mto-com-test-host bench [--rows N] [--iterations K] [--no-list] [--json FILE]\n");
      return 2;
    }
  }

  com::ComInitialization apartment;
  if (!apartment.ok()) {
    std::printf("CoInitializeEx failed\n");
    return 1;
  }
  std::printf("bench: %d rows, %s per event and path after one warm-up\n", options.rows,
              options.iterations > 0 ? fmt::format("{} iterations", options.iterations).c_str()
                                     : "as many iterations as fit 0.4 s (3 to 1000)");
  std::fflush(stdout);
  std::string problem;
  std::vector<EventFigures> results = runBench(options, problem);
  if (!problem.empty()) {
    std::printf("bench: %s\n", problem.c_str());
    return 1;
  }
  printTable(results);
  constexpr int32_t kCostRepetitions = 20000;
  CallCosts costs;
  try {
    costs = measureCallCosts(kCostRepetitions);
  } catch (const std::exception& e) {
    std::printf("bench: the host call costs could not be measured: %s\n", e.what());
    return 1;
  }
  std::printf(
      "one host call, us: bare (adapter and DISPID cached) in process %.3f, through IDispatch %.3f;\n"
      "  on an object just crossed (new COM object, new adapter) in process %.3f, through IDispatch %.3f\n",
      costs.bareInProcessUs, costs.bareComUs, costs.crossingInProcessUs, costs.crossingComUs);
  std::fflush(stdout);

  bool ok = true;
  nlohmann::json events = nlohmann::json::array();
  for (const EventFigures& e : results) {
    ok = ok && e.inProcess.problem.empty() && e.throughCom.problem.empty() &&
         e.inProcess.hostCalls == e.throughCom.hostCalls;
    events.push_back(
        {{"event", e.event},
         {"rows", e.rows},
         {"inProcess", toJson(e.inProcess)},
         {"com", toJson(e.throughCom)},
         {"ratio", e.inProcess.medianMs > 0 ? e.throughCom.medianMs / e.inProcess.medianMs : 0.0}});
  }
  if (!jsonFile.empty()) {
    nlohmann::json report = {
        {"rows", options.rows},
        {"events", events},
        {"hostCallUs",
         {{"bare", {{"inProcess", costs.bareInProcessUs}, {"com", costs.bareComUs}}},
          {"crossing", {{"inProcess", costs.crossingInProcessUs}, {"com", costs.crossingComUs}}}}}};
    std::ofstream out(std::filesystem::path(com::toWide(jsonFile)));
    out << report.dump(2) << '\n';
    if (!out) {
      std::printf("bench: cannot write %s\n", jsonFile.c_str());
      return 1;
    }
  }
  return ok ? 0 : 1;
}

}  // namespace mto::testhost
