#pragma once

#include <iosfwd>
#include <nlohmann/json.hpp>

namespace mto::sim {

/// The built-in story of `mto-sim demo`, a scenario in the format of docs/scenarios.md.
const char* demoStory();

/// Prints a trace as a readable transcript: each step's events, the fields that changed (old and
/// new), messages, errors, cancels, and at the end the bill as a table.
int printTranscript(const nlohmann::json& trace, std::ostream& out);

}  // namespace mto::sim
