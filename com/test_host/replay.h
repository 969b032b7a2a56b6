#pragma once

#include <string>
#include <vector>

namespace mto::testhost {

/// `replay --expected DIR FILE...`: runs each scenario file with the simulated host's runner, the
/// plug-in being the registered DLL created through CoCreateInstance and the simulated host's
/// objects and components served over COM, and compares each trace with DIR/<name>.trace.json
/// written by the native `mto-sim run --out DIR`. Prints a line per scenario, the scenarios that
/// cannot run through COM with the reason, and "N passed, M failed". Returns 0 when none failed.
int runReplay(const std::vector<std::string>& arguments);

}  // namespace mto::testhost
