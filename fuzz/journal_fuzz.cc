// Any bytes as a journal file: the reader answers with a recording, or with one line naming the line
// and what is wrong. A crash, a hang, an exception of another kind or a message over several lines
// is a finding; so is a recording whose nesting does not hold (an entry ending before its nested
// ones, or past the journal's end) or whose report line cannot be made.
#include <sstream>
#include <string>

#include "fuzz_support.h"
#include "journal/format.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  mto::journal::Recording recording;
  try {
    recording = mto::journal::readJournal(in, "fuzz.jsonl");
  } catch (const mto::journal::JournalError& e) {
    const std::string_view what = e.what();
    if (what.empty() || what.find('\n') != std::string_view::npos)
      mto::fuzz::finding(std::string("a broken journal's message is not one line: ") + e.what());
    return 0;
  }
  const auto& entries = recording.journal.entries;
  for (size_t i = 0; i < entries.size(); ++i) {
    const auto& entry = entries[i];
    if (entry.end <= i || entry.end > entries.size()) mto::fuzz::finding("an entry ends outside the journal");
    for (size_t nested = i + 1; nested < entry.end; ++nested)
      if (entries[nested].end > entry.end) mto::fuzz::finding("a nested entry ends after the entry around it");
    (void)mto::journal::describe(recording.journal, entry);
  }
  return 0;
}
