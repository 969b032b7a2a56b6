#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

#include "sim/runtime/host_object.h"

// The host's calls as a scenario sees them (docs/scenarios.md, "calls", "failing", "returning"):
// the JSON of a journalled call, argument and call patterns, and the scripted members a setup or a
// step installs. Patterns have one meaning whether an expectation or a script reads them.

namespace mto::sim::scenario_detail {

/// Arguments as the trace shows them: each value in the Values form (an object as
/// {"object": type name}), a by-reference one as {"byRef": value}.
nlohmann::json argsJson(Args args);

/// One journal entry: {"call": "Type.Member", "kind": "call"|"put"|"putRef", "args": [...]}, plus
/// "error" (the number) when the call failed. A method and a property read are both "call": a
/// caller through IDispatch cannot tell them apart.
nlohmann::json hostCallJson(const HostCallRecord& entry);

/// An argument pattern read from the scenario text, in the form `argsMatch` compares: a value as the
/// trace writes it, {"object": type}, {"byRef": pattern} for {"ref": ...}, or {"any": true}.
/// Raises Malformed, naming `where`, for anything else.
nlohmann::json argPattern(const nlohmann::json& p, std::string_view where);

/// Whether traced arguments match patterns read by `argPattern`: each pattern against the argument
/// at its place, types strict (3 is a Long, {"integer": 3} an Integer, 2.0 a Double); fewer
/// patterns than arguments leave the rest unchecked. A plain pattern matches a by-reference
/// argument too.
bool argsMatch(const nlohmann::json& args, const nlohmann::json& patterns);

/// One call pattern of `expect.calls`: the member, optional argument patterns and error number.
struct CallPattern {
  std::string call;
  std::optional<nlohmann::json> args;
  std::optional<int32_t> error;
  nlohmann::json text;  // as written, for failure lines
};
/// Reads {"call": "Type.Member", "args": [...], "error": n}; raises Malformed naming `where`.
CallPattern callPattern(const nlohmann::json& p, std::string_view where);
/// Whether one traced journal entry matches a pattern.
bool callMatches(const nlohmann::json& entry, const CallPattern& pattern);

/// Installs the scripts of a "failing" list (setup or step): {"member", "number", "description",
/// "source", "call", "args"}. Raises Malformed naming `where`.
void applyFailing(const nlohmann::json& list, HostFaults& faults, std::string_view where);
/// Installs the scripts of a "returning" list: {"member", "value", "call", "args"}.
void applyReturning(const nlohmann::json& list, HostFaults& faults, std::string_view where);
/// Drops the scripts of the members of a "restore" action: a "Type.Member" or an array of them; a
/// member without scripts is Malformed.
void applyRestore(const nlohmann::json& members, HostFaults& faults, std::string_view where);

}  // namespace mto::sim::scenario_detail
