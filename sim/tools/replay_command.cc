#include "replay_command.h"

#include <fmt/format.h>

#include <algorithm>
#include <map>
#include <ostream>

#include "automation/thread_state.h"
#include "core/cls_mto_change.h"
#include "journal/format.h"
#include "sim/replay/replayer.h"

namespace mto::sim::tools {

namespace {

/// The platform of the recording as far as the journal holds it: its locale, process id and clock
/// (standing at the time the recording began). Message boxes answer OK.
class RecordedPlatform final : public automation::RegistryPlatform {
 public:
  explicit RecordedPlatform(const journal::Header& header) {
    setLocale(header.locale);
    setProcessId(header.processId);
    setNow(header.time);
  }
};

/// The summary of one file for `--report`.
void printReport(const journal::Journal& journal, const std::optional<replay::Divergence>& divergence,
                 const std::string& cut, std::ostream& out) {
  std::map<std::string, size_t> events;
  std::map<std::string, size_t> calls;
  for (const auto& e : journal.entries) {
    switch (e.kind) {
      case journal::JournalEntry::Kind::Event:
        ++events[fmt::format("{}.{}", journal.typeOf(e.object), e.name)];
        break;
      case journal::JournalEntry::Kind::Inbound:
        ++events[fmt::format("plug-in {}", e.name)];
        break;
      case journal::JournalEntry::Kind::Call:
        ++calls[fmt::format("{}.{}", journal.typeOf(e.object), e.name)];
        break;
      case journal::JournalEntry::Kind::Create:
        ++calls[fmt::format("create {}", e.name)];
        break;
    }
  }
  auto table = [&out](const char* title, const std::map<std::string, size_t>& rows) {
    size_t width = 0;
    for (const auto& [name, count] : rows) width = std::max(width, name.size());
    out << fmt::format("  {}\n", title);
    if (rows.empty()) out << "    (none)\n";
    for (const auto& [name, count] : rows) out << fmt::format("    {:<{}}  {:>6}\n", name, width, count);
  };
  table("Events and plug-in members", events);
  table("Host calls", calls);
  out << "  Divergences\n";
  out << fmt::format("    {}\n",
                     divergence ? fmt::format("1, at entry {}", divergence->entry) : std::string("0"));
  if (!cut.empty()) out << fmt::format("    {}\n", cut);
}

}  // namespace

int replayJournals(const std::vector<std::string>& files, bool report, std::ostream& out, std::ostream& err) {
  int status = 0;
  for (const auto& file : files) {
    journal::Recording recording;
    try {
      recording = journal::readJournalFile(file);
    } catch (const journal::JournalError& e) {
      err << e.what() << "\n";
      status = 2;
      continue;
    }
    RecordedPlatform base(recording.header);
    replay::Replayer replayer(recording.journal, base);
    try {
      replay::FreshThread scope(replayer.platform());
      auto plugin = core::clsMTOChange::create();
      replayer.replay(*plugin);
    } catch (const std::exception& e) {
      // The journal read but the replaying host could not stand it up (an event on an object the
      // plug-in never subscribed to is a divergence, not this).
      err << fmt::format("{}: the replay stopped: {}\n", file, e.what());
      status = 2;
      continue;
    }
    const auto& divergence = replayer.divergence();
    if (!divergence && !recording.cut.empty()) {
      // Every entry ended but the line after the last one is cut off: the recording went on.
      status = std::max(status, 1);
      out << fmt::format("{}: the journal ends here: {}\n", file, recording.cut);
    } else if (!divergence) {
      out << fmt::format("{}: identical ({} entries, {} host calls answered)\n", file,
                         recording.journal.entries.size(), replayer.callsAnswered());
    } else {
      status = std::max(status, 1);
      out << fmt::format("{}: diverges at entry {}\n", file, divergence->entry);
      out << fmt::format("  in:       {}\n", divergence->withinEvent);
      out << fmt::format("  recorded: {}\n", divergence->expected);
      out << fmt::format("  actual:   {}\n", divergence->actual);
      if (!recording.cut.empty()) out << fmt::format("  note:     {}\n", recording.cut);
    }
    if (report) printReport(recording.journal, divergence, recording.cut, out);
  }
  return status;
}

}  // namespace mto::sim::tools
