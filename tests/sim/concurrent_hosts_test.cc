// Several hosts at once, each on its own thread with its own simulated host and plug-in instance, as
// a client that opens bills in several threads does: every scenario must give on each thread the
// trace it gives alone. State that leaked between threads (the platform, the module state, the
// pending error, a host's call counts) shows up as a differing trace; under the thread sanitizer, as
// a reported race.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "core/cls_mto_change.h"
#include "sim/components/sim_host.h"
#include "sim/scenario/scenario.h"

namespace mto::testing {
namespace {

constexpr int kThreads = 8;

std::vector<std::string> scenarioFiles() {
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(MTO_SCENARIOS_DIR))
    if (entry.path().extension() == ".json") files.push_back(entry.path().string());
  std::sort(files.begin(), files.end());
  return files;
}

/// The trace of a scenario and its failed expectations, or the one line of a malformed file.
std::string outcome(const std::string& file) {
  try {
    sim::ScenarioResult result = sim::runScenarioFile(file);
    std::string text = sim::traceText(result.trace);
    for (const auto& failure : result.failures) text += "\nFAILED: " + failure;
    return text;
  } catch (const std::exception& e) {
    return std::string("ERROR: ") + e.what();
  }
}

TEST(ConcurrentHosts, EveryScenarioGivesOnEachOfEightThreadsTheTraceItGivesAlone) {
  sim::setPluginFactory([] { return core::clsMTOChange::create(); });
  const std::vector<std::string> files = scenarioFiles();
  ASSERT_GT(files.size(), 20u) << "the scenario folder moved: " << MTO_SCENARIOS_DIR;

  std::map<std::string, std::string> alone;
  for (const auto& file : files) {
    alone[file] = outcome(file);
    EXPECT_EQ(alone[file].find("\nFAILED: "), std::string::npos) << alone[file].substr(alone[file].find("\nFAILED: "));
  }

  // Each thread starts at another file, so that different scenarios overlap in time.
  std::vector<std::map<std::string, std::string>> seen(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&files, &seen, t] {
      for (size_t i = 0; i < files.size(); ++i) {
        const std::string& file = files[(i + static_cast<size_t>(t) * files.size() / kThreads) % files.size()];
        seen[t][file] = outcome(file);
      }
    });
  }
  for (auto& thread : threads) thread.join();

  for (int t = 0; t < kThreads; ++t) {
    for (const auto& file : files) {
      const std::string& got = seen[t][file];
      if (got == alone[file]) continue;
      auto [first, ignored] = std::mismatch(got.begin(), got.end(), alone[file].begin(), alone[file].end());
      size_t at = static_cast<size_t>(first - got.begin());
      size_t from = at > 200 ? at - 200 : 0;
      ADD_FAILURE() << "thread " << t << ", " << std::filesystem::path(file).filename().string()
                    << ": the trace differs from the one run alone at character " << at << ":\n  alone: "
                    << alone[file].substr(from, 400) << "\n  thread: " << got.substr(from, 400);
    }
  }
}

}  // namespace
}  // namespace mto::testing
