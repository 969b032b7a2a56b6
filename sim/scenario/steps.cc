#include <fmt/format.h>

#include <memory>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "automation/convert.h"
#include "host/contract.h"
#include "host/events.h"
#include "sim/components/collections.h"
#include "sim/editor/bill_store.h"
#include "sim/scenario/expectations.h"
#include "sim/scenario/host_calls.h"
#include "sim/scenario/runner.h"
#include "sim/scenario/values.h"

// The steps of a scenario (docs/scenarios.md, "steps"): one action each, performed as the host
// performs it, and the trace record of what came of it.

namespace mto::sim::scenario_detail {

using nlohmann::json;

namespace {

constexpr std::string_view kSaveCommand = "mnuFileSave";

/// The entries of a Dictionary argument as an object, or the items of a Vector as an array, as the
/// event left them; nullopt for any other argument.
std::optional<json> collectionJson(const Variant& v) {
  if (!v.isObject() || !v.objectValue()) return std::nullopt;
  if (auto dict = std::dynamic_pointer_cast<Dictionary>(v.objectValue())) {
    json entries = json::object();
    for (const auto& [key, value] : dict->entries()) entries[key] = variantJson(value);
    return entries;
  }
  if (auto vector = std::dynamic_pointer_cast<Vector>(v.objectValue())) {
    json items = json::array();
    for (const auto& item : vector->items()) items.push_back(variantJson(item));
    return items;
  }
  return std::nullopt;
}

}  // namespace

void Runner::observe(HostObjectBase& target, std::string name) {
  target.setEventStartObserver([this](std::string_view) {
    if (traced_ && step_ && !step_->atFirstEvent) step_->atFirstEvent = snapshotCells(*bill_);
  });
  target.setEventObserver([this, name](std::string_view event, Args args, std::exception_ptr error) {
    if (!traced_ || !step_) return;
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

json Runner::runStep(const json& step, int index, std::vector<std::string>& failures) {
  if (!step.is_object()) malformed("a step is an object");
  StepContext context;
  context.record["step"] = index;
  if (step.contains("name")) context.record["name"] = textOf(step["name"], "name");
  context.record["events"] = json::array();
  step_ = &context;
  if (!traced_) {
    act(step, context);
    step_ = nullptr;
    return context.record;
  }

  size_t messagesBefore = host_->env().messages.size();
  size_t scopesBefore = host_->env().logScopes.size();
  size_t boxesBefore = host_->platform().messageBoxes().size();
  size_t actionsBefore = bill_->doActions().size();
  size_t hostActionsBefore = host_->env().hostActions.size();
  auto callsBefore = host_->state().calls.snapshot();
  size_t journalBefore = host_->state().journal.entries().size();
  size_t createdBefore = host_->env().created.size();
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
    boxes.push_back({{"text", allBoxes[i].text}, {"title", allBoxes[i].title}, {"style", allBoxes[i].style}});
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
      json values = json::object();
      for (size_t k = 0; k < a.parameterKeys.size() && k < a.parameterValues.size(); ++k)
        values[a.parameterKeys[k]] = variantJson(a.parameterValues[k]);
      j["parameterValues"] = values;
      j["interfaceSet"] = a.interfaceSet;
      j["dataSrvSet"] = a.dataSrvSet;
    }
    j["outcome"] = a.outcome;
    if (a.call != "DoAction") {
      json rows = json::array();
      for (const auto& r : a.stockRows)
        rows.push_back({{"itemId", r.itemId},
                        {"item", r.itemNumber},
                        {"name", r.itemName},
                        {"stock", r.stock},
                        {"place", r.stockPlace},
                        {"batch", r.batchNo},
                        {"mtoNo", r.mtoNo},
                        {"qty", r.qty},
                        {"unit", r.unit}});
      j["rows"] = rows;
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
  context.record["hostCalls"] = callDiff(callsBefore, host_->state().calls.snapshot());
  json journal = json::array();
  const auto& entries = host_->state().journal.entries();
  for (size_t i = journalBefore; i < entries.size(); ++i) journal.push_back(hostCallJson(entries[i]));
  context.record["journal"] = journal;
  context.record["created"] = std::vector<std::string>(
      env.created.begin() + static_cast<std::ptrdiff_t>(createdBefore), env.created.end());

  if (step.contains("expect")) {
    auto failed = checkExpectations(step["expect"], {context.record, *bill_, *list_});
    for (auto& f : failed) failures.push_back(fmt::format("{}: step {}: {}", file_, index, f));
    context.record["expectationsFailed"] = failed;
  }
  return context.record;
}

std::string Runner::act(const json& step, StepContext& context) {
  static const std::set<std::string, std::less<>> kActions = {
      "bind",     "show",          "release",       "event",  "setCell", "addRow",    "click",
      "save",     "openList",      "sql",           "locale", "call",    "failing",   "returning",
      "restore",  "operationMode", "activeControl", "props",  "install", "uninstall", "newBill",
      "loadBill", "copyBill",      "fillBill",      "copyRow"};
  std::string action;
  for (const auto& [key, value] : step.items()) {
    if (key == "name" || key == "expect" || key == "on" || key == "args") continue;
    if (!kActions.contains(key)) malformed(fmt::format("unknown action \"{}\"", key));
    if (!action.empty()) malformed(fmt::format("one action per step, found \"{}\" and \"{}\"", action, key));
    action = key;
  }
  if (action.empty()) malformed("the step has no action");
  const json& arg = step[action];
  try {
    if (action == "bind") {
      std::string what = textOf(arg, "bind");
      if (what != "bill" && what != "list") malformed("bind takes \"bill\" or \"list\"");
      std::vector<Arg> shown{
          Arg(what == "bill" ? automation::ObjectPtr(bill_) : automation::ObjectPtr(list_))};
      callPlugin("Show", shown);
    } else if (action == "show") {
      std::vector<Arg> shown{Arg(argument(arg, "show"))};
      callPlugin("Show", shown);
    } else if (action == "release") {
      releasePlugin();
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
      openList(arg, context);
    } else if (action == "sql") {
      runSql(arg, "sql");
    } else if (action == "locale") {
      applyLocale(arg);
    } else if (action == "failing") {
      applyFailing(arg, host_->state().faults, "failing");
    } else if (action == "returning") {
      applyReturning(arg, host_->state().faults, "returning");
    } else if (action == "restore") {
      applyRestore(arg, host_->state().faults, "restore");
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
      context.result = callPlugin(textOf(member(arg, "member", "call"), "call.member"), args);
      context.hasResult = true;
    } else if (!lifecycleStep(action, arg, context)) {
      changeHost(action, arg);
    }
  } catch (const automation::AutomationError& e) {
    context.errors.push_back(e.info());
  }
  return action;
}

void Runner::openList(const json& arg, StepContext& context) {
  const bool stored = arg.is_string() && arg.get<std::string>() == "stored";
  if (!stored && !(arg.is_boolean() && arg.get<bool>())) malformed("openList takes true or \"stored\"");
  if (stored) list_->showStoredBills();
  json columns = json::array();
  for (const auto& c : list_->columns()) columns.push_back({{"field", c.field}, {"caption", c.caption}});
  context.record["listColumns"] = columns;
  json cells = json::array();
  for (const auto& c : list_->drawRows()) cells.push_back(listCellJson(c));
  context.record["listCells"] = cells;
  for (const auto& e : list_->drawErrors()) context.errors.push_back(e.error);
}

void Runner::click(const std::string& key, const std::string& on, StepContext& context) {
  if (on == "list") {
    auto tool = list_->menuBar()->tool(key);
    if (!tool) malformed(fmt::format("click: the list's menu bar has no command \"{}\"", key));
    std::vector<Variant> args = {Variant(automation::ObjectPtr(tool)), Variant(false)};
    list_->raise(host::events::kListMenuBarClick, args);
    context.cancel = automation::toBoolean(args[*host::events::kListMenuBarClick.cancelIndex()]);
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
  std::vector<Variant> args = {Variant(false)};
  bill_->raise(host::events::kBillBeforeSave, args);
  context.cancel = automation::toBoolean(args[*host::events::kBillBeforeSave.cancelIndex()]);
  if (*context.cancel) return;
  context.record["savedBill"] = storeBill(host_->db(), *bill_);
}

void Runner::raiseEvent(const std::string& event, const json& step, StepContext& context) {
  std::string on = step.value("on", std::string("bill"));
  if (on != "bill" && on != "list" && on != "bill2" && on != "list2")
    malformed("\"on\" is \"bill\", \"list\", \"bill2\" or \"list2\"");
  const auto table = on == "list" || on == "list2"
                         ? std::span<const host::events::Event>(host::events::kListEvents)
                         : std::span<const host::events::Event>(host::events::kBillEvents);
  const host::events::Event* declared = host::events::find(table, event);
  if (!declared) malformed(fmt::format("unknown event \"{}\" of the {}", event, on));
  // Whether an argument travels by reference is the event's to say; {"ref": v} only confirms it.
  std::vector<Variant> args;
  if (step.contains("args")) {
    if (!step["args"].is_array()) malformed("args must be an array");
    for (const auto& a : step["args"]) {
      const size_t i = args.size();
      const bool markedByRef = a.is_object() && a.contains("ref");
      if (markedByRef && !(i < declared->params.size() && declared->params[i].byRef))
        malformed(fmt::format("args[{}]: {} takes it by value, not {{\"ref\": ...}}", i, event));
      args.push_back(argument(markedByRef ? a["ref"] : a, "args[]"));
    }
  }
  try {
    if (on == "list")
      list_->raise(*declared, args);
    else if (on == "bill2")
      bill2_->raise(*declared, args);
    else if (on == "list2")
      list2_->raise(*declared, args);
    else
      bill_->raise(*declared, args);
  } catch (const automation::AutomationError&) {
    // A failed event call still hands its by-reference arguments back as the handler left them.
    recordEventOutcome(*declared, args, context);
    throw;
  }
  recordEventOutcome(*declared, args, context);
}

void Runner::recordEventOutcome(const host::events::Event& declared, const std::vector<Variant>& args,
                                StepContext& context) {
  if (auto cancel = declared.cancelIndex(); cancel && *cancel < args.size())
    context.cancel = automation::toBoolean(args[*cancel]);
  json byRef = json::object();
  json objects = json::object();
  for (size_t i = 0; i < args.size() && i < declared.params.size(); ++i) {
    const std::string name(declared.params[i].name);
    if (declared.params[i].byRef) byRef[name] = variantJson(args[i]);
    if (auto entries = collectionJson(args[i])) objects[name] = *entries;
  }
  context.record["byRef"] = byRef;
  context.record["argsAfter"] = objects;
}

Variant Runner::argument(const json& a, std::string_view where) {
  return scenario_detail::argument(a, where, {bill_, list_, bill2_, list2_});
}

}  // namespace mto::sim::scenario_detail
