#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "automation/error.h"
#include "automation/object.h"
#include "automation/platform.h"

namespace mto::journal {

/// An object in a journal: its number, given in the order the recorder first saw it (1, 2, ...),
/// and its run-time type name. 0 is Nothing.
using ObjectId = uint32_t;

/// A value as a journal keeps it: a plain Variant, or an object by its number. An object the host
/// did not give (one of the plug-in's own) keeps number 0 and its type name, so that the journal
/// never keeps it alive.
struct JournalValue {
  automation::Variant value;  // Empty when `isObject`
  bool isObject = false;
  ObjectId object = 0;     // with `isObject`: 0 for Nothing or an object of the plug-in
  std::string objectType;  // with `isObject`: the type name ("Nothing" for Nothing)
};

/// One argument of a journalled call or event: the value passed in and, by reference, the value the
/// callee left in it.
struct JournalArg {
  JournalValue in;
  bool byRef = false;
  JournalValue out;  // with `byRef`
};

/// What crossed between host and plug-in, in the order it happened (docs/record-replay.md):
/// - `Event`: the host raised an event of `object` to one of its subscribers (`sink`, the nth
///   subscription to that object, from 0), and the plug-in handled it;
/// - `Inbound`: the host called a member of the plug-in's object;
/// - `Call`: the plug-in called a member of a host object;
/// - `Create`: the plug-in created a component by ProgID (`name`); `result` is the new object.
/// Entries that happened during another (the plug-in's calls in an event, an event the host raised
/// during a call) follow it and end before its `end`.
struct JournalEntry {
  enum class Kind : uint8_t { Event, Inbound, Call, Create };
  Kind kind = Kind::Call;
  ObjectId object = 0;  // the raiser, callee, or 0 for Inbound and Create
  uint32_t sink = 0;    // Event only
  std::string name;     // the event, the member, or the ProgID
  automation::CallKind callKind = automation::CallKind::Method;
  std::vector<JournalArg> args;
  JournalValue result;
  std::optional<automation::ErrorInfo> error;  // the call or event failed with it
  size_t end = 0;                              // one past the last entry nested in this one
  /// False when the recording stopped before the entry ended (a journal file cut short): its
  /// result, by-reference values and error are unknown, and every later entry is nested in it.
  bool finished = true;
};

/// A plain value.
JournalValue plainValue(automation::Variant value);
/// An object by its number and type name (number 0: Nothing, or an object of the plug-in).
JournalValue objectValue(ObjectId object, std::string type);
/// An argument as passed in; a by-reference one's value afterwards is filled in later.
JournalArg passedArg(JournalValue in, bool byRef);
/// An entry about an object (0 for none) and a name, its arguments, result and end to be filled in.
JournalEntry openedEntry(JournalEntry::Kind kind, ObjectId object, std::string name,
                         automation::CallKind callKind = automation::CallKind::Method);

/// The locale the host gave the plug-in from an entry on (a host may change it during a session).
struct LocaleChange {
  size_t from = 0;  // the number of entries begun before the change
  automation::Locale locale;
};

/// Whether two locales have the same items.
bool sameLocale(const automation::Locale& a, const automation::Locale& b);

/// The entries of one recording, the type names of its objects by number and the locales the host
/// gave, in order (none: the header's throughout).
struct Journal {
  std::vector<JournalEntry> entries;
  std::vector<std::string> objectTypes;  // index: number - 1
  std::vector<LocaleChange> locales;

  /// The type name of a numbered object; "Nothing" for 0.
  const std::string& typeOf(ObjectId object) const;
};

/// One line for an entry, as a divergence report shows it: kind, object, member or event and the
/// arguments, e.g. `call #3 BillCtl.GetDataFld(#7 Dictionary, Long(1))`.
std::string describe(const Journal& journal, const JournalEntry& entry);
/// A value as `describe` shows it.
std::string describe(const JournalValue& value);

}  // namespace mto::journal
