#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "automation/object.h"
#include "automation/platform.h"
#include "journal/journal.h"

namespace mto::sim::replay {

// The journal's types, as the recorder and the replayer name them.
using journal::Journal;
using journal::JournalArg;
using journal::JournalEntry;
using journal::JournalValue;
using journal::ObjectId;

/// Sets a platform for the calling thread for its lifetime and starts and ends with the thread's
/// module state dropped, as a fresh host thread would have it: a replay starts the plug-in so, and
/// so does each recording that is to replay exactly.
class FreshThread {
 public:
  explicit FreshThread(automation::Platform& platform);
  ~FreshThread();
  FreshThread(const FreshThread&) = delete;
  FreshThread& operator=(const FreshThread&) = delete;

 private:
  automation::Platform* previous_;
};

/// Where a replay first parted from its journal.
struct Divergence {
  size_t entry = 0;         // the journal entry expected at that point (the journal's size: none left)
  std::string expected;     // that entry, described; "nothing" when the journal had no more
  std::string actual;       // what the plug-in did instead
  std::string withinEvent;  // the top-level event or plug-in member it happened in, described
};

/// A host that answers the plug-in from a journal: its objects return the journalled results,
/// write the journalled by-reference values and raise the journalled errors, and it raises the
/// journalled events and calls the journalled plug-in members in order. With `Check::Everything`
/// each call the plug-in makes is compared with the journalled one (object, member, kind,
/// arguments), and so are the by-reference values and errors it hands back from an event; the
/// first difference is kept and every later call fails, so that the plug-in unwinds. With
/// `Check::AnswersOnly` nothing is compared and a call costs an index step, which lets a benchmark
/// time the plug-in alone. A journal cut short (entries not `finished`) replays as far as it goes and
/// then diverges where it ends. One replayer serves one thread.
class Replayer {
 public:
  enum class Check { Everything, AnswersOnly };

  /// `journal` and `base` (whose locale, clock and message box the replay platform passes on) must
  /// outlive the replayer.
  Replayer(const Journal& journal, automation::Platform& base);
  ~Replayer();
  Replayer(const Replayer&) = delete;
  Replayer& operator=(const Replayer&) = delete;

  /// The platform to set for the thread while replaying: components come from the journal.
  automation::Platform& platform();
  /// Switching to `AnswersOnly` prepares every answer once (objects resolved), so that a call then
  /// reads one small record.
  void setCheck(Check check);

  /// Replays the top-level entries from `from` up to (not including) `to` against the plug-in's
  /// object: events raised to the plug-in's subscriptions, plug-in members called. Returns false
  /// once a divergence is known (then `divergence()` tells it). A plug-in's error that the journal
  /// also has is no divergence, in either mode.
  bool replay(automation::Object& plugin, size_t from, size_t to);
  /// Replays the whole journal.
  bool replay(automation::Object& plugin) { return replay(plugin, 0, journal_.entries.size()); }

  const std::optional<Divergence>& divergence() const { return divergence_; }
  /// Host calls answered so far.
  uint64_t callsAnswered() const { return answered_; }

 private:
  class Stand;
  class ReplayPlatform;
  friend class Stand;
  friend class ReplayPlatform;

  /// Replays one event or plug-in member call (`plugin` null: an event the host raised during a
  /// call, where no member of the plug-in can be called).
  void replayEntry(automation::Object* plugin, size_t index);
  automation::Variant answer(ObjectId object, std::string_view member, automation::CallKind kind,
                             automation::Args args);
  automation::ObjectPtr create(std::string_view progId);
  /// Raises the events nested in the entry just answered, up to its end.
  void replayNested(size_t end);
  /// Where the entries of the innermost event or call being replayed end (never beyond the journal).
  size_t innermostEnd() const;
  /// Checks that the next entry (below the innermost open end) exists and has this kind; records a
  /// divergence and raises when not.
  const JournalEntry& next(JournalEntry::Kind kind, const std::string& actual);
  /// What a replay expected of an entry the recording stops inside (`finished` false).
  std::string unanswered(const JournalEntry& entry) const;
  [[noreturn]] void diverge(size_t entry, std::string expected, std::string actual);
  [[noreturn]] void failDiverged() const;
  automation::Variant materialize(const JournalValue& value);
  JournalValue toJournal(const automation::Variant& value) const;
  bool sameValue(const JournalValue& journalled, const automation::Variant& actual) const;
  std::shared_ptr<Stand> stand(ObjectId object);

  /// A call's answer, ready to hand back; `plain` when the call has no error, no by-reference
  /// argument and no nested event, so that the entry itself need not be read.
  struct Answer {
    automation::Variant result;
    bool plain = false;
  };

  const Journal& journal_;
  automation::Platform& base_;
  std::vector<Answer> answers_;  // index: entry; filled for `AnswersOnly`
  std::unique_ptr<ReplayPlatform> platform_;
  Check check_ = Check::Everything;
  std::vector<std::shared_ptr<Stand>> stands_;  // index: number - 1
  size_t cursor_ = 0;
  std::vector<size_t> ends_;  // the ends of the entries being replayed, innermost last
  size_t topLevel_ = 0;       // the top-level entry being replayed
  std::optional<Divergence> divergence_;
  uint64_t answered_ = 0;
};

}  // namespace mto::sim::replay
