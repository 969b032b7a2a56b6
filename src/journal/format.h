#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <stdexcept>
#include <string>
#include <string_view>

#include "automation/platform.h"
#include "automation/variant.h"
#include "journal/journal.h"

// A journal as a file: JSON lines, one header line and then one line when an entry begins and one
// when it ends, written as things happen (docs/record-replay.md has the format).

namespace mto::journal {

/// The format version this build writes and the newest it reads.
inline constexpr int kFormatVersion = 1;

/// The first line of a journal file: who wrote it, when, and what the plug-in saw of its platform.
struct Header {
  int version = kFormatVersion;
  /// When the recording began, by the recording platform's clock; a replay's clock stands at it.
  automation::Date time;
  /// The locale items the plug-in was given; a replay gives the same.
  automation::Locale locale;
  uint32_t processId = 0;
  /// The plug-in's version, e.g. "0.1.0".
  std::string moduleVersion;
  /// The host that wrote the file, e.g. "mto-sim" or "com".
  std::string host;
};

/// A journal file that cannot be read, in one line naming the file, the line and what is wrong.
class JournalError : public std::runtime_error {
 public:
  /// `line` 0 names the file alone.
  JournalError(const std::string& file, size_t line, const std::string& what);
};

/// Writes a journal as it happens: the header, then each entry's begin line when it begins and its
/// end line when it ends, nested entries in between. Lines are written whole; the stream is flushed
/// after the header, after the begin line of each outermost entry (a turn of the host's) and after
/// its end line, so a recorder that dies leaves a file readable up to its last line, naming at
/// least the turn it died in, while the calls within a turn cost no flush each. Every text passes `redactSecrets`; a
/// text that is not UTF-8 is written as its bytes in hex. The stream must outlive the writer.
class Writer {
 public:
  explicit Writer(std::ostream& out) : out_(out) {}
  Writer(const Writer&) = delete;
  Writer& operator=(const Writer&) = delete;

  /// Writes the header line; call it once, first.
  void header(const Header& header);
  /// Writes the begin line of an entry whose kind, object, sink, name, call kind and arguments as
  /// passed are known; `objectType` is the type name of `entry.object` (unused for entries without
  /// one). Returns the entry's number (0, 1, ... in the order entries begin), for `end`.
  size_t begin(const JournalEntry& entry, std::string_view objectType);
  /// Writes a locale line: from the next entry on, the host gives the plug-in this locale.
  void locale(const automation::Locale& locale);
  /// Writes the end line of entry `number`: its result, the by-reference arguments' values as left
  /// and its error. Entries end innermost first.
  void end(size_t number, const JournalEntry& entry);

  /// False once a write to the stream failed (a full disk); the writer then writes nothing more.
  bool good() const;

 private:
  void line(const std::string& text, bool flush);

  std::ostream& out_;
  size_t next_ = 0;
  size_t open_ = 0;  // entries begun and not yet ended
};

/// A journal read back from a file.
struct Recording {
  Header header;
  /// The entries, with `end` rebuilt from the end lines and the object types from the values.
  Journal journal;
  /// Empty when every entry ended; otherwise one line saying where the recording stops, e.g.
  /// "the recording stops at line 812, inside entry 401 (call #3 BillCtl.GetValue get(...))". The
  /// entries still open then are not `finished`.
  std::string cut;
};

/// Reads a journal file's lines from `in`; `name` names it in errors. A file cut short (entries
/// begun and never ended, a last line cut off before its line break) is read as far as it goes and
/// says so in `cut`. Raises JournalError for anything else that is not a journal: no header, a
/// newer version, a line that is not JSON or lacks a field, entries that end out of order or
/// numbers that do not follow.
Recording readJournal(std::istream& in, const std::string& name);
/// Reads a journal file; a file that cannot be opened is a JournalError.
Recording readJournalFile(const std::string& path);

/// A Double or a Date serial as the journal writes it: the shortest decimal text that reads back
/// as the same bits, or "0x" and the 16 hex digits of its bits for an infinity or NaN.
std::string doubleText(double value);
/// The value of `doubleText`'s text; nullopt for anything else.
std::optional<double> parseDoubleText(std::string_view text);

}  // namespace mto::journal
