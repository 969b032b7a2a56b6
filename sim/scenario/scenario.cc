#include "sim/scenario/scenario.h"

#include <fmt/format.h>

#include <cmath>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <sstream>

#include "automation/convert.h"
#include "automation/dates.h"
#include "automation/thread_state.h"
#include "host/contract.h"
#include "sim/editor/bill_editor.h"
#include "sim/editor/bill_list.h"
#include "sim/editor/bill_store.h"
#include "sim/components/sim_host.h"
#include "sim/scenario/trace.h"

namespace mto::sim {

using nlohmann::json;

ScenarioError::ScenarioError(const std::string& file, int step, const std::string& what)
    : std::runtime_error(step > 0 ? fmt::format("{}: step {}: {}", file, step, what)
                                  : fmt::format("{}: setup: {}", file, what)) {}

namespace {

const std::set<std::string, std::less<>> kBillEvents = {
    "AddNewRow",     "AfterCopyBill",     "AfterFillRow", "AfterLoadBill", "AfterNewBill",
    "BarInitialize", "BeforeSave",        "BeginEdit",    "Change",        "EntryGridRow",
    "MenuBarClick",  "MenuBarInitialize", "UnMultiCheck"};
const std::set<std::string, std::less<>> kListEvents = {"BarInitialize", "ListFillRow", "MenuBarClick",
                                                        "MenuBarInitialize", "UnMultiCheck"};
constexpr std::string_view kSaveCommand = "mnuFileSave";

/// A problem in the scenario text; the runner adds the file and step.
struct Malformed : std::runtime_error {
  using std::runtime_error::runtime_error;
};

[[noreturn]] void malformed(const std::string& what) {
  throw Malformed(what);
}

const json& member(const json& object, std::string_view key, std::string_view where) {
  auto it = object.find(key);
  if (it == object.end()) malformed(fmt::format("{} needs \"{}\"", where, key));
  return *it;
}

std::string textOf(const json& value, std::string_view where) {
  if (!value.is_string()) malformed(fmt::format("{} must be a text, not {}", where, value.dump()));
  return value.get<std::string>();
}

int32_t integerOf(const json& value, std::string_view where) {
  if (!value.is_number_integer())
    malformed(fmt::format("{} must be a whole number, not {}", where, value.dump()));
  return value.get<int32_t>();
}

bool boolOf(const json& value, std::string_view where) {
  if (!value.is_boolean()) malformed(fmt::format("{} must be true or false, not {}", where, value.dump()));
  return value.get<bool>();
}

void onlyKeys(const json& object, std::initializer_list<std::string_view> allowed, std::string_view where) {
  if (!object.is_object()) malformed(fmt::format("{} must be an object", where));
  for (const auto& [key, value] : object.items()) {
    bool known = false;
    for (auto a : allowed) known = known || key == a;
    if (!known) malformed(fmt::format("{} has an unknown key \"{}\"", where, key));
  }
}

automation::Date parseIsoDate(const std::string& text, std::string_view where) {
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
  char tail = 0;
  int n = std::sscanf(text.c_str(), "%d-%d-%d %d:%d:%d%c", &y, &mo, &d, &h, &mi, &s, &tail);
  if (n < 3 || n == 4 || n == 7)
    malformed(fmt::format("{}: \"{}\" is not a date YYYY-MM-DD[ HH:MM[:SS]]", where, text));
  try {
    return automation::makeDate(y, mo, d, h, mi, s);
  } catch (const automation::AutomationError&) {
    malformed(fmt::format("{}: \"{}\" is not a valid date", where, text));
  }
}

/// A plain value of the scenario text. Objects name a subtype: {"integer": 5}, {"date": "..."},
/// {"null": true}, {"empty": true}, {"missing": true}, {"nothing": true}, {"double": 2}.
std::optional<Variant> plainValue(const json& v, std::string_view where) {
  if (v.is_null()) return Variant();
  if (v.is_boolean()) return Variant(v.get<bool>());
  if (v.is_number_integer()) {
    auto n = v.get<int64_t>();
    if (n >= INT32_MIN && n <= INT32_MAX) return Variant(static_cast<int32_t>(n));
    return Variant(static_cast<double>(n));
  }
  if (v.is_number()) return Variant(v.get<double>());
  if (v.is_string()) return Variant(v.get<std::string>());
  if (!v.is_object() || v.size() != 1) return std::nullopt;
  const std::string kind = v.begin().key();
  const json& inner = v.begin().value();
  if (kind == "null") return Variant::null();
  if (kind == "empty") return Variant();
  if (kind == "missing") return Variant::missing();
  if (kind == "nothing") return Variant(automation::ObjectPtr{});
  if (kind == "integer") {
    int32_t n = integerOf(inner, where);
    if (n < INT16_MIN || n > INT16_MAX) malformed(fmt::format("{}: {} does not fit an Integer", where, n));
    return Variant(static_cast<int16_t>(n));
  }
  if (kind == "long") return Variant(integerOf(inner, where));
  if (kind == "double") {
    if (!inner.is_number()) malformed(fmt::format("{}: \"double\" needs a number", where));
    return Variant(inner.get<double>());
  }
  if (kind == "date") return Variant(parseIsoDate(textOf(inner, where), where));
  return std::nullopt;
}

Variant requirePlainValue(const json& v, std::string_view where) {
  auto value = plainValue(v, where);
  if (!value) malformed(fmt::format("{}: {} is not a value", where, v.dump()));
  return *value;
}

struct StepContext {
  json record = json::object();
  /// The cells as the first event of the step found them: what the host itself wrote (a user's
  /// entry, a new row) lies before it, what the plug-in wrote after it.
  std::optional<CellSnapshot> atFirstEvent;
  std::optional<bool> cancel;
  std::vector<automation::ErrorInfo> errors;
  Variant result;
  bool hasResult = false;
};

class Runner {
 public:
  Runner(std::string file, std::string databaseFile)
      : file_(std::move(file)), databaseFile_(std::move(databaseFile)) {}

  ScenarioResult run(const json& scenario) {
    if (!scenario.is_object()) throw ScenarioError(file_, 0, "a scenario is a JSON object");
    for (const auto& [key, value] : scenario.items())
      if (key != "name" && key != "description" && key != "setup" && key != "steps")
        throw ScenarioError(file_, 0, fmt::format("unknown key \"{}\"", key));
    try {
      setup(scenario.value("setup", json::object()));
    } catch (const Malformed& e) {
      throw ScenarioError(file_, 0, e.what());
    } catch (const automation::AutomationError& e) {
      throw ScenarioError(file_, 0, "the setup failed: " + e.info().description);
    } catch (const std::exception& e) {
      throw ScenarioError(file_, 0, std::string("the setup failed: ") + e.what());
    }
    ScenarioResult result;
    result.trace["scenario"] = scenario.value("name", file_);
    result.trace["file"] = file_;
    result.trace["steps"] = json::array();
    const json& steps = scenario.contains("steps") ? scenario["steps"] : json::array();
    if (!steps.is_array()) throw ScenarioError(file_, 0, "\"steps\" must be an array");
    int index = 0;
    for (const auto& step : steps) {
      ++index;
      try {
        json record = runStep(step, index, result.failures);
        result.trace["steps"].push_back(std::move(record));
      } catch (const Malformed& e) {
        throw ScenarioError(file_, index, e.what());
      }
    }
    result.trace["final"] = finalState(*host_, bill_.get(), list_.get());
    result.trace["expectationsFailed"] = result.failures.size();
    plugin_.reset();
    return result;
  }

 private:
  // ---------------------------------------------------------------- setup
  void setup(const json& s) {
    onlyKeys(s,
             {"sql", "props", "locale", "today", "profile", "permissions", "missing", "failing", "bill",
              "template", "list"},
             "setup");
    SimHostOptions options;
    options.databaseFile = databaseFile_;
    host_ = std::make_unique<SimHost>(options);
    HostCallCounter::instance().reset();
    if (s.contains("sql")) runSql(s["sql"], "setup.sql");
    if (s.contains("props")) host_->setPropsString(textOf(s["props"], "setup.props"));
    applyLocale(s.value("locale", json::object()));
    automation::Date today = automation::makeDate(2026, 12, 6, 9, 0, 0);
    if (s.contains("today")) today = parseIsoDate(textOf(s["today"], "setup.today"), "setup.today");
    host_->platform().setNow(today);
    if (s.contains("profile")) applyProfile(s["profile"]);
    if (s.contains("permissions")) applyPermissions(s["permissions"]);

    bill_ = BillEditor::create(host_->db());
    list_ = BillList::create(host_->db());
    if (s.contains("template")) applyTemplate(s["template"]);
    if (s.contains("bill")) applyBill(s["bill"]);
    if (s.contains("list")) applyList(s["list"]);
    observe(*bill_, "bill");
    observe(*list_, "list");

    if (s.contains("missing")) {
      if (!s["missing"].is_array()) malformed("setup.missing must be an array of ProgIDs");
      for (const auto& progId : s["missing"]) host_->removeComponent(textOf(progId, "setup.missing"));
    }
    if (s.contains("failing")) {
      if (!s["failing"].is_array()) malformed("setup.failing must be an array");
      for (const auto& f : s["failing"]) {
        onlyKeys(f, {"member", "number", "description", "source"}, "setup.failing[]");
        automation::ErrorInfo error;
        error.number = f.contains("number") ? integerOf(f["number"], "failing.number") : 5;
        error.description = f.value("description", std::string("Simulated failure"));
        error.source = f.value("source", std::string("SimHost"));
        HostFaults::instance().fail(textOf(member(f, "member", "setup.failing[]"), "failing.member"), error);
      }
    }
    HostCallCounter::instance().reset();
  }

  void runSql(const json& sql, std::string_view where) {
    std::vector<std::string> statements;
    if (sql.is_string())
      statements.push_back(sql.get<std::string>());
    else if (sql.is_array())
      for (const auto& s : sql) statements.push_back(textOf(s, where));
    else
      malformed(fmt::format("{} must be a text or an array of texts", where));
    for (const auto& statement : statements) {
      try {
        host_->db().execute(statement);
      } catch (const std::exception& e) {
        malformed(fmt::format("{}: {}", where, e.what()));
      }
    }
  }

  void applyLocale(const json& l) {
    onlyKeys(l,
             {"dateSeparator", "shortDatePattern", "timePattern", "thousandsSeparator", "decimalSeparator"},
             "setup.locale");
    automation::Locale locale;
    if (l.contains("dateSeparator"))
      locale.dateSeparator = textOf(l["dateSeparator"], "locale.dateSeparator");
    if (l.contains("shortDatePattern"))
      locale.shortDatePattern = textOf(l["shortDatePattern"], "locale.shortDatePattern");
    if (l.contains("timePattern")) locale.timePattern = textOf(l["timePattern"], "locale.timePattern");
    if (l.contains("thousandsSeparator"))
      locale.thousandsSeparator = textOf(l["thousandsSeparator"], "locale.thousandsSeparator");
    if (l.contains("decimalSeparator"))
      locale.decimalSeparator = textOf(l["decimalSeparator"], "locale.decimalSeparator");
    host_->platform().setLocale(locale);
  }

  /// Rows of the system profile: {"SecUnit": "0"} sets the IC row, null deletes it; a row of another
  /// table or category is {"table": ..., "category": ..., "key": ..., "value": ...}.
  void applyProfile(const json& p) {
    auto setRow = [&](const std::string& table, const std::string& category, const std::string& key,
                      const json& value) {
      std::string categoryColumn = table == "ICPrcOpt" ? "FCategory" : "FCateGory";
      auto del = host_->db().connection().prepare("DELETE FROM " + table + " WHERE " + categoryColumn +
                                                  " = ?1 AND FKey = ?2");
      del.bind(1, category).bind(2, key);
      del.step();
      if (value.is_null()) return;
      auto ins = host_->db().connection().prepare("INSERT INTO " + table + " (" + categoryColumn +
                                                  ", FKey, FValue) VALUES (?1, ?2, ?3)");
      ins.bind(1, category).bind(2, key);
      if (value.is_object() && value.contains("null"))
        ins.bindNull(3);
      else if (value.is_string())
        ins.bind(3, value.get<std::string>());
      else if (value.is_number() || value.is_boolean())
        ins.bind(3, value.dump());
      else
        malformed(fmt::format(
            "setup.profile: value of \"{}\" must be a text, a number, null or {{\"null\": true}}", key));
      ins.step();
    };
    if (p.is_object()) {
      for (const auto& [key, value] : p.items()) setRow("t_SystemProfile", "IC", key, value);
    } else if (p.is_array()) {
      for (const auto& row : p) {
        onlyKeys(row, {"table", "category", "key", "value"}, "setup.profile[]");
        std::string table = row.value("table", std::string("t_SystemProfile"));
        if (table != "t_SystemProfile" && table != "t_RP_SystemProfile" && table != "ICPrcOpt")
          malformed("setup.profile[].table must be t_SystemProfile, t_RP_SystemProfile or ICPrcOpt");
        setRow(table, row.value("category", std::string("IC")),
               textOf(member(row, "key", "profile[]"), "key"), row.contains("value") ? row["value"] : json());
      }
    } else {
      malformed("setup.profile must be an object or an array");
    }
  }

  void applyPermissions(const json& p) {
    if (!p.is_array()) malformed("setup.permissions must be an array");
    for (const auto& r : p) {
      onlyKeys(r, {"user", "objectType", "objectId", "mask", "allowed"}, "setup.permissions[]");
      auto st = host_->db().connection().prepare(
          "INSERT OR REPLACE INTO t_AccessRight (FUserID, FObjectType, FObjectID, FAccessMask, FAllowed) "
          "VALUES (?1, ?2, ?3, ?4, ?5)");
      st.bind(1, int64_t{integerOf(member(r, "user", "permission"), "user")})
          .bind(2, int64_t{integerOf(member(r, "objectType", "permission"), "objectType")})
          .bind(3, int64_t{integerOf(member(r, "objectId", "permission"), "objectId")})
          .bind(4, int64_t{integerOf(member(r, "mask", "permission"), "mask")})
          .bind(5, int64_t{r.contains("allowed") ? (boolOf(r["allowed"], "allowed") ? 1 : 0) : 1});
      st.step();
    }
  }

  void applyTemplate(const json& t) {
    if (!t.is_object()) malformed("setup.template must be an object of field keys");
    for (const auto& [key, entries] : t.items()) {
      if (!bill_->definition(key))
        malformed(fmt::format("setup.template: the template has no field \"{}\"", key));
      if (!entries.is_object()) malformed(fmt::format("setup.template.{} must be an object", key));
      for (const auto& [entry, value] : entries.items())
        bill_->billTemplate().set(key, entry,
                                  requirePlainValue(value, "setup.template." + key + "." + entry));
    }
  }

  void setCells(const json& cells, int32_t row, std::string_view where) {
    if (!cells.is_object()) malformed(fmt::format("{} must be an object of field keys", where));
    for (const auto& [key, value] : cells.items()) {
      if (!bill_->definition(key)) malformed(fmt::format("{}: the template has no field \"{}\"", where, key));
      std::optional<std::string> display, number;
      Variant stored;
      if (value.is_object() && value.contains("FFLD")) {
        onlyKeys(value, {"FFLD", "FDSP", "FFND"}, std::string(where) + "." + key);
        stored = requirePlainValue(value["FFLD"], key);
        if (value.contains("FDSP")) display = textOf(value["FDSP"], key + ".FDSP");
        if (value.contains("FFND")) number = textOf(value["FFND"], key + ".FFND");
      } else {
        stored = requirePlainValue(value, std::string(where) + "." + key);
      }
      try {
        bill_->setCell(key, row, stored, display, number);
      } catch (const automation::AutomationError& e) {
        malformed(fmt::format("{}.{}: {}", where, key, e.info().description));
      }
    }
  }

  void applyBill(const json& b) {
    onlyKeys(b,
             {"operationMode", "classTypeId", "head", "rows", "data", "doActionFields", "multiCheck",
              "activeControl"},
             "setup.bill");
    if (b.contains("operationMode"))
      bill_->setOperationMode(integerOf(b["operationMode"], "bill.operationMode"));
    if (b.contains("classTypeId")) bill_->setClassTypeID(integerOf(b["classTypeId"], "bill.classTypeId"));
    if (b.contains("head")) setCells(b["head"], 0, "setup.bill.head");
    if (b.contains("rows")) {
      if (!b["rows"].is_array()) malformed("setup.bill.rows must be an array");
      for (const auto& row : b["rows"]) setCells(row, bill_->addRow(), "setup.bill.rows[]");
    }
    if (b.contains("data")) {
      if (!b["data"].is_object()) malformed("setup.bill.data must be an object");
      for (const auto& [key, value] : b["data"].items())
        bill_->setDataEntry(key, requirePlainValue(value, "setup.bill.data." + key));
    }
    if (b.contains("doActionFields")) {
      std::vector<std::string> keys;
      if (!b["doActionFields"].is_array()) malformed("setup.bill.doActionFields must be an array");
      for (const auto& k : b["doActionFields"]) keys.push_back(textOf(k, "doActionFields[]"));
      bill_->setDoActionFields(keys);
    }
    if (b.contains("multiCheck")) {
      const auto& m = b["multiCheck"];
      if (m.is_null()) {
        bill_->clearMultiCheck();
      } else {
        onlyKeys(m, {"isRun", "exists"}, "setup.bill.multiCheck");
        bill_->setMultiCheck(boolOf(member(m, "isRun", "multiCheck"), "isRun"),
                             boolOf(member(m, "exists", "multiCheck"), "exists"));
      }
    }
    if (b.contains("activeControl")) {
      const auto& a = b["activeControl"];
      if (a.is_null()) {
        bill_->clearActiveControl();
      } else {
        onlyKeys(a, {"name", "index", "col", "row"}, "setup.bill.activeControl");
        bill_->setActiveControl(textOf(member(a, "name", "activeControl"), "name"),
                                a.contains("index") ? integerOf(a["index"], "index") : 0,
                                a.contains("col") ? integerOf(a["col"], "col") : 0,
                                a.contains("row") ? integerOf(a["row"], "row") : 0);
      }
    }
  }

  void applyList(const json& l) {
    onlyKeys(l, {"showMode", "callByCalculate", "multiCheck", "rows"}, "setup.list");
    if (l.contains("showMode")) list_->setShowMode(integerOf(l["showMode"], "list.showMode"));
    if (l.contains("callByCalculate"))
      list_->setCallByCalculate(requirePlainValue(l["callByCalculate"], "list.callByCalculate"));
    if (l.contains("multiCheck")) {
      const auto& m = l["multiCheck"];
      if (m.is_null()) {
        list_->clearMultiCheck();
      } else {
        onlyKeys(m, {"isRun", "exists"}, "setup.list.multiCheck");
        list_->setMultiCheck(boolOf(member(m, "isRun", "multiCheck"), "isRun"),
                             boolOf(member(m, "exists", "multiCheck"), "exists"));
      }
    }
    if (l.contains("rows")) {
      if (!l["rows"].is_array()) malformed("setup.list.rows must be an array");
      std::vector<ListRow> rows;
      for (const auto& r : l["rows"]) {
        if (!r.is_object()) malformed("setup.list.rows[] must be objects");
        ListRow row;
        for (const auto& [field, value] : r.items())
          row[field] = requirePlainValue(value, "setup.list.rows[]." + field);
        rows.push_back(std::move(row));
      }
      list_->setRows(std::move(rows));
    }
  }

  void observe(HostObjectBase& target, std::string name) {
    target.setEventStartObserver([this](std::string_view) {
      if (step_ && !step_->atFirstEvent) step_->atFirstEvent = snapshotCells(*bill_);
    });
    target.setEventObserver([this, name](std::string_view event, Args args, std::exception_ptr error) {
      if (!step_) return;
      json e;
      e["on"] = name;
      e["event"] = std::string(event);
      e["args"] = json::array();
      for (const auto& a : args) {
        json v = variantJson(a.value());
        if (a.isByRef()) v = json{{"byRef", v}};
        e["args"].push_back(v);
      }
      if (error) {
        automation::ErrorInfo info = automation::errorFromException(error);
        e["error"] = errorJson(info);
      }
      step_->record["events"].push_back(std::move(e));
    });
  }

  // ---------------------------------------------------------------- steps
  json runStep(const json& step, int index, std::vector<std::string>& failures) {
    if (!step.is_object()) malformed("a step is an object");
    StepContext context;
    context.record["step"] = index;
    if (step.contains("name")) context.record["name"] = textOf(step["name"], "name");
    context.record["events"] = json::array();
    step_ = &context;

    size_t messagesBefore = host_->env().messages.size();
    size_t scopesBefore = host_->env().logScopes.size();
    size_t boxesBefore = host_->platform().messageBoxes().size();
    size_t actionsBefore = bill_->doActions().size();
    size_t hostActionsBefore = host_->env().hostActions.size();
    auto callsBefore = HostCallCounter::instance().snapshot();
    auto cellsBefore = snapshotCells(*bill_);
    std::vector<std::optional<int32_t>> scopeCodesBefore;
    for (const auto& s : host_->env().logScopes) scopeCodesBefore.push_back(s.code);

    std::string action = act(step, context);
    context.record["action"] = action;
    step_ = nullptr;

    auto& env = host_->env();
    json messages = json::array();
    for (size_t i = messagesBefore; i < env.messages.size(); ++i)
      messages.push_back(messageJson(env.messages[i]));
    context.record["messages"] = messages;
    json boxes = json::array();
    const auto& allBoxes = host_->platform().messageBoxes();
    for (size_t i = boxesBefore; i < allBoxes.size(); ++i)
      boxes.push_back(
          {{"text", allBoxes[i].text}, {"title", allBoxes[i].title}, {"style", allBoxes[i].style}});
    context.record["messageBoxes"] = boxes;
    json scopes = json::array();
    for (size_t i = 0; i < env.logScopes.size(); ++i) {
      const auto& s = env.logScopes[i];
      bool isNew = i >= scopesBefore;
      bool closedNow = !isNew && s.code && !scopeCodesBefore[i];
      if (!isNew && !closedNow) continue;
      json j = {{"name", s.name}, {"handle", s.handle}};
      j["code"] = s.code ? json(*s.code) : json(nullptr);
      scopes.push_back(j);
    }
    context.record["logScopes"] = scopes;
    json actions = json::array();
    for (size_t i = actionsBefore; i < bill_->doActions().size(); ++i) {
      const auto& a = bill_->doActions()[i];
      actions.push_back({{"key", a.key}, {"row", a.row}, {"actions", a.actions}});
    }
    context.record["doActions"] = actions;
    json hostActions = json::array();
    for (size_t i = hostActionsBefore; i < env.hostActions.size(); ++i) {
      const auto& a = env.hostActions[i];
      json j = {{"component", a.component}, {"call", a.call}, {"detail", a.detail}};
      if (a.call == "DoAction") {
        j["parameters"] = a.parameterKeys;
        j["interfaceSet"] = a.interfaceSet;
        j["dataSrvSet"] = a.dataSrvSet;
      }
      hostActions.push_back(j);
    }
    context.record["hostActions"] = hostActions;
    json errors = json::array();
    for (const auto& e : context.errors) errors.push_back(errorJson(e));
    context.record["errors"] = errors;
    context.record["cancel"] = context.cancel ? json(*context.cancel) : json(nullptr);
    if (context.hasResult) context.record["result"] = variantJson(context.result);
    auto cellsAfter = snapshotCells(*bill_);
    if (context.atFirstEvent) {
      context.record["hostChanges"] = diffCells(cellsBefore, *context.atFirstEvent);
      context.record["changes"] = diffCells(*context.atFirstEvent, cellsAfter);
    } else {
      context.record["hostChanges"] = diffCells(cellsBefore, cellsAfter);
      context.record["changes"] = json::array();
    }
    context.record["hostCalls"] = callDiff(callsBefore, HostCallCounter::instance().snapshot());

    if (step.contains("expect")) {
      auto failed = checkExpectations(step["expect"], context);
      for (auto& f : failed) failures.push_back(fmt::format("{}: step {}: {}", file_, index, f));
      context.record["expectationsFailed"] = failed;
    }
    return context.record;
  }

  static bool isByRefCancel(std::string_view event, size_t index, size_t count) {
    if (event == "BeforeSave") return index == 0;
    if (event == "Change" || event == "MenuBarClick" || event == "UnMultiCheck") return index + 1 == count;
    return false;
  }

  std::string act(const json& step, StepContext& context) {
    static const std::set<std::string, std::less<>> kActions = {"bind",     "show",   "release", "event",
                                                                "setCell",  "addRow", "click",   "save",
                                                                "openList", "sql",    "locale",  "call"};
    std::string action;
    for (const auto& [key, value] : step.items()) {
      if (key == "name" || key == "expect" || key == "on" || key == "args") continue;
      if (!kActions.contains(key)) malformed(fmt::format("unknown action \"{}\"", key));
      if (!action.empty())
        malformed(fmt::format("one action per step, found \"{}\" and \"{}\"", action, key));
      action = key;
    }
    if (action.empty()) malformed("the step has no action");
    const json& arg = step[action];
    try {
      if (action == "bind") {
        std::string what = textOf(arg, "bind");
        if (what != "bill" && what != "list") malformed("bind takes \"bill\" or \"list\"");
        automation::call(plugin(), "Show",
                         what == "bill" ? automation::ObjectPtr(bill_) : automation::ObjectPtr(list_));
      } else if (action == "show") {
        automation::call(plugin(), "Show", argument(arg, "show"));
      } else if (action == "release") {
        plugin_.reset();
      } else if (action == "event") {
        raiseEvent(textOf(arg, "event"), step, context);
      } else if (action == "setCell") {
        onlyKeys(arg, {"key", "row", "value"}, "setCell");
        std::string key = textOf(member(arg, "key", "setCell"), "setCell.key");
        if (!bill_->definition(key)) malformed(fmt::format("setCell: the template has no field \"{}\"", key));
        int32_t row = arg.contains("row") ? integerOf(arg["row"], "setCell.row") : 1;
        if (row != 0 && (row < 1 || row > bill_->rowCount()))
          malformed(fmt::format("setCell: the bill has no row {}", row));
        Variant value = requirePlainValue(member(arg, "value", "setCell"), key);
        context.record["input"] = {{"key", key}, {"row", row}, {"value", variantJson(value)}};
        context.cancel = bill_->userSetCell(key, row, value);
      } else if (action == "addRow") {
        context.result = bill_->userAddRow();
        context.hasResult = true;
      } else if (action == "click") {
        click(textOf(arg, "click"), step.value("on", std::string("bill")), context);
      } else if (action == "save") {
        click(std::string(kSaveCommand), "bill", context);
      } else if (action == "openList") {
        list_->drawRows();
        for (const auto& e : list_->drawErrors()) context.errors.push_back(e.error);
      } else if (action == "sql") {
        runSql(arg, "sql");
      } else if (action == "locale") {
        applyLocale(arg);
      } else if (action == "call") {
        onlyKeys(arg, {"member", "args"}, "call");
        std::vector<Arg> args;
        std::vector<Variant> refs;
        if (arg.contains("args")) {
          if (!arg["args"].is_array()) malformed("call.args must be an array");
          refs.reserve(arg["args"].size());
          for (const auto& a : arg["args"]) {
            bool byRef = a.is_object() && a.contains("ref");
            refs.push_back(argument(byRef ? a["ref"] : a, "call.args[]"));
            args.push_back(byRef ? Arg::byRef(refs.back()) : Arg(refs.back()));
          }
        }
        context.result =
            plugin()->invoke(textOf(member(arg, "member", "call"), "call.member"), CallKind::Method, args);
        context.hasResult = true;
      }
    } catch (const automation::AutomationError& e) {
      context.errors.push_back(e.info());
    }
    return action;
  }

  /// The save command's path: MenuBarClick, then (unless cancelled) the host's own action.
  void click(const std::string& key, const std::string& on, StepContext& context) {
    if (on == "list") {
      auto tool = list_->menuBar()->tool(key);
      if (!tool) malformed(fmt::format("click: the list's menu bar has no command \"{}\"", key));
      std::vector<EventArg> args = {{Variant(automation::ObjectPtr(tool)), false}, {Variant(false), true}};
      list_->raise("MenuBarClick", args);
      context.cancel = automation::toBoolean(args[1].value);
      if (!*context.cancel) context.record["hostAction"] = key;
      return;
    }
    if (on != "bill") malformed("\"on\" is \"bill\" or \"list\"");
    if (!bill_->menuBar()->tool(key))
      malformed(fmt::format("click: the editor's menu bar has no command \"{}\"", key));
    context.cancel = bill_->userClickMenu(key);
    if (*context.cancel) return;
    context.record["hostAction"] = key;
    if (key != kSaveCommand) return;
    std::vector<EventArg> args = {{Variant(false), true}};
    bill_->raise("BeforeSave", args);
    context.cancel = automation::toBoolean(args[0].value);
    if (*context.cancel) return;
    context.record["savedBill"] = storeBill(host_->db(), *bill_);
  }

  void raiseEvent(const std::string& event, const json& step, StepContext& context) {
    std::string on = step.value("on", std::string("bill"));
    const auto& known = on == "list" ? kListEvents : kBillEvents;
    if (on != "bill" && on != "list") malformed("\"on\" is \"bill\" or \"list\"");
    if (!known.contains(event)) malformed(fmt::format("unknown event \"{}\" of the {}", event, on));
    std::vector<EventArg> args;
    if (step.contains("args")) {
      if (!step["args"].is_array()) malformed("args must be an array");
      for (const auto& a : step["args"]) {
        bool byRef = a.is_object() && a.contains("ref");
        args.push_back({argument(byRef ? a["ref"] : a, "args[]"), byRef});
      }
    }
    if (on == "list")
      list_->raise(event, args);
    else
      bill_->raise(event, args);
    for (size_t i = 0; i < args.size(); ++i)
      if (args[i].byRef && isByRefCancel(event, i, args.size()))
        context.cancel = automation::toBoolean(args[i].value);
  }

  /// An event or call argument: a plain value, or a host object of the scenario:
  /// {"definition": key}, {"cell": [key, row]}, {"dictionary": {...}}, {"vector": [...]},
  /// {"bill": true}, {"list": true}, {"menuBar": "bill"|"list"}, {"toolbar": "bill"|"list"},
  /// {"tool": key} (a command of the editor's menu bar).
  Variant argument(const json& a, std::string_view where) {
    if (auto plain = plainValue(a, where)) return *plain;
    if (!a.is_object() || a.size() != 1) malformed(fmt::format("{}: {} is not an argument", where, a.dump()));
    const std::string kind = a.begin().key();
    const json& inner = a.begin().value();
    if (kind == "definition") {
      auto d = bill_->definition(textOf(inner, where));
      if (!d) malformed(fmt::format("{}: the template has no field \"{}\"", where, inner.get<std::string>()));
      return automation::ObjectPtr(d);
    }
    if (kind == "cell") {
      if (!inner.is_array() || inner.size() != 2) malformed(fmt::format("{}: \"cell\" is [key, row]", where));
      auto c = bill_->cell(textOf(inner[0], where), integerOf(inner[1], where));
      if (!c) malformed(fmt::format("{}: no cell {} at row {}", where, inner[0].dump(), inner[1].dump()));
      return automation::ObjectPtr(c);
    }
    if (kind == "dictionary") {
      if (!inner.is_object()) malformed(fmt::format("{}: \"dictionary\" takes an object", where));
      auto d = Dictionary::create();
      for (const auto& [k, v] : inner.items()) d->set(k, argument(v, where));
      return automation::ObjectPtr(d);
    }
    if (kind == "vector") {
      if (!inner.is_array()) malformed(fmt::format("{}: \"vector\" takes an array", where));
      auto v = Vector::create();
      for (const auto& e : inner) v->add(argument(e, where));
      return automation::ObjectPtr(v);
    }
    if (kind == "bill") return automation::ObjectPtr(bill_);
    if (kind == "list") return automation::ObjectPtr(list_);
    if (kind == "menuBar")
      return textOf(inner, where) == "list" ? automation::ObjectPtr(list_->menuBar())
                                            : automation::ObjectPtr(bill_->menuBar());
    if (kind == "toolbar")
      return textOf(inner, where) == "list" ? automation::ObjectPtr(list_->toolbar())
                                            : automation::ObjectPtr(bill_->toolbar());
    if (kind == "tool") {
      auto t = bill_->menuBar()->tool(textOf(inner, where));
      if (!t) malformed(fmt::format("{}: the editor's menu bar has no command {}", where, inner.dump()));
      return automation::ObjectPtr(t);
    }
    malformed(fmt::format("{}: unknown argument kind \"{}\"", where, kind));
  }

  automation::ObjectPtr plugin() {
    if (!plugin_) plugin_ = automation::createObject(host::progid::kPlugin);
    return plugin_;
  }

  // ---------------------------------------------------------------- expectations
  std::vector<std::string> checkExpectations(const json& expect, StepContext& context) {
    onlyKeys(expect,
             {"cancel", "messages", "error", "cells", "hidden", "hiddenGrid", "totals", "result", "logScopes",
              "listTexts", "data", "hostCalls", "tools", "saved", "hostActions"},
             "expect");
    std::vector<std::string> failed;
    auto check = [&](bool ok, const std::string& what) {
      if (!ok) failed.push_back(what);
    };
    const json& r = context.record;
    if (expect.contains("cancel"))
      check(r["cancel"] == expect["cancel"],
            fmt::format("cancel: expected {}, got {}", expect["cancel"].dump(), r["cancel"].dump()));
    if (expect.contains("messages")) {
      json texts = json::array();
      for (const auto& m : r["messages"]) texts.push_back(m["text"]);
      check(texts == expect["messages"],
            fmt::format("messages: expected {}, got {}", expect["messages"].dump(), texts.dump()));
    }
    if (expect.contains("error")) {
      const json& e = expect["error"];
      if (e.is_null()) {
        check(r["errors"].empty(), fmt::format("error: expected none, got {}", r["errors"].dump()));
      } else if (r["errors"].empty()) {
        check(false, fmt::format("error: expected {}, got none", e.dump()));
      } else {
        onlyKeys(e,
                 {"number", "source", "sourceContains", "description", "descriptionContains", "sourceLines"},
                 "expect.error");
        const json& got = r["errors"][0];
        if (e.contains("number"))
          check(got["number"] == e["number"],
                fmt::format("error number: expected {}, got {}", e["number"].dump(), got["number"].dump()));
        if (e.contains("source"))
          check(got["source"] == e["source"],
                fmt::format("error source: expected {}, got {}", e["source"].dump(), got["source"].dump()));
        if (e.contains("sourceContains"))
          check(got["source"].get<std::string>().find(textOf(e["sourceContains"], "sourceContains")) !=
                    std::string::npos,
                fmt::format("error source {} lacks {}", got["source"].dump(), e["sourceContains"].dump()));
        if (e.contains("sourceLines")) {
          json lines = json::array();
          std::string s = got["source"].get<std::string>();
          size_t start = 0;
          while (true) {
            size_t end = s.find("\r\n", start);
            lines.push_back(s.substr(start, end == std::string::npos ? std::string::npos : end - start));
            if (end == std::string::npos) break;
            start = end + 2;
          }
          check(lines == e["sourceLines"], fmt::format("error source lines: expected {}, got {}",
                                                       e["sourceLines"].dump(), lines.dump()));
        }
        if (e.contains("description"))
          check(got["description"] == e["description"],
                fmt::format("error description: expected {}, got {}", e["description"].dump(),
                            got["description"].dump()));
        if (e.contains("descriptionContains"))
          check(got["description"].get<std::string>().find(
                    textOf(e["descriptionContains"], "descriptionContains")) != std::string::npos,
                fmt::format("error description {} lacks {}", got["description"].dump(),
                            e["descriptionContains"].dump()));
      }
    }
    if (expect.contains("cells")) {
      if (!expect["cells"].is_array()) malformed("expect.cells must be an array");
      for (const auto& c : expect["cells"]) {
        std::string key = textOf(member(c, "key", "expect.cells[]"), "key");
        int32_t row = c.contains("row") ? integerOf(c["row"], "row") : 1;
        auto cell = bill_->cell(key, row);
        if (!cell) malformed(fmt::format("expect.cells: no cell {} at row {}", key, row));
        json state = cellJson(*bill_, key, row);
        for (const auto& [prop, want] : c.items()) {
          if (prop == "key" || prop == "row") continue;
          if (!state.contains(prop))
            malformed(fmt::format("expect.cells: unknown cell property \"{}\"", prop));
          check(jsonMatches(state[prop], want), fmt::format("{}[{}].{}: expected {}, got {}", key, row, prop,
                                                            want.dump(), state[prop].dump()));
        }
      }
    }
    if (expect.contains("hidden")) {
      json got = bill_->hiddenFields();
      check(got == expect["hidden"],
            fmt::format("hidden: expected {}, got {}", expect["hidden"].dump(), got.dump()));
    }
    if (expect.contains("hiddenGrid")) {
      json got = bill_->hiddenGridColumns();
      check(got == expect["hiddenGrid"],
            fmt::format("hiddenGrid: expected {}, got {}", expect["hiddenGrid"].dump(), got.dump()));
    }
    if (expect.contains("totals")) {
      for (const auto& [key, want] : expect["totals"].items()) {
        json got = totalJson(*bill_, key);
        for (const auto& [prop, value] : want.items()) {
          if (!got.contains(prop))
            malformed(fmt::format("expect.totals.{}: unknown property \"{}\"", key, prop));
          check(jsonMatches(got[prop], value),
                fmt::format("total {}.{}: expected {}, got {}", key, prop, value.dump(), got[prop].dump()));
        }
      }
    }
    if (expect.contains("result"))
      check(r.contains("result") && jsonMatches(r["result"], expect["result"]),
            fmt::format("result: expected {}, got {}", expect["result"].dump(),
                        r.value("result", json()).dump()));
    if (expect.contains("logScopes")) {
      json got = json::array();
      for (const auto& s : r["logScopes"]) got.push_back({{"name", s["name"]}, {"code", s["code"]}});
      check(got == expect["logScopes"],
            fmt::format("logScopes: expected {}, got {}", expect["logScopes"].dump(), got.dump()));
    }
    if (expect.contains("listTexts")) {
      for (const auto& t : expect["listTexts"]) {
        int32_t row = integerOf(member(t, "row", "expect.listTexts[]"), "row");
        std::string column = textOf(member(t, "column", "expect.listTexts[]"), "column");
        const ListCellDraw* drawn = list_->drawnCell(row, column);
        if (!drawn) {
          check(false, fmt::format("list cell {} of row {} was not drawn", column, row));
          continue;
        }
        if (t.contains("text"))
          check(drawn->text == t["text"], fmt::format("list {}[{}]: expected {}, got \"{}\"", column, row,
                                                      t["text"].dump(), drawn->text));
        if (t.contains("continueRaise"))
          check(
              drawn->continueRaise == t["continueRaise"],
              fmt::format("list {}[{}].continueRaise: expected {}", column, row, t["continueRaise"].dump()));
      }
    }
    if (expect.contains("data")) {
      for (const auto& [key, want] : expect["data"].items()) {
        const Variant* v = bill_->data()->find(key);
        json got = v ? variantJson(*v) : json("<absent>");
        check(jsonMatches(got, want),
              fmt::format("data {}: expected {}, got {}", key, want.dump(), got.dump()));
      }
    }
    if (expect.contains("hostCalls")) {
      for (const auto& [memberName, want] : expect["hostCalls"].items()) {
        json got = r["hostCalls"].value(memberName, json(0));
        check(got == want,
              fmt::format("host calls of {}: expected {}, got {}", memberName, want.dump(), got.dump()));
      }
    }
    if (expect.contains("tools")) {
      for (const auto& [key, want] : expect["tools"].items()) {
        auto tool = bill_->menuBar()->tool(key);
        if (!tool) malformed(fmt::format("expect.tools: the menu bar has no command \"{}\"", key));
        json got = menuToolJson(tool->state());
        for (const auto& [prop, value] : want.items()) {
          if (!got.contains(prop))
            malformed(fmt::format("expect.tools.{}: unknown property \"{}\"", key, prop));
          check(got[prop] == value,
                fmt::format("tool {}.{}: expected {}, got {}", key, prop, value.dump(), got[prop].dump()));
        }
      }
    }
    if (expect.contains("hostActions")) {
      json got = json::array();
      for (const auto& a : r["hostActions"]) got.push_back({{"call", a["call"]}, {"detail", a["detail"]}});
      check(got == expect["hostActions"],
            fmt::format("hostActions: expected {}, got {}", expect["hostActions"].dump(), got.dump()));
    }
    if (expect.contains("saved"))
      check(r.contains("savedBill") == boolOf(expect["saved"], "expect.saved"),
            fmt::format("saved: expected {}", expect["saved"].dump()));
    return failed;
  }

  std::string file_;
  std::string databaseFile_;
  std::unique_ptr<SimHost> host_;
  std::shared_ptr<BillEditor> bill_;
  std::shared_ptr<BillList> list_;
  automation::ObjectPtr plugin_;
  StepContext* step_ = nullptr;
};

}  // namespace

ScenarioResult runScenario(const json& scenario, const std::string& file, const std::string& databaseFile) {
  Runner runner(file, databaseFile);
  return runner.run(scenario);
}

ScenarioResult runScenarioFile(const std::string& path) {
  std::ifstream in(path);
  if (!in) throw ScenarioError(path, 0, "cannot open the file");
  json scenario;
  try {
    scenario = json::parse(in);
  } catch (const json::parse_error& e) {
    throw ScenarioError(path, 0, fmt::format("not valid JSON: {}", e.what()));
  }
  return runScenario(scenario, path);
}

}  // namespace mto::sim
