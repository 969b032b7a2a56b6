#pragma once

#include <functional>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "automation/object.h"
#include "automation/platform.h"
#include "journal/format.h"
#include "journal/journal.h"

namespace mto::journal {

/// Records what crosses between a host and the plug-in into a `Journal`. The host's objects reach
/// the plug-in wrapped (`wrap`): every call the plug-in makes on them, every event they raise to a
/// subscriber of the plug-in and every object they answer with pass through the recorder, which
/// hands the host its own objects back unwrapped. Components the plug-in creates by ProgID go
/// through `platform()`, which the recorder also sets as the thread's platform while it hands the
/// plug-in an event or a member call. Given a writer, it also writes each entry to a journal file
/// as the entry begins and ends (the caller writes the header first). One recorder serves one
/// thread.
///
/// A wrapper holds its host object no longer than the plug-in holds the wrapper, and outliving the
/// recorder it passes calls through unrecorded; so a recording leaves the host's objects' lives as
/// they would be without it.
class Recorder {
 public:
  /// What the recorder keeps besides what it writes.
  enum class Keep {
    /// Every entry, for `journal()`: the simulated host, tests and benchmarks.
    Everything,
    /// Only the entries still open: a long recording into a file (the COM server) keeps no more
    /// than the calls in progress, and `journal()` stays empty.
    OpenEntries,
  };

  /// `host` is the platform the plug-in would otherwise use; it, and `writer` when given, must
  /// outlive the recorder. A writer that fails (a full disk) is dropped: the recorder notes it
  /// once through `host` and goes on recording in memory only as `keep` says.
  explicit Recorder(automation::Platform& host, Writer* writer = nullptr, Keep keep = Keep::Everything);
  ~Recorder();
  Recorder(const Recorder&) = delete;
  Recorder& operator=(const Recorder&) = delete;

  /// The object the plug-in is to see for a host object: the same wrapper while the plug-in holds
  /// it; null stays null.
  automation::ObjectPtr wrap(const automation::ObjectPtr& hostObject);
  /// A platform that journals the components the plug-in creates and the locale it reads, and
  /// passes everything else to the host's.
  automation::Platform& platform();

  /// Calls a member of the plug-in's object as the host would, journalled as an inbound call; host
  /// objects among the arguments are wrapped first, and by-reference ones get back what the plug-in
  /// left in them, unwrapped. Returns the plug-in's result; errors reach the caller.
  automation::Variant callPlugin(automation::Object& plugin, std::string_view member, automation::Args args);
  /// The same with arguments by value.
  automation::Variant callPlugin(automation::Object& plugin, std::string_view member,
                                 std::vector<automation::Variant> args);

  const Journal& journal() const { return journal_; }
  /// Whether entries are still being written (a writer was given and has not failed).
  bool writing() const { return writer_ != nullptr; }

 private:
  class Proxy;
  class Sink;
  class RecordingPlatform;
  struct Link;
  friend class Proxy;
  friend class Sink;
  friend class RecordingPlatform;

  /// The journal's form of a value the plug-in sees (wrapped objects by number).
  JournalValue toJournal(const automation::Variant& pluginSide) const;
  /// A value on its way to the host: wrappers replaced by their host objects.
  static automation::Variant toHost(const automation::Variant& pluginSide);
  /// A value on its way to the plug-in: host objects wrapped.
  automation::Variant toPlugin(const automation::Variant& hostSide);
  /// Hands the plug-in a turn of the host's (an event, a member call) journalled as `opened`: the
  /// thread's platform the recording one, host objects among the arguments wrapped, the by-reference
  /// values handed back unwrapped and journalled with the result and any error. Returns the turn's
  /// result as the plug-in gave it; errors reach the caller.
  automation::Variant handToPlugin(JournalEntry opened, std::string_view objectType, automation::Args args,
                                   const std::function<automation::Variant(automation::Args)>& turn);
  /// Opens an entry and returns its number (the writer's too); `close` records its end after the
  /// nested ones.
  size_t open(JournalEntry entry, std::string_view objectType);
  void close(size_t number);
  /// The entry of a number: any kept one, or an open one.
  JournalEntry& entry(size_t number);
  /// Drops the writer after a failed write, with one note.
  void checkWriter();

  automation::Platform& host_;
  Writer* writer_;
  Keep keep_;
  std::unique_ptr<RecordingPlatform> platform_;
  std::shared_ptr<Link> link_;  // cut when the recorder goes; wrappers and sinks hold it
  Journal journal_;             // with Keep::Everything
  std::vector<std::pair<size_t, JournalEntry>> openEntries_;  // with Keep::OpenEntries, innermost last
  size_t begun_ = 0;                                          // entries begun so far: the next number
  ObjectId lastNumber_ = 0;
  std::unordered_map<const automation::Object*, std::weak_ptr<Proxy>> proxies_;
};

}  // namespace mto::journal
