#pragma once

#include <functional>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "automation/object.h"
#include "automation/platform.h"
#include "journal/format.h"
#include "journal/journal.h"

namespace mto::sim::replay {

// The journal's types, as the recorder and the replayer name them.
using journal::Journal;
using journal::JournalArg;
using journal::JournalEntry;
using journal::JournalValue;
using journal::ObjectId;

/// Records what crosses between a host and the plug-in into a `Journal`. The host's objects reach
/// the plug-in wrapped (`wrap`): every call the plug-in makes on them, every event they raise to a
/// subscriber of the plug-in and every object they answer with pass through the recorder, which
/// hands the host its own objects back unwrapped. Components the plug-in creates by ProgID go
/// through `platform()`. Given a writer, it also writes each entry to a journal file as the entry
/// begins and ends (the caller writes the header first). One recorder serves one thread.
class Recorder {
 public:
  /// `host` is the platform the plug-in would otherwise use; it, and `writer` when given, must
  /// outlive the recorder.
  explicit Recorder(automation::Platform& host, journal::Writer* writer = nullptr);
  ~Recorder();
  Recorder(const Recorder&) = delete;
  Recorder& operator=(const Recorder&) = delete;

  /// The object the plug-in is to see for a host object: the same wrapper every time for the same
  /// object; null stays null.
  automation::ObjectPtr wrap(const automation::ObjectPtr& hostObject);
  /// A platform that journals the components the plug-in creates and passes everything else to the
  /// host's; set it as the thread's platform while the plug-in runs.
  automation::Platform& platform();

  /// Calls a member of the plug-in's object as the host would, journalled as an inbound call; host
  /// objects among the arguments are wrapped first, and by-reference ones get back what the plug-in
  /// left in them, unwrapped. Returns the plug-in's result; errors reach the caller.
  automation::Variant callPlugin(automation::Object& plugin, std::string_view member, automation::Args args);
  /// The same with arguments by value.
  automation::Variant callPlugin(automation::Object& plugin, std::string_view member,
                                 std::vector<automation::Variant> args);

  const Journal& journal() const { return journal_; }

 private:
  class Proxy;
  class Sink;
  class RecordingPlatform;
  friend class Proxy;
  friend class Sink;
  friend class RecordingPlatform;

  /// The journal's form of a value the plug-in sees (wrapped objects by number).
  JournalValue toJournal(const automation::Variant& pluginSide) const;
  /// A value on its way to the host: wrappers replaced by their host objects.
  automation::Variant toHost(const automation::Variant& pluginSide) const;
  /// A value on its way to the plug-in: host objects wrapped.
  automation::Variant toPlugin(const automation::Variant& hostSide);
  /// Opens an entry and returns its index; `close` records its end after the nested ones.
  size_t open(JournalEntry entry);
  void close(size_t index);

  automation::Platform& host_;
  journal::Writer* writer_;
  std::unique_ptr<RecordingPlatform> platform_;
  Journal journal_;
  std::vector<std::shared_ptr<Proxy>> proxies_;  // index: number - 1
  std::unordered_map<const automation::Object*, ObjectId> numbers_;
};

}  // namespace mto::sim::replay
