#pragma once

// The cost of the plug-in's events through COM beside their cost in process. The same bill (the
// simulated editor's sample bill) and the same events are measured twice in one process: once with
// the plug-in being the registered DLL, created through CoCreateInstance, and the simulated host's
// objects served to it over IDispatch and connection points (as the scenario replay serves them),
// once with the plug-in's core linked into this program and bound to the simulated objects directly.

#include <cstdint>
#include <string>
#include <vector>

namespace mto::testhost {

/// What `bench` measures and how often.
struct BenchOptions {
  /// Entry rows of the bill (and rows of the drawn list).
  int32_t rows = 1000;
  /// Measured iterations per event and path; 0: as many as fit a short time budget per event and
  /// path (at least a few). A warm-up iteration before them is never counted.
  int32_t iterations = 0;
  /// Whether the 20-column list is drawn too (one ListFillRow per cell).
  bool drawList = true;
};

/// One event's figures on one path. `problem` is empty when every iteration ran without error and
/// the plug-in answered as on a valid bill (no Cancel); otherwise the figures are incomplete.
struct PathFigures {
  int32_t iterations = 0;
  double medianMs = 0;
  double meanMs = 0;
  /// Host calls per event: the simulated host's count of calls its objects received, averaged over
  /// the measured iterations.
  double hostCalls = 0;
  /// Whether every measured iteration made the same number of host calls.
  bool steadyCalls = true;
  std::string problem;
};

/// One event with both paths' figures.
struct EventFigures {
  std::string event;
  int32_t rows = 0;
  PathFigures inProcess;
  PathFigures throughCom;
};

/// Runs every event on both paths, each event and path on a fresh simulated host, bill and plug-in
/// on a thread (and apartment) of its own, as the replay runs a scenario. The registered DLL must be
/// loadable; its platform imports are pointed at the simulated host's machine (os_hooks.h). Never
/// throws: a failure to start at all is returned in `problem` with no figures, a failure of one
/// event in that event's figures.
std::vector<EventFigures> runBench(const BenchOptions& options, std::string& problem);

/// `bench [--rows N] [--iterations K] [--no-list] [--json FILE]`: runs the bench, prints one table
/// (event, rows, host calls, in-process and COM time per event, COM time per host call, ratio) and
/// writes the same as JSON to FILE when asked. Returns 0 when every event ran on both paths, 1 when
/// one failed, 2 on bad arguments.
int runBenchCommand(const std::vector<std::string>& arguments);

}  // namespace mto::testhost
