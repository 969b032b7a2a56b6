#include "sim/scenario/expectations.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <initializer_list>
#include <string_view>

#include "sim/scenario/host_calls.h"
#include "sim/scenario/trace.h"
#include "sim/scenario/values.h"

namespace mto::sim::scenario_detail {

using nlohmann::json;

namespace {

/// The failed expectations of one step, in the order they were found.
struct Failures {
  std::vector<std::string> lines;
  /// Keeps `what` when `ok` is false.
  void check(bool ok, const std::string& what) {
    if (!ok) lines.push_back(what);
  }
};

/// Checks the value `want` of one key against the step; adds a line per mismatch, raises Malformed
/// for a malformed value.
using Checker = void (*)(const json& want, const ExpectationSubject& subject, Failures& failures);

/// Checks states of commands of a menu bar; a command the bar lacks fails the check.
void checkMenuTools(const MenuBar& bar, const json& want, std::string_view key, Failures& f) {
  if (!want.is_object()) malformed(fmt::format("expect.{} must be an object of commands", key));
  for (const auto& [name, properties] : want.items())
    onlyKeys(properties, {"name", "caption", "enabled", "visible", "beginGroup", "imageIndex"},
             fmt::format("expect.{}.{}", key, name));
  for (const auto& [name, properties] : want.items()) {
    auto tool = bar.tool(name);
    if (!tool) {
      f.check(false, fmt::format("{}: the menu bar has no command \"{}\"", key, name));
      continue;
    }
    json got = menuToolJson(tool->state());
    for (const auto& [prop, value] : properties.items())
      f.check(got[prop] == value,
              fmt::format("tool {}.{}: expected {}, got {}", name, prop, value.dump(), got[prop].dump()));
  }
}

/// Raises Malformed unless `want` is an array whose entries are texts (when `textsAllowed`) or
/// objects naming only `allowed` fields; `where` names it ("expect.messages").
void requireEntries(const json& want, std::string_view where, bool textsAllowed,
                    std::initializer_list<std::string_view> allowed) {
  if (!want.is_array()) malformed(fmt::format("{} must be an array", where));
  for (size_t i = 0; i < want.size(); ++i) {
    if (textsAllowed && want[i].is_string()) continue;
    if (!want[i].is_object())
      malformed(fmt::format("{}[{}] must be {}an object", where, i, textsAllowed ? "a text or " : ""));
    onlyKeys(want[i], allowed, fmt::format("{}[{}]", where, i));
  }
}

/// The got entry `got` (a flat object of fields) as the expected entry at `index` reads it: its
/// "text" when that entry is a text (or there is none), else the fields that entry names (null for
/// a field the got entry lacks).
json entryAsExpected(const json& got, const json& want, size_t index) {
  if (index >= want.size() || want[index].is_string()) return got["text"];
  json view = json::object();
  for (const auto& [key, value] : want[index].items()) view[key] = got.value(key, json());
  return view;
}

/// A traced host action as the expected entry at `index` reads it: "call" and "detail", plus the
/// "component", "interfaceSet", "dataSrvSet", "outcome", "parameters", "parameterValues" and "rows"
/// that entry names; "parameters" as an array are the keys in order, as an object (or
/// "parameterValues") the keys with their values; "rows" are the window's rows, each with the fields
/// its expected row names.
json hostActionAsExpected(const json& action, const json& want, size_t index) {
  json view = {{"call", action["call"]}, {"detail", action["detail"]}};
  if (index >= want.size()) return view;
  const json& w = want[index];
  for (const char* key : {"component", "interfaceSet", "dataSrvSet", "outcome", "parameterValues"})
    if (w.contains(key)) view[key] = action.value(key, json());
  if (w.contains("parameters"))
    view["parameters"] = action.value(w["parameters"].is_object() ? "parameterValues" : "parameters", json());
  if (w.contains("rows")) {
    // The window's rows, as many as expected, each with the fields its expected row names.
    json rows = json::array();
    for (const auto& row : action.value("rows", json::array())) rows.push_back(entryAsExpected(row, w["rows"], rows.size()));
    view["rows"] = rows;
  }
  return view;
}

void cancel(const json& want, const ExpectationSubject& s, Failures& f) {
  const json& got = s.record["cancel"];
  f.check(got == want, fmt::format("cancel: expected {}, got {}", want.dump(), got.dump()));
}

void messages(const json& want, const ExpectationSubject& s, Failures& f) {
  requireEntries(want, "expect.messages", true, {"kind", "text", "number", "source", "description"});
  for (size_t i = 0; i < want.size(); ++i)
    if (want[i].is_object() && want[i].contains("kind") && want[i]["kind"] != "message" &&
        want[i]["kind"] != "error")
      malformed(fmt::format("expect.messages[{}].kind is \"message\" or \"error\", not {}", i,
                            want[i]["kind"].dump()));
  json got = json::array();
  for (const auto& m : s.record["messages"]) {
    // An error's fields sit beside the kind and text, as an expected entry names them.
    json flat = {{"kind", m["kind"]}, {"text", m["text"]}};
    if (m.contains("error"))
      for (const char* field : {"number", "source", "description"}) flat[field] = m["error"][field];
    got.push_back(entryAsExpected(flat, want, got.size()));
  }
  f.check(got == want, fmt::format("messages: expected {}, got {}", want.dump(), got.dump()));
}

/// The source's lines as split at CR LF.
json sourceLines(const std::string& s) {
  json lines = json::array();
  size_t start = 0;
  while (true) {
    size_t end = s.find("\r\n", start);
    lines.push_back(s.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) break;
    start = end + 2;
  }
  return lines;
}

void error(const json& e, const ExpectationSubject& s, Failures& f) {
  const json& errors = s.record["errors"];
  if (e.is_null()) {
    f.check(errors.empty(), fmt::format("error: expected none, got {}", errors.dump()));
    return;
  }
  if (errors.empty()) {
    f.check(false, fmt::format("error: expected {}, got none", e.dump()));
    return;
  }
  onlyKeys(e, {"number", "source", "sourceContains", "description", "descriptionContains", "sourceLines"},
           "expect.error");
  const json& got = errors[0];
  if (e.contains("number"))
    f.check(got["number"] == e["number"],
            fmt::format("error number: expected {}, got {}", e["number"].dump(), got["number"].dump()));
  if (e.contains("source"))
    f.check(got["source"] == e["source"],
            fmt::format("error source: expected {}, got {}", e["source"].dump(), got["source"].dump()));
  if (e.contains("sourceContains"))
    f.check(got["source"].get<std::string>().find(textOf(e["sourceContains"], "sourceContains")) !=
                std::string::npos,
            fmt::format("error source {} lacks {}", got["source"].dump(), e["sourceContains"].dump()));
  if (e.contains("sourceLines")) {
    json lines = sourceLines(got["source"].get<std::string>());
    f.check(lines == e["sourceLines"],
            fmt::format("error source lines: expected {}, got {}", e["sourceLines"].dump(), lines.dump()));
  }
  if (e.contains("description"))
    f.check(got["description"] == e["description"],
            fmt::format("error description: expected {}, got {}", e["description"].dump(),
                        got["description"].dump()));
  if (e.contains("descriptionContains"))
    f.check(got["description"].get<std::string>().find(
                textOf(e["descriptionContains"], "descriptionContains")) != std::string::npos,
            fmt::format("error description {} lacks {}", got["description"].dump(),
                        e["descriptionContains"].dump()));
}

void cells(const json& want, const ExpectationSubject& s, Failures& f) {
  if (!want.is_array()) malformed("expect.cells must be an array");
  for (const auto& c : want) {
    std::string key = textOf(member(c, "key", "expect.cells[]"), "key");
    int32_t row = c.contains("row") ? integerOf(c["row"], "row") : 1;
    auto cell = s.bill.cell(key, row);
    if (!cell) malformed(fmt::format("expect.cells: no cell {} at row {}", key, row));
    json state = cellJson(s.bill, key, row);
    for (const auto& [prop, value] : c.items()) {
      if (prop == "key" || prop == "row") continue;
      if (!state.contains(prop)) malformed(fmt::format("expect.cells: unknown cell property \"{}\"", prop));
      f.check(jsonMatches(state[prop], value), fmt::format("{}[{}].{}: expected {}, got {}", key, row, prop,
                                                           value.dump(), state[prop].dump()));
    }
  }
}

void hidden(const json& want, const ExpectationSubject& s, Failures& f) {
  json got = s.bill.hiddenFields();
  f.check(got == want, fmt::format("hidden: expected {}, got {}", want.dump(), got.dump()));
}

void hiddenGrid(const json& want, const ExpectationSubject& s, Failures& f) {
  json got = s.bill.hiddenGridColumns();
  f.check(got == want, fmt::format("hiddenGrid: expected {}, got {}", want.dump(), got.dump()));
}

void totals(const json& want, const ExpectationSubject& s, Failures& f) {
  for (const auto& [key, properties] : want.items()) {
    json got = totalJson(s.bill, key);
    for (const auto& [prop, value] : properties.items()) {
      if (!got.contains(prop)) malformed(fmt::format("expect.totals.{}: unknown property \"{}\"", key, prop));
      f.check(jsonMatches(got[prop], value),
              fmt::format("total {}.{}: expected {}, got {}", key, prop, value.dump(), got[prop].dump()));
    }
  }
}

void result(const json& want, const ExpectationSubject& s, Failures& f) {
  const json& r = s.record;
  f.check(r.contains("result") && jsonMatches(r["result"], want),
          fmt::format("result: expected {}, got {}", want.dump(), r.value("result", json()).dump()));
}

void logScopes(const json& want, const ExpectationSubject& s, Failures& f) {
  json got = json::array();
  for (const auto& scope : s.record["logScopes"])
    got.push_back({{"name", scope["name"]}, {"code", scope["code"]}});
  f.check(got == want, fmt::format("logScopes: expected {}, got {}", want.dump(), got.dump()));
}

void listTexts(const json& want, const ExpectationSubject& s, Failures& f) {
  for (const auto& t : want) {
    int32_t row = integerOf(member(t, "row", "expect.listTexts[]"), "row");
    std::string column = textOf(member(t, "column", "expect.listTexts[]"), "column");
    const ListCellDraw* drawn = s.list.drawnCell(row, column);
    if (!drawn) {
      f.check(false, fmt::format("list cell {} of row {} was not drawn", column, row));
      continue;
    }
    if (t.contains("text"))
      f.check(drawn->text == t["text"], fmt::format("list {}[{}]: expected {}, got \"{}\"", column, row,
                                                    t["text"].dump(), drawn->text));
    if (t.contains("continueRaise"))
      f.check(drawn->continueRaise == t["continueRaise"],
              fmt::format("list {}[{}].continueRaise: expected {}", column, row, t["continueRaise"].dump()));
  }
}

void data(const json& want, const ExpectationSubject& s, Failures& f) {
  for (const auto& [key, value] : want.items()) {
    const Variant* v = s.bill.data()->find(key);
    json got = v ? variantJson(*v) : json("<absent>");
    f.check(jsonMatches(got, value),
            fmt::format("data {}: expected {}, got {}", key, value.dump(), got.dump()));
  }
}

void hostCalls(const json& want, const ExpectationSubject& s, Failures& f) {
  for (const auto& [memberName, count] : want.items()) {
    json got = s.record["hostCalls"].value(memberName, json(0));
    f.check(got == count,
            fmt::format("host calls of {}: expected {}, got {}", memberName, count.dump(), got.dump()));
  }
}

void tools(const json& want, const ExpectationSubject& s, Failures& f) {
  checkMenuTools(*s.bill.menuBar(), want, "tools", f);
}

void hostActions(const json& want, const ExpectationSubject& s, Failures& f) {
  requireEntries(want, "expect.hostActions", false,
                 {"call", "detail", "component", "interfaceSet", "dataSrvSet", "parameters", "parameterValues",
                  "outcome", "rows"});
  for (const auto& w : want)
    if (w.contains("parameters") && !w["parameters"].is_array() && !w["parameters"].is_object())
      malformed("expect.hostActions[].parameters must be an array of keys or an object of values");
  json got = json::array();
  for (const auto& a : s.record["hostActions"]) got.push_back(hostActionAsExpected(a, want, got.size()));
  f.check(got == want, fmt::format("hostActions: expected {}, got {}", want.dump(), got.dump()));
}

void saved(const json& want, const ExpectationSubject& s, Failures& f) {
  f.check(s.record.contains("savedBill") == boolOf(want, "expect.saved"),
          fmt::format("saved: expected {}", want.dump()));
}

/// The step's host calls against call patterns: an array is an ordered subsequence of the journal;
/// {"exact": true, "calls": [...]} is the whole journal, call for call.
void calls(const json& want, const ExpectationSubject& s, Failures& f) {
  const json* list = &want;
  bool exact = false;
  if (want.is_object()) {
    onlyKeys(want, {"exact", "calls"}, "expect.calls");
    exact = want.contains("exact") && boolOf(want["exact"], "expect.calls.exact");
    list = &member(want, "calls", "expect.calls");
  }
  if (!list->is_array())
    malformed("expect.calls must be an array of call patterns, or {\"exact\": true, \"calls\": [...]}");
  std::vector<CallPattern> patterns;
  for (const auto& p : *list) patterns.push_back(callPattern(p, "expect.calls[]"));
  const json& journal = s.record["journal"];
  // The calls of a member in the step, so that a failure line shows what came instead.
  auto callsOf = [&](const std::string& name) {
    json of = json::array();
    for (const auto& entry : journal)
      if (entry["call"] == name) of.push_back(entry);
    return of;
  };
  if (exact) {
    f.check(journal.size() == patterns.size(),
            fmt::format("calls: expected exactly {} calls, got {}", patterns.size(), journal.size()));
    for (size_t i = 0; i < patterns.size() && i < journal.size(); ++i)
      f.check(callMatches(journal[i], patterns[i]),
              fmt::format("calls[{}]: expected {}, got {}", i, patterns[i].text.dump(), journal[i].dump()));
    return;
  }
  size_t at = 0;
  for (size_t i = 0; i < patterns.size(); ++i) {
    while (at < journal.size() && !callMatches(journal[at], patterns[i])) ++at;
    if (at == journal.size()) {
      f.check(false,
              fmt::format("calls[{}]: no call {} in order; the step's calls of {}: {}", i,
                          patterns[i].text.dump(), patterns[i].call, callsOf(patterns[i].call).dump()));
      return;
    }
    ++at;
  }
}

void created(const json& want, const ExpectationSubject& s, Failures& f) {
  if (!want.is_array()) malformed("expect.created must be an array of ProgIDs");
  const json& got = s.record["created"];
  f.check(got == want, fmt::format("created: expected {}, got {}", want.dump(), got.dump()));
}

// --- Message boxes, by-reference arguments, argument objects, toolbars and the list's menu bar.

void messageBoxes(const json& want, const ExpectationSubject& s, Failures& f) {
  requireEntries(want, "expect.messageBoxes", true, {"text", "title", "style"});
  json got = json::array();
  for (const auto& box : s.record["messageBoxes"]) got.push_back(entryAsExpected(box, want, got.size()));
  f.check(got == want, fmt::format("messageBoxes: expected {}, got {}", want.dump(), got.dump()));
}

void byRef(const json& want, const ExpectationSubject& s, Failures& f) {
  if (!want.is_object()) malformed("expect.byRef must be an object");
  if (!s.record.contains("byRef")) malformed("expect.byRef needs an event step");
  const json& got = s.record["byRef"];
  for (const auto& [name, value] : want.items()) {
    if (!got.contains(name))
      malformed(fmt::format("expect.byRef: the event passed no by-reference argument \"{}\"", name));
    f.check(jsonMatches(got[name], value),
            fmt::format("byRef {}: expected {}, got {}", name, value.dump(), got[name].dump()));
  }
}

void argsAfter(const json& want, const ExpectationSubject& s, Failures& f) {
  if (!want.is_object()) malformed("expect.argsAfter must be an object");
  if (!s.record.contains("argsAfter")) malformed("expect.argsAfter needs an event step");
  const json& got = s.record["argsAfter"];
  for (const auto& [name, value] : want.items()) {
    if (!got.contains(name))
      malformed(fmt::format("expect.argsAfter: the event passed no Dictionary or Vector \"{}\"", name));
    const json& object = got[name];
    if (object.is_array() || !value.is_object()) {
      f.check(object == value,
              fmt::format("argsAfter {}: expected {}, got {}", name, value.dump(), object.dump()));
      continue;
    }
    for (const auto& [key, entry] : value.items()) {
      json now = object.value(key, json("<absent>"));
      f.check(jsonMatches(now, entry),
              fmt::format("argsAfter {}.{}: expected {}, got {}", name, key, entry.dump(), now.dump()));
    }
  }
}

/// Checks the bands of a toolbar control: each named band's tools, in order, exactly.
void checkToolbar(const Toolbar& control, const json& want, std::string_view key, Failures& f) {
  if (!want.is_object()) malformed(fmt::format("expect.{} must be an object of bands", key));
  for (const auto& [bandName, wanted] : want.items())
    requireEntries(wanted, fmt::format("expect.{}.{}", key, bandName), true,
                   {"name", "id", "caption", "description", "category", "beginGroup", "enabled", "visible",
                    "separator"});
  const json bands = toolbarJson(control);
  for (const auto& [bandName, wanted] : want.items()) {
    const std::string& name = bandName;  // clang 14 cannot capture a structured binding
    auto band = std::find_if(bands.begin(), bands.end(), [&](const json& b) { return b["name"] == name; });
    if (band == bands.end()) {
      f.check(false, fmt::format("{}: no band \"{}\"", key, bandName));
      continue;
    }
    json got = json::array();
    for (const auto& state : (*band)["tools"]) {
      const size_t i = got.size();
      if (i < wanted.size() && wanted[i].is_object()) {
        json view = json::object();
        for (const auto& [prop, value] : wanted[i].items()) view[prop] = state[prop];
        got.push_back(view);
      } else {
        got.push_back(state["separator"].get<bool>() ? json("-") : state["name"]);
      }
    }
    f.check(got == wanted,
            fmt::format("{}.{}: expected {}, got {}", key, bandName, wanted.dump(), got.dump()));
  }
}

void toolbar(const json& want, const ExpectationSubject& s, Failures& f) {
  checkToolbar(*s.bill.toolbar(), want, "toolbar", f);
}

void listToolbar(const json& want, const ExpectationSubject& s, Failures& f) {
  checkToolbar(*s.list.toolbar(), want, "listToolbar", f);
}

void listTools(const json& want, const ExpectationSubject& s, Failures& f) {
  checkMenuTools(*s.list.menuBar(), want, "listTools", f);
}

struct Expectation {
  std::string_view key;
  Checker check;
};

/// Every expectation key; a step's failures come in this order.
constexpr std::array<Expectation, 23> kExpectations = {{
    {"cancel", cancel},       {"messages", messages},
    {"error", error},         {"cells", cells},
    {"hidden", hidden},       {"hiddenGrid", hiddenGrid},
    {"totals", totals},       {"result", result},
    {"logScopes", logScopes}, {"listTexts", listTexts},
    {"data", data},           {"hostCalls", hostCalls},
    {"tools", tools},         {"hostActions", hostActions},
    {"saved", saved},         {"calls", calls},
    {"created", created},     {"messageBoxes", messageBoxes},
    {"byRef", byRef},         {"argsAfter", argsAfter},
    {"toolbar", toolbar},     {"listToolbar", listToolbar},
    {"listTools", listTools},
}};

bool isExpectationKey(std::string_view key) {
  for (const auto& e : kExpectations)
    if (e.key == key) return true;
  return false;
}

}  // namespace

std::vector<std::string> checkExpectations(const json& expect, const ExpectationSubject& subject) {
  if (!expect.is_object()) malformed("expect must be an object");
  for (const auto& [key, value] : expect.items())
    if (!isExpectationKey(key)) malformed(fmt::format("expect has an unknown key \"{}\"", key));
  Failures failures;
  for (const auto& e : kExpectations)
    if (auto it = expect.find(e.key); it != expect.end()) e.check(*it, subject, failures);
  return failures.lines;
}

}  // namespace mto::sim::scenario_detail
