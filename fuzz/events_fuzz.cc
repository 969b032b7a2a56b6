// The plug-in's event handlers under a host that misbehaves: the input builds a bill (head and rows
// whose cells hold any kind of value: Null, Empty, numbers at the edges of their range, dates at the
// edges of the calendar, long and control-character texts, SQL and filter fragments) and then a
// sequence of host events, user actions, member calls and host faults with arguments of any kind,
// objects of the wrong type among them. Each event must end in completion or an automation error
// returned to the host: a crash, a hang, or a C++ exception of the implementation reaching the host
// is a finding.
#include <nlohmann/json.hpp>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "automation/thread_state.h"
#include "core/cls_mto_change.h"
#include "fuzz_support.h"
#include "host/events.h"
#include "sim/components/sim_host.h"
#include "sim/scenario/scenario.h"

namespace {

using nlohmann::json;
using mto::fuzz::finding;
namespace events = mto::host::events;

template <typename T, size_t N>
const T& pick(FuzzedDataProvider& in, const T (&pool)[N]) {
  return pool[in.ConsumeIntegralInRange<size_t>(0, N - 1)];
}

constexpr const char* kHeadKeys[] = {"FBillNo", "FCustID", "FDate", "FDeptID", "FEmpID",
                                     "FExplanation", "FHSID", "FStatus", "FTranType"};

constexpr const char* kEntryKeys[] = {
    "FAuxPropID", "FBaseProperty", "FBaseQty",   "FBatchNo",       "FChangeBaseQty", "FChangeQty",
    "FChangeSecQty", "FFromMTONo", "FItemID",    "FKFDate",        "FKFPeriod",      "FNote",
    "FPeriodDate", "FQty",         "FSPID",      "FSecCoefficient", "FSecQty",        "FSecUnitID",
    "FSecurityQty", "FStockID",    "FStockQty",  "FToMTONo",       "FUnitID"};

/// A field key as a host hands it: mostly an entry field, sometimes a head field or one the template
/// lacks.
const char* anyKey(FuzzedDataProvider& in);

/// Commands of the editor's menu bar (the stock-status query once the plug-in has added it).
constexpr const char* kCommands[] = {"mnuFileSave",       "mnuCopyRow",        "mnuStockStatusQuery",
                                     "mnuDataLookUp",     "mnuEditCopy",       "mnuFileNew",
                                     "mnuBatchFillField", "mnuOptionLinkBill"};

constexpr const char* kMembers[] = {"GetFiledValue", "SetBillField", "InsertSepTool", "RemoveSepTool",
                                    "ViewStockStatus", "ShowStockStatus", "DoBatchF7Action",
                                    "GetFieldByProperty", "GetPageActionParameters", "Show", "NoSuchMember"};

/// Host members the plug-in calls, to make fail or answer with a value of the input's choice.
constexpr const char* kHostMembers[] = {
    "BillEvent.GetDataFld",   "BillEvent.GetFieldInfoByKey", "BillEvent.GetFieldValue", "BillEvent.ReadFieldValue",
    "BillEvent.TableInfo",    "BillEvent.Data",              "BillEvent.OperationMode", "BillEvent.MultiCheck",
    "BillEvent.MenuBar",      "BillEvent.GetLookupRecord",   "BillEvent.SetText",       "BillEvent.SetDecimal",
    "BillCtl.DoAction",       "Dictionary.GetValue",         "Dictionary.Lookup",       "Dictionary.Count",
    "Vector.UBound",          "Vector.Size",                 "SysInfo.GetQty",          "Log.IsEnabled",
    "clsListServer.GetCurPeriod", "AppConnection.GetAnyRecordset", "Recordset.EOF",     "Field.Value",
    "ShareProps.GetProperty", "Loader.LoadString",           "MenuBar.WEXBands",        "WEXTools.ToolByName",
    "Tools.Count",            "Tool.Name",                   "Bands.Count"};

constexpr const char* kComponents[] = {"BillDataAccess.SysInfo", "D8OduruverRunAction.clsDoAction",
                                       "T8StockStatus.SSFace", "T8WEXSerRunAction.clsDoAction",
                                       "T8Collections.Dictionary", "ActiveBar3LibraryCtl.Tool"};

/// Texts that have hurt plug-ins of this kind: quotes, SQL and filter fragments, separators,
/// control characters, characters beyond ASCII.
constexpr const char* kTexts[] = {"",
                                  " ",
                                  "'",
                                  "''",
                                  "12) OR 1=1 --",
                                  "'; DROP TABLE t_ICItem; --",
                                  "x2.FTypeID not in (501,502,503)",
                                  "[FItemID] = #2026-12-06#",
                                  "1,2,3",
                                  "-0",
                                  "1e308",
                                  "&HFFFF",
                                  "12.5",
                                  "2026-12-06",
                                  "31/12/9999",
                                  "1/1/100",
                                  "UserID=16394;PWD=secret;",
                                  "\t\r\n\x01\x1f",
                                  "\xe6\xb2\x83\xe5\xb2\x9a\xe6\x8f\x90\xe7\xa4\xba",
                                  "\xf0\x9f\x98\x80",
                                  "%*_",
                                  "AL-2611",
                                  "MTO-0001"};

const char* anyKey(FuzzedDataProvider& in) {
  switch (in.ConsumeIntegralInRange<int>(0, 7)) {
    case 0: return pick(in, kHeadKeys);
    case 1: return pick(in, {"FNoSuchKey", "", "fitemid", "FItemID "});
    default: return pick(in, kEntryKeys);
  }
}

/// Keeps a text from the input valid UTF-8 (a scenario file can only hold such), control characters
/// included.
std::string asciiText(FuzzedDataProvider& in, size_t maxLength) {
  std::string text = in.ConsumeRandomLengthString(maxLength);
  for (char& c : text)
    if (static_cast<unsigned char>(c) >= 0x80) c = '?';
  return text;
}

json text(FuzzedDataProvider& in) {
  switch (in.ConsumeIntegralInRange<int>(0, 3)) {
    case 0: return pick(in, kTexts);
    case 1: return asciiText(in, 24);
    case 2: {
      // Long texts at the edges of what hosts and databases store, now and then the longest.
      size_t length = pick(in, {size_t{255}, size_t{256}, size_t{4000}, size_t{32767}, size_t{65536}, size_t{100000}});
      if (length > 4000 && in.ConsumeIntegralInRange<int>(0, 7) != 0) length = 300;
      return std::string(length, pick(in, "x'0 %\n"));
    }
    default: return std::to_string(in.ConsumeIntegral<int64_t>());
  }
}

/// A plain value of the scenario format (no host objects).
json plainValue(FuzzedDataProvider& in) {
  switch (in.ConsumeIntegralInRange<int>(0, 13)) {
    case 0: return json{{"null", true}};
    case 1: return json{{"empty", true}};
    case 2: return in.ConsumeBool();
    case 3: return json{{"integer", in.ConsumeIntegral<int16_t>()}};
    case 4: return json{{"long", in.ConsumeIntegral<int32_t>()}};
    case 5: return pick(in, {0, 1, -1, 12, 13, 15, 31, 32767, 32768, -32769, 2147483647, -2147483647 - 1});
    case 6: {
      double d = in.ConsumeFloatingPoint<double>();
      if (!std::isfinite(d)) d = 1.7976931348623157e308;
      return json{{"double", d}};
    }
    case 7: return pick(in, {0.5, -0.5, 2.675, 1e-300, 4.9e-324, 1e15, 123456789012.345});
    case 8:
      return json{{"date", pick(in, {"0100-01-01", "9999-12-31 23:59:59", "1899-12-30", "1899-12-29 12:00",
                                     "2026-12-06", "2000-02-29", "1900-02-28"})}};
    case 9: return json{{"missing", true}};
    default: return text(in);
  }
}

/// Any argument: a plain value or a host object, often of the wrong type for its place.
json argument(FuzzedDataProvider& in, int depth = 0) {
  switch (in.ConsumeIntegralInRange<int>(0, 15)) {
    case 0: return json{{"nothing", true}};
    case 1: return json{{"definition", anyKey(in)}};
    case 2: return json{{"cell", {anyKey(in), in.ConsumeIntegralInRange<int>(0, 2)}}};
    case 3: {
      json entries = json::object();
      entries["FKey"] = in.ConsumeBool() ? json(anyKey(in)) : plainValue(in);
      if (in.ConsumeBool()) entries[pick(in, {"FFLD", "FDSP", "FFilter", "Item", "FPage"})] = plainValue(in);
      return json{{"dictionary", entries}};
    }
    case 4: {
      json items = json::array();
      size_t n = in.ConsumeIntegralInRange<size_t>(0, 3);
      for (size_t i = 0; i < n; ++i) items.push_back(depth < 2 ? argument(in, depth + 1) : plainValue(in));
      return json{{"vector", items}};
    }
    case 5: return json{{"bill", true}};
    case 6: return json{{"list", true}};
    case 7: return json{{"menuBar", pick(in, {"bill", "list"})}};
    case 8: return json{{"toolbar", pick(in, {"bill", "list"})}};
    case 9: return json{{"tool", pick(in, kCommands)}};
    case 10: return json{{"object", pick(in, {"billevent", "Dictionary", "", "Recordset"})}};
    default: return plainValue(in);
  }
}

/// Cells of some of `keys`; `absentAllowed`: a cell may also be missing from its row.
template <size_t N>
json cells(FuzzedDataProvider& in, const char* const (&keys)[N], size_t most, bool absentAllowed = true) {
  json row = json::object();
  size_t n = in.ConsumeIntegralInRange<size_t>(0, most);
  for (size_t i = 0; i < n; ++i) {
    const char* key = pick(in, keys);
    switch (in.ConsumeIntegralInRange<int>(0, 5)) {
      case 0: row[key] = absentAllowed ? json{{"absent", true}} : json{{"null", true}}; break;
      case 1: row[key] = pick(in, {12, 13, 15, 31, 32, 999999}); break;  // look-up numbers, known and not
      default: row[key] = plainValue(in);
    }
  }
  return row;
}

json setup(FuzzedDataProvider& in) {
  json bill = json::object();
  bill["operationMode"] = pick(in, {1, 2, 3, 0, -1});
  bill["head"] = cells(in, kHeadKeys, 4);
  json rows = json::array();
  size_t n = in.ConsumeIntegralInRange<size_t>(0, 5);
  for (size_t i = 0; i < n; ++i) rows.push_back(cells(in, kEntryKeys, 6));
  bill["rows"] = rows;
  if (in.ConsumeBool()) bill["multiCheck"] = json{{"isRun", in.ConsumeBool()}, {"exists", in.ConsumeBool()}};
  if (in.ConsumeBool()) bill["data"] = json{{"NewBillHasData", plainValue(in)}, {"FIsSelBill", plainValue(in)}};
  json s = json{{"bill", bill}};
  if (in.ConsumeBool()) s["props"] = asciiText(in, 48);
  return s;
}

json eventStep(FuzzedDataProvider& in, bool onList) {
  std::span<const events::Event> table = events::kBillEvents;
  if (onList) table = events::kListEvents;
  const events::Event& e = table[in.ConsumeIntegralInRange<size_t>(0, table.size() - 1)];
  json args = json::array();
  size_t n = in.ConsumeIntegralInRange<size_t>(0, e.params.size());
  for (size_t i = 0; i < n; ++i) args.push_back(argument(in));
  json step = json{{"event", std::string(e.name)}, {"args", args}};
  if (onList) step["on"] = "list";
  return step;
}

json step(FuzzedDataProvider& in) {
  switch (in.ConsumeIntegralInRange<int>(0, 19)) {
    case 0: case 1: case 2: case 3: return eventStep(in, false);
    case 4: return eventStep(in, true);
    case 5: return json{{"setCell", {{"key", pick(in, kEntryKeys)}, {"row", in.ConsumeIntegralInRange<int>(0, 3)},
                                     {"value", plainValue(in)}}}};
    case 6: return json{{"addRow", true}};
    case 7: return json{{"click", pick(in, kCommands)}};
    case 8: return json{{"save", true}};
    case 9: return json{{"openList", in.ConsumeBool() ? json(true) : json("stored")}};
    case 10: {
      json args = json::array();
      size_t n = in.ConsumeIntegralInRange<size_t>(0, 5);
      for (size_t i = 0; i < n; ++i) args.push_back(argument(in));
      return json{{"call", {{"member", pick(in, kMembers)}, {"args", args}}}};
    }
    case 11: return json{{"newBill", true}};
    case 12: return json{{"copyBill", true}};
    case 13: {
      json rows = json::array();
      size_t n = in.ConsumeIntegralInRange<size_t>(0, 3);
      for (size_t i = 0; i < n; ++i) rows.push_back(cells(in, kEntryKeys, 4, false));
      return json{{"fillBill", {{"rows", rows}, {"doAction", {pick(in, kEntryKeys)}}}}};
    }
    case 14: return json{{"copyRow", 1}};
    case 15:
      return json{{"failing", {{{"member", pick(in, kHostMembers)},
                                {"number", pick(in, {5, 6, 13, 91, 424, 3021, -2147221504})}}}}};
    case 16: {
      // A member that reports how many rows, tools or entries there are answers a small count here:
      // the plug-in makes a call per row it is told of, so a host that claims a billion rows gets a
      // billion calls (linear, as it should be, and no fault) and the fuzzer would only wait.
      const char* member = pick(in, kHostMembers);
      std::string_view name = member;
      bool count = name.ends_with(".UBound") || name.ends_with(".Size") || name.ends_with(".Count");
      json value = count ? json(pick(in, {-2, -1, 0, 1, 2, 3, 40})) : plainValue(in);
      return json{{"returning", {{{"member", member}, {"value", value}}}}};
    }
    case 17: return json{{"operationMode", pick(in, {1, 2, 3, 0, 32767})}};
    case 18: return json{{in.ConsumeBool() ? "uninstall" : "install", pick(in, kComponents)}};
    default: return json{{"show", argument(in)}};
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool registered = [] {
    mto::sim::setPluginFactory([] { return mto::core::clsMTOChange::create(); });
    return true;
  }();
  (void)registered;

  FuzzedDataProvider in(data, size);
  json scenario = json::object();
  scenario["setup"] = setup(in);
  json steps = json::array();
  steps.push_back(json{{"bind", in.ConsumeIntegralInRange<int>(0, 7) == 0 ? "list" : "bill"}});
  while (in.remaining_bytes() > 0 && steps.size() < 24) steps.push_back(step(in));
  scenario["steps"] = steps;

  // MTO_FUZZ_PRINT=1 prints the scenario an input stands for, so that a finding becomes a scenario file.
  static const bool print = std::getenv("MTO_FUZZ_PRINT") != nullptr;
  if (print) std::printf("%s\n", mto::sim::traceText(scenario).c_str());
  const uint64_t foreignBefore = mto::automation::foreignExceptionCount();
  try {
    mto::sim::runScenarioUntraced(scenario, "fuzz.json");
  } catch (const mto::sim::ScenarioError& e) {
    // A step the simulated host cannot perform as generated (a row the bill lacks): the steps before
    // it ran and count.
    if (print) std::printf("not run: %s\n", e.what());
  }
  if (mto::automation::foreignExceptionCount() != foreignBefore)
    finding("a C++ exception of the implementation reached the host: " + mto::automation::lastForeignException());
  return 0;
}
