#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace mto::sim::tools {

/// `mto-sim replay`: replays each journal file against a fresh plug-in on a host that answers from
/// the file, and prints one line per file to `out`: "<file>: identical", or "<file>: diverges" with
/// the recorded and the actual call and the event or plug-in member it happened in on the lines
/// after it; a journal cut short ends in a divergence where it stops. A file that cannot be read
/// prints one line to `err`. With `report`, each file's lines are followed by a table of its events
/// by name, its host calls per member and its divergences. Returns 0 when every file replayed as
/// identical, 2 when a file could not be read or replayed, else 1 when one diverged.
int replayJournals(const std::vector<std::string>& files, bool report, std::ostream& out, std::ostream& err);

}  // namespace mto::sim::tools
