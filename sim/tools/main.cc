// The host simulator's command line: `demo` plays the built-in story, `run` runs scenario files
// (recording the plug-in into journals on request), `replay` replays journal files.

#include <fmt/format.h>

#include <CLI/CLI.hpp>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "core/cls_mto_change.h"
#include "replay_command.h"
#include "sim/components/sim_host.h"
#include "sim/scenario/demo.h"
#include "sim/scenario/scenario.h"

namespace {

int runFiles(const std::vector<std::string>& files, const std::string& outDir, bool quiet,
             const mto::sim::JournalOptions& journal) {
  int failed = 0;
  for (const auto& file : files) {
    try {
      auto result = mto::sim::runScenarioFile(file, journal);
      std::string text = mto::sim::traceText(result.trace);
      if (outDir.empty()) {
        if (!quiet) std::cout << text << "\n";
      } else {
        std::filesystem::create_directories(outDir);
        auto path =
            std::filesystem::path(outDir) / (std::filesystem::path(file).stem().string() + ".trace.json");
        std::ofstream(path) << text << "\n";
      }
      for (const auto& f : result.failures) std::cerr << f << "\n";
      if (!result.failures.empty()) ++failed;
    } catch (const mto::sim::ScenarioError& e) {
      std::cerr << e.what() << "\n";
      ++failed;
    } catch (const std::exception& e) {
      std::cerr << file << ": " << e.what() << "\n";
      ++failed;
    }
  }
  return failed == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  mto::sim::setPluginFactory([] { return mto::core::clsMTOChange::create(); });

  CLI::App app{"Simulated host of the MTO change bill plug-in"};
  app.require_subcommand(1);
  auto* demo = app.add_subcommand("demo", "Play the built-in story on a new bill and print a transcript");
  bool demoJson = false;
  std::string demoDb = "mto-demo.db";
  demo->add_flag("--json", demoJson, "Print the JSON trace instead of the transcript");
  demo->add_option("--db", demoDb, "The demo database file, created anew with the demo company's data")
      ->capture_default_str();
  auto* run = app.add_subcommand("run", "Replay scenario files; exit 1 when an expectation fails");
  std::vector<std::string> files;
  std::string outDir;
  bool quiet = false;
  run->add_option("files", files, "Scenario files")->required()->check(CLI::ExistingFile);
  run->add_option("--out", outDir, "Write one trace per file into this directory");
  run->add_flag("--quiet", quiet, "Print no trace, only failures");
  mto::sim::JournalOptions journal;
  journal.moduleVersion = MTO_VERSION;
  run->add_option("--journal", journal.directory,
                  "Record each plug-in instance into <scenario>.<n>.jsonl in this directory");
  auto* replay = app.add_subcommand(
      "replay",
      "Replay journal files against a fresh plug-in; exit 1 when one diverges, 2 when one cannot be read");
  std::vector<std::string> journals;
  bool report = false;
  replay->add_option("journals", journals, "Journal files (.jsonl)")->required();
  replay->add_flag("--report", report, "Add a summary of each journal: events, host calls, divergences");
  CLI11_PARSE(app, argc, argv);

  try {
    if (*demo) {
      std::filesystem::remove(demoDb);
      auto result = mto::sim::runScenario(nlohmann::json::parse(mto::sim::demoStory()), "demo", demoDb);
      if (!demoJson) std::cout << "Demo database: " << std::filesystem::absolute(demoDb).string() << "\n\n";
      if (demoJson)
        std::cout << mto::sim::traceText(result.trace) << "\n";
      else
        mto::sim::printTranscript(result.trace, std::cout);
      return result.failures.empty() ? 0 : 1;
    }
    if (*replay) return mto::sim::tools::replayJournals(journals, report, std::cout, std::cerr);
    return runFiles(files, outDir, quiet, journal);
  } catch (const std::exception& e) {
    std::cerr << e.what() << "\n";
    return 2;
  }
}
