#pragma once

// Comparing the trace of a scenario replayed through COM with the trace of the same scenario run in
// process by the native host simulator.

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace mto::testhost {

/// Where two traces differ: a JSON pointer, and the value on each side as JSON text ("(absent)"
/// when that side lacks it).
struct TraceDifference {
  std::string path;
  std::string native;
  std::string throughCom;
};

/// The differences between the native trace and the COM trace, in document order; none when they
/// are equal. Numbers compare by value, whatever JSON type holds them.
std::vector<TraceDifference> compareTraces(const nlohmann::json& native, const nlohmann::json& throughCom);

}  // namespace mto::testhost
