#include "sim/scenario/scenario.h"

#include <fmt/format.h>

#include <fstream>

#include "automation/thread_state.h"
#include "sim/scenario/runner.h"
#include "sim/scenario/values.h"

namespace mto::sim {

using nlohmann::json;

namespace {
/// A complaint quotes what the file says (a key, a value), which may hold line breaks and other
/// control characters: they are written as escapes, so that the complaint stays one line.
std::string oneLine(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    auto u = static_cast<unsigned char>(c);
    if (c == '\n')
      out += "\\n";
    else if (c == '\r')
      out += "\\r";
    else if (c == '\t')
      out += "\\t";
    else if (u < 0x20 || u == 0x7f)
      out += fmt::format("\\x{:02x}", u);
    else
      out += c;
  }
  return out;
}
}  // namespace

ScenarioError::ScenarioError(const std::string& file, int step, const std::string& what)
    : std::runtime_error(oneLine(step > 0 ? fmt::format("{}: step {}: {}", file, step, what)
                                          : fmt::format("{}: setup: {}", file, what))) {}

namespace scenario_detail {

namespace {
/// A value of the wrong JSON type that a step's own checks let through, in the one-line form of
/// the runner's other complaints (without the library's "[json.exception...]" tag).
std::string jsonFault(const json::exception& e) {
  std::string_view what = e.what();
  if (size_t tag = what.find("] "); what.starts_with("[json.exception.") && tag != std::string_view::npos)
    what.remove_prefix(tag + 2);
  return fmt::format("a value of the wrong kind: {}", what);
}
}  // namespace

ScenarioResult Runner::run(const json& scenario) {
  const uint64_t foreignExceptionsAtStart = automation::foreignExceptionCount();
  if (!scenario.is_object()) throw ScenarioError(file_, 0, "a scenario is a JSON object");
  for (const auto& [key, value] : scenario.items())
    if (key != "name" && key != "description" && key != "setup" && key != "steps")
      throw ScenarioError(file_, 0, fmt::format("unknown key \"{}\"", key));
  try {
    setup(scenario.value("setup", json::object()));
  } catch (const Malformed& e) {
    throw ScenarioError(file_, 0, e.what());
  } catch (const json::exception& e) {
    throw ScenarioError(file_, 0, jsonFault(e));
  } catch (const automation::AutomationError& e) {
    throw ScenarioError(file_, 0, "the setup failed: " + e.info().description);
  } catch (const std::exception& e) {
    throw ScenarioError(file_, 0, std::string("the setup failed: ") + e.what());
  }
  if (scenario.contains("name") && !scenario["name"].is_string())
    throw ScenarioError(file_, 0, "\"name\" must be a text");
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
    } catch (const json::exception& e) {
      throw ScenarioError(file_, index, jsonFault(e));
    }
  }
  if (uint64_t foreign = automation::foreignExceptionCount(); foreign > foreignExceptionsAtStart)
    result.failures.push_back(fmt::format(
        "{}: {} C++ exception(s) of the implementation reached the host as error 440; the last: {}", file_,
        foreign - foreignExceptionsAtStart, automation::lastForeignException()));
  if (traced_) result.trace["final"] = finalState(*host_, callsAtStart_, bill_.get(), list_.get());
  result.trace["expectationsFailed"] = result.failures.size();
  releasePlugin();
  return result;
}

}  // namespace scenario_detail

ScenarioResult runScenario(const json& scenario, const std::string& file, const std::string& databaseFile,
                           const JournalOptions& journal) {
  scenario_detail::Runner runner(file, databaseFile, true, journal);
  return runner.run(scenario);
}

void runScenarioUntraced(const json& scenario, const std::string& file) {
  scenario_detail::Runner runner(file, {}, false);
  (void)runner.run(scenario);
}

ScenarioResult runScenarioFile(const std::string& path, const JournalOptions& journal) {
  std::ifstream in(path);
  if (!in) throw ScenarioError(path, 0, "cannot open the file");
  json scenario;
  try {
    scenario = json::parse(in);
  } catch (const json::exception& e) {
    // Besides syntax errors, a number too large for a double (out_of_range 406).
    throw ScenarioError(path, 0, fmt::format("not valid JSON: {}", e.what()));
  }
  return runScenario(scenario, path, {}, journal);
}

std::string traceText(const json& trace) {
  return trace.dump(2, ' ', false, json::error_handler_t::replace);
}

}  // namespace mto::sim
