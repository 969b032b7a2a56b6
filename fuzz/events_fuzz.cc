// The plug-in's event handlers under a host that misbehaves: the input builds a bill (head and rows
// whose cells hold any kind of value: Null, Empty, numbers at the edges of their range, dates at the
// edges of the calendar, long and control-character texts, SQL and filter fragments) and then a
// sequence of host events, user actions, member calls and host faults with arguments of any kind,
// objects of the wrong type among them. Each event must end in completion or an automation error
// returned to the host: a crash, a hang, or a C++ exception of the implementation reaching the host
// is a finding.
#include <nlohmann/json.hpp>

#include <string>
#include <vector>

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

constexpr const char* kFieldKeys[] = {
    "FBillNo",  "FDate",      "FNote",        "FDeptID",   "FEmpID",         "FItemID",     "FStockID",
    "FSPID",    "FBatchNo",   "FMTONo",       "FToMTONo",  "FFromMTONo",     "FAuxPropID",  "FUnitID",
    "FQty",     "FBaseQty",   "FChangeQty",   "FSecQty",   "FChangeBaseQty", "FKFDate",     "FKFPeriod",
    "FPeriodDate", "FSecCoefficient", "FSecUnitID", "FStockQty", "FSecurityQty", "FChangeSecQty", "FNoSuchKey"};

constexpr const char* kCommands[] = {"mnuFileSave", "mnuCopyRow", "mnuStockStatusQuery", "mnuDataLookUp",
                                     "mnuEditCopy", "mnuEditModify", "mnuFileNew", "mnuBatchFillField",
                                     "mnuOptionLinkBill", "MNUFILESAVE", "", "mnuNoSuchCommand"};

constexpr const char* kMembers[] = {"GetFiledValue", "SetBillField", "InsertSepTool", "RemoveSepTool",
                                    "ViewStockStatus", "ShowStockStatus", "DoBatchF7Action",
                                    "GetFieldByProperty", "GetPageActionParameters", "Show", "NoSuchMember"};

constexpr const char* kHostMembers[] = {"BillEvent.ReadFieldValue", "BillEvent.GetFieldValue",
                                        "BillEvent.GetFieldInfoByKey", "BillEvent.GetDataFld",
                                        "BillEvent.SetFieldValue", "BillEvent.BillEntrys",
                                        "Dictionary.GetValue", "Dictionary.Item", "SysInfo.GetQty",
                                        "Log.IsEnabled", "clsListServer.GetCurPeriod", "Vector.Item",
                                        "Recordset.MoveNext", "Connection.Execute"};

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
    case 2: return std::string(in.ConsumeIntegralInRange<size_t>(0, 100000), pick(in, "x'0 %\n"));
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
    case 1: return json{{"definition", pick(in, kFieldKeys)}};
    case 2: return json{{"cell", {pick(in, kFieldKeys), in.ConsumeIntegralInRange<int>(-1, 4)}}};
    case 3: {
      json entries = json::object();
      entries["FKey"] = in.ConsumeBool() ? json(pick(in, kFieldKeys)) : plainValue(in);
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

json cells(FuzzedDataProvider& in, size_t most) {
  json row = json::object();
  size_t n = in.ConsumeIntegralInRange<size_t>(0, most);
  for (size_t i = 0; i < n; ++i) {
    const char* key = pick(in, kFieldKeys);
    switch (in.ConsumeIntegralInRange<int>(0, 5)) {
      case 0: row[key] = json{{"absent", true}}; break;
      case 1: row[key] = pick(in, {12, 13, 15, 31, 32, 999999}); break;  // look-up numbers, known and not
      default: row[key] = plainValue(in);
    }
  }
  return row;
}

json setup(FuzzedDataProvider& in) {
  json bill = json::object();
  bill["operationMode"] = pick(in, {1, 2, 3, 0, -1});
  bill["head"] = cells(in, 4);
  json rows = json::array();
  size_t n = in.ConsumeIntegralInRange<size_t>(0, 5);
  for (size_t i = 0; i < n; ++i) rows.push_back(cells(in, 6));
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
    case 5: return json{{"setCell", {{"key", pick(in, kFieldKeys)}, {"row", in.ConsumeIntegralInRange<int>(0, 3)},
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
      for (size_t i = 0; i < n; ++i) rows.push_back(cells(in, 4));
      return json{{"fillBill", {{"rows", rows}, {"doAction", {pick(in, kFieldKeys)}}}}};
    }
    case 14: return json{{"copyRow", in.ConsumeIntegralInRange<int>(1, 3)}};
    case 15:
      return json{{"failing", {{{"member", pick(in, kHostMembers)},
                                {"number", pick(in, {5, 6, 13, 91, 424, 3021, -2147221504})}}}}};
    case 16: return json{{"returning", {{{"member", pick(in, kHostMembers)}, {"value", plainValue(in)}}}}};
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

  mto::sim::ScenarioResult result;
  try {
    result = mto::sim::runScenario(scenario, "fuzz.json");
  } catch (const mto::sim::ScenarioError&) {
    return 0;  // a step the simulated host cannot perform as generated; not the plug-in's doing
  }
  for (const std::string& failure : result.failures)
    if (failure.find("C++ exception") != std::string::npos) finding(failure);
  return 0;
}
