// Scenario replay through COM. Each scenario runs on a thread of its own with an apartment of its
// own: the in-process runner gives each scenario a fresh host, and the plug-in keeps its state per
// thread, so a new thread is what a fresh host is to the DLL. The thread serves the simulated
// host's components as COM classes while the scenario runs.

#include "test_host/replay.h"

#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <thread>

#include "automation/error.h"
#include "bridge/com_error.h"
#include "bridge/com_ptr.h"
#include "bridge/text.h"
#include "bridge/variant_convert.h"
#include "guids.h"
#include "host/contract.h"
#include "sim/scenario/scenario.h"
#include "sim/components/sim_host.h"
#include "test_host/host_objects.h"
#include "test_host/os_hooks.h"
#include "test_host/sim_objects.h"
#include "test_host/trace_compare.h"

namespace mto::testhost {

namespace {

using nlohmann::json;

constexpr size_t kDifferencesShown = 20;

/// Scenarios that cannot run through COM, by file name, with the reason.
std::optional<std::string> notRunnableThroughCom(const std::string&) { return std::nullopt; }

/// What running one scenario through COM gave.
struct Replayed {
  std::optional<json> trace;
  std::string problem;
  size_t objectsLeft = 0;
};

/// The plug-in as the simulated host creates it: the registered class, by ProgID.
automation::ObjectPtr createPlugin() {
  std::wstring progId = com::toWide(host::progid::kPlugin);
  CLSID clsid;
  com::check(CLSIDFromProgID(progId.c_str(), &clsid));
  com::ComPtr<IDispatch> plugin;
  com::check(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                              reinterpret_cast<void**>(plugin.put())));
  return com::objectFor(plugin.get());
}

Replayed replay(const std::string& file, const std::vector<std::string>& progIds) {
  Replayed outcome;
  std::thread worker([&] {
    com::ComInitialization apartment;
    if (!apartment.ok()) {
      outcome.problem = "CoInitializeEx failed";
      return;
    }
    {
      ClassRegistrations classes;
      if (!serveSimComponents(classes, progIds)) {
        outcome.problem = "the simulated host's components could not be registered";
      } else {
        ScenarioMachine machine;
        try {
          outcome.trace = sim::runScenarioFile(file).trace;
        } catch (const automation::AutomationError& e) {
          outcome.problem = "error " + std::to_string(e.number()) + ": " + e.info().description;
        } catch (const std::exception& e) {
          outcome.problem = e.what();
        }
      }
    }
  });
  worker.join();  // the plug-in's per-thread state is gone with the thread
  outcome.objectsLeft = SimObjectDispatch::alive();
  return outcome;
}

std::optional<json> readTrace(const std::filesystem::path& path, std::string& problem) {
  std::ifstream in(path);
  if (!in) {
    problem = "no native trace " + path.string();
    return std::nullopt;
  }
  try {
    return json::parse(in);
  } catch (const json::parse_error& e) {
    problem = "the native trace " + path.string() + " is not JSON: " + e.what();
    return std::nullopt;
  }
}

void printDifferences(const std::vector<TraceDifference>& differences) {
  for (size_t i = 0; i < differences.size() && i < kDifferencesShown; ++i)
    std::printf("    %s: native %s, through COM %s\n", differences[i].path.c_str(), differences[i].native.c_str(),
                differences[i].throughCom.c_str());
  if (differences.size() > kDifferencesShown)
    std::printf("    ... and %zu more\n", differences.size() - kDifferencesShown);
}

}  // namespace

int runReplay(const std::vector<std::string>& arguments) {
  std::string expectedDir;
  std::vector<std::string> files;
  for (size_t i = 0; i < arguments.size(); ++i) {
    if (arguments[i] == "--expected" && i + 1 < arguments.size())
      expectedDir = arguments[++i];
    else
      files.push_back(arguments[i]);
  }
  if (expectedDir.empty() || files.empty()) {
    std::printf("usage: mto-com-test-host replay --expected DIR FILE...\n0 passed, 1 failed\n");
    return 2;
  }

  com::ComInitialization apartment;
  if (!apartment.ok()) {
    std::printf("CoInitializeEx failed\n0 passed, 1 failed\n");
    return 1;
  }
  // The plug-in's message boxes are the scenario's: its MessageBoxW answers from the scenario's
  // platform, which records them as in process.
  HMODULE module = loadRegisteredPlugin();
  std::string problem;
  if (!module) {
    std::printf("the plug-in is not registered or its DLL does not load\n0 passed, %zu failed\n", files.size());
    return 1;
  }
  if (!hookPlatformImports(module, problem)) {
    std::printf("%s\n0 passed, %zu failed\n", problem.c_str(), files.size());
    return 1;
  }
  com::setObjectWrapper(&SimObjectDispatch::of);
  sim::setPluginFactory(&createPlugin);
  std::vector<std::string> progIds;
  try {
    progIds = simProgIds();
  } catch (const std::exception& e) {
    std::printf("the simulated host does not start: %s\n0 passed, %zu failed\n", e.what(), files.size());
    return 1;
  }

  int passed = 0;
  int failed = 0;
  for (const std::string& file : files) {
    std::string stem = std::filesystem::path(file).stem().string();
    if (auto reason = notRunnableThroughCom(stem)) {
      std::printf("NOT RUNNABLE THROUGH COM %s: %s\n", file.c_str(), reason->c_str());
      continue;
    }
    Replayed outcome = replay(file, progIds);
    std::string why;
    std::vector<TraceDifference> differences;
    if (!outcome.trace) {
      why = outcome.problem;
    } else if (auto native = readTrace(std::filesystem::path(expectedDir) / (stem + ".trace.json"), why)) {
      differences = compareTraces(*native, *outcome.trace);
      if (!differences.empty()) why = std::to_string(differences.size()) + " difference(s) from the native trace";
    }
    if (why.empty() && outcome.objectsLeft != 0)
      why = std::to_string(outcome.objectsLeft) + " simulated object(s) still held through COM after the scenario";
    if (why.empty()) {
      ++passed;
      std::printf("PASS %s\n", file.c_str());
    } else {
      ++failed;
      std::printf("FAIL %s: %s\n", file.c_str(), why.c_str());
      printDifferences(differences);
    }
    std::fflush(stdout);
  }
  std::printf("%d passed, %d failed\n", passed, failed);
  std::fflush(stdout);
  return failed == 0 ? 0 : 1;
}

}  // namespace mto::testhost
