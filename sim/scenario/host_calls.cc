#include "sim/scenario/host_calls.h"

#include <fmt/format.h>

#include <cmath>
#include <vector>

#include "sim/scenario/trace.h"
#include "sim/scenario/values.h"

namespace mto::sim::scenario_detail {

using nlohmann::json;

json argsJson(Args args) {
  json out = json::array();
  for (const auto& a : args) {
    json v = variantJson(a.value());
    out.push_back(a.isByRef() ? json{{"byRef", v}} : v);
  }
  return out;
}

json hostCallJson(const HostCallRecord& entry) {
  static constexpr std::string_view kKinds[] = {"call", "call", "put", "putRef"};
  json args = json::array();
  for (const auto& a : entry.args) {
    json v = a.objectType.empty() ? variantJson(a.value) : json{{"object", a.objectType}};
    args.push_back(a.byRef ? json{{"byRef", v}} : v);
  }
  json j = {{"call", memberName(entry.memberId)},
            {"kind", kKinds[static_cast<size_t>(entry.kind)]},
            {"args", args}};
  if (entry.errorNumber) j["error"] = *entry.errorNumber;
  return j;
}

json argPattern(const json& p, std::string_view where) {
  if (p.is_object() && p.size() == 1) {
    const std::string& kind = p.begin().key();
    const json& inner = p.begin().value();
    if (kind == "any") return json{{"any", true}};
    if (kind == "object") return json{{"object", textOf(inner, where)}};
    if (kind == "ref") return json{{"byRef", argPattern(inner, where)}};
  }
  auto value = plainValue(p, where);
  if (!value) malformed(fmt::format("{}: {} is not an argument pattern", where, p.dump()));
  return variantJson(*value);
}

namespace {

/// Equal JSON with number types kept apart: a whole number never equals a Double.
bool sameValue(const json& got, const json& want) {
  if (got.is_number() && want.is_number())
    return got.is_number_float() == want.is_number_float() &&
           std::fabs(got.get<double>() - want.get<double>()) < 1e-9;
  if (got.type() != want.type() || got.size() != want.size()) return false;
  if (got.is_object()) {
    for (const auto& [key, value] : want.items())
      if (!got.contains(key) || !sameValue(got[key], value)) return false;
    return true;
  }
  if (got.is_array()) {
    for (size_t i = 0; i < got.size(); ++i)
      if (!sameValue(got[i], want[i])) return false;
    return true;
  }
  return got == want;
}

bool argMatches(const json& got, const json& want) {
  if (want.is_object() && want.contains("any")) return true;
  const bool gotByRef = got.is_object() && got.contains("byRef");
  if (want.is_object() && want.contains("byRef")) return gotByRef && argMatches(got["byRef"], want["byRef"]);
  return sameValue(gotByRef ? got["byRef"] : got, want);
}

/// The member named by an entry of a script list.
std::string memberOf(const json& entry, std::string_view where) {
  std::string name = textOf(member(entry, "member", where), fmt::format("{}.member", where));
  if (name.find('.') == std::string::npos)
    malformed(fmt::format("{}.member: \"{}\" is not \"Type.Member\"", where, name));
  return name;
}

/// The part of a script that says which calls it applies to: "call" (the nth) and "args".
void readWhen(const json& entry, HostFaults::Script& script, std::string_view where) {
  if (entry.contains("call")) {
    int32_t n = integerOf(entry["call"], fmt::format("{}.call", where));
    if (n < 1) malformed(fmt::format("{}.call must be 1 or more, not {}", where, n));
    script.onlyCall = static_cast<uint64_t>(n);
  }
  if (entry.contains("args")) {
    if (!entry["args"].is_array()) malformed(fmt::format("{}.args must be an array", where));
    json patterns = json::array();
    for (const auto& p : entry["args"]) patterns.push_back(argPattern(p, fmt::format("{}.args[]", where)));
    script.argsMatch = [patterns](Args args) { return argsMatch(argsJson(args), patterns); };
  }
}

}  // namespace

bool argsMatch(const json& args, const json& patterns) {
  if (patterns.size() > args.size()) {
    // Arguments left out are Missing to the callee.
    for (size_t i = args.size(); i < patterns.size(); ++i)
      if (!argMatches(json{{"missing", true}}, patterns[i])) return false;
  }
  for (size_t i = 0; i < patterns.size() && i < args.size(); ++i)
    if (!argMatches(args[i], patterns[i])) return false;
  return true;
}

CallPattern callPattern(const json& p, std::string_view where) {
  onlyKeys(p, {"call", "args", "error"}, where);
  CallPattern pattern;
  pattern.text = p;
  pattern.call = textOf(member(p, "call", where), fmt::format("{}.call", where));
  if (p.contains("args")) {
    if (!p["args"].is_array()) malformed(fmt::format("{}.args must be an array", where));
    json patterns = json::array();
    for (const auto& a : p["args"]) patterns.push_back(argPattern(a, fmt::format("{}.args[]", where)));
    pattern.args = patterns;
  }
  if (p.contains("error")) pattern.error = integerOf(p["error"], fmt::format("{}.error", where));
  return pattern;
}

bool callMatches(const json& entry, const CallPattern& pattern) {
  if (entry["call"] != pattern.call) return false;
  if (pattern.args && !argsMatch(entry["args"], *pattern.args)) return false;
  if (pattern.error && entry.value("error", json()) != *pattern.error) return false;
  return true;
}

void applyFailing(const json& list, HostFaults& faults, std::string_view where) {
  if (!list.is_array()) malformed(fmt::format("{} must be an array", where));
  const std::string entryWhere = fmt::format("{}[]", where);
  for (const auto& f : list) {
    onlyKeys(f, {"member", "number", "description", "source", "call", "args"}, entryWhere);
    HostFaults::Script script;
    automation::ErrorInfo error;
    error.number = f.contains("number") ? integerOf(f["number"], "failing.number") : 5;
    error.description = f.value("description", std::string("Simulated failure"));
    error.source = f.value("source", std::string("SimHost"));
    script.error = error;
    readWhen(f, script, entryWhere);
    faults.script(memberOf(f, entryWhere), std::move(script));
  }
}

void applyReturning(const json& list, HostFaults& faults, std::string_view where) {
  if (!list.is_array()) malformed(fmt::format("{} must be an array", where));
  const std::string entryWhere = fmt::format("{}[]", where);
  for (const auto& r : list) {
    onlyKeys(r, {"member", "value", "call", "args"}, entryWhere);
    HostFaults::Script script;
    script.result = requirePlainValue(member(r, "value", entryWhere), fmt::format("{}.value", entryWhere));
    readWhen(r, script, entryWhere);
    faults.script(memberOf(r, entryWhere), std::move(script));
  }
}

void applyRestore(const json& members, HostFaults& faults, std::string_view where) {
  std::vector<std::string> names;
  if (members.is_array())
    for (const auto& m : members) names.push_back(textOf(m, fmt::format("{}[]", where)));
  else
    names.push_back(textOf(members, where));
  for (const auto& name : names)
    if (!faults.restore(name))
      malformed(fmt::format("{}: \"{}\" has no failing or returning script", where, name));
}

}  // namespace mto::sim::scenario_detail
