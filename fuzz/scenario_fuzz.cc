// Any bytes as a scenario file: the runner answers with one line naming what is wrong, or runs it.
// A crash, a hang, an exception of another kind, an error message spread over several lines, or a
// C++ exception of the implementation reaching the host during the run is a finding.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "automation/thread_state.h"
#include "core/cls_mto_change.h"
#include "fuzz_support.h"
#include "sim/components/sim_host.h"
#include "sim/scenario/scenario.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = [] {
    mto::sim::setPluginFactory([] { return mto::core::clsMTOChange::create(); });
    return (std::filesystem::temp_directory_path() / ("mto-fuzz-scenario-" + std::to_string(getpid()) + ".json"))
        .string();
  }();
  {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  const uint64_t foreignBefore = mto::automation::foreignExceptionCount();
  try {
    (void)mto::sim::runScenarioFile(path);
  } catch (const mto::sim::ScenarioError& e) {
    std::string_view what = e.what();
    if (what.empty() || what.find('\n') != std::string_view::npos)
      mto::fuzz::finding(std::string("a malformed scenario's message is not one line: ") + e.what());
  }
  if (mto::automation::foreignExceptionCount() != foreignBefore)
    mto::fuzz::finding("a C++ exception of the implementation reached the host: " + mto::automation::lastForeignException());
  return 0;
}
