#pragma once

#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>
#include <vector>

namespace mto::sim {

/// A scenario that cannot be run as written: names the file, the step (0 for the setup) and what
/// is wrong, in one line.
class ScenarioError : public std::runtime_error {
 public:
  ScenarioError(const std::string& file, int step, const std::string& what);
};

/// Where a run journals the plug-in (docs/record-replay.md): with a `directory`, each plug-in
/// instance the run creates is recorded into "<scenario stem>.<n>.jsonl" there (n from 1);
/// without, nothing is recorded and nothing of the recorder is in the way.
struct JournalOptions {
  std::string directory;
  /// The plug-in's version, for the journal's header.
  std::string moduleVersion;
};

/// What running one scenario gave: its trace and the expectations that failed (one line each).
struct ScenarioResult {
  nlohmann::json trace;
  std::vector<std::string> failures;
};

/// Runs a scenario (the JSON format of docs/scenarios.md) on a fresh simulated host, over a new
/// in-memory database or, given `databaseFile`, over that file (created with the demo data when
/// missing). `file` names the scenario in errors and failures. Raises ScenarioError for a malformed
/// scenario; the plug-in's own errors are part of the trace.
ScenarioResult runScenario(const nlohmann::json& scenario, const std::string& file,
                           const std::string& databaseFile = {}, const JournalOptions& journal = {});

/// Runs a scenario for what it does alone, a good deal faster: no trace, no journal of host calls, no
/// expectation checked (the fuzz targets' way). Raises ScenarioError as `runScenario` does.
void runScenarioUntraced(const nlohmann::json& scenario, const std::string& file);

/// Reads and runs a scenario file; a file that is not JSON is a ScenarioError. A journal that
/// cannot be written raises std::runtime_error.
ScenarioResult runScenarioFile(const std::string& path, const JournalOptions& journal = {});

/// A trace as the runner writes it: indented by two; text the plug-in or the database produced that
/// is not UTF-8 shows its bytes as U+FFFD rather than failing the write.
std::string traceText(const nlohmann::json& trace);

}  // namespace mto::sim
