#pragma once

#include <istream>
#include <string>
#include <string_view>
#include <vector>

namespace mto::oracle {

// The conversion oracle's data: corpus entries, the results both sides give, and the known Wine
// differences. Portable on purpose, so that the files can be checked without Wine.

/// A typed input value as the corpus writes it: "text" (a quote doubled inside), Empty, Null,
/// True, False, i:N (16-bit), l:N (32-bit), d:YYYY-MM-DD[THH:MM[:SS]] or d:SERIAL (a date), or a
/// bare number (a Double).
struct Value {
  enum class Kind { Empty, Null, Boolean, Integer, Long, Double, Date, String };
  Kind kind = Kind::Empty;
  double number = 0;  // Booleans: True is -1; dates: the serial
  std::string text;
};

/// What an entry asks of both sides.
enum class Operation {
  ToDouble,      ///< double V
  ToInteger,     ///< integer V
  ToLong,        ///< long V
  ToBoolean,     ///< boolean V
  ToText,        ///< text V
  ToDate,        ///< date V
  DateFromText,  ///< datefromstr "text"
  Format,        ///< format "pattern" V
  Compare,       ///< compare A B
  DateAdd        ///< dateadd "interval" COUNT DATE
};

struct Entry {
  int line = 0;
  /// The locales the entry runs in ("en-US", "de-DE"); every locale when empty.
  std::vector<std::string> locales;
  Operation operation = Operation::ToDouble;
  std::vector<Value> arguments;
  /// The entry as written, with single blanks between its tokens: the name a known difference uses.
  std::string key;
};

/// A result of either side: a value of the operation's type, or an error with the classic number.
struct Result {
  enum class Kind { Error, Double, Integer, Long, Boolean, Text, Date, Order };
  Kind kind = Kind::Error;
  double number = 0;  // error number, value, serial, or the order (-1, 0, 1; 2 for Null)
  std::string text;
};

/// One line's form, e.g. `R8 1234.5`, `I2 -1`, `BOOL True`, `BSTR "1,234.00"`, `DATE 46362.4375`,
/// `CMP LT`, `error 13`; `parseResult` reads it back.
std::string describe(const Result& result);
/// Reads the form `describe` writes; returns false when the text is not such a form.
bool parseResult(std::string_view text, Result& result);
/// Same kind and value; Doubles and dates within 1e-13 relative, as two correct parsers of one
/// decimal text may differ in the last bit.
bool sameResult(const Result& a, const Result& b);

/// The serial of a calendar day and time (days since 1899-12-30, time as a positive fraction).
double dateSerial(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);

/// Reads the corpus: one entry a line, `[locale,...]` in front to restrict it, `#` comments and
/// blank lines skipped. Lines that do not parse are reported in `problems` ("line N: why").
std::vector<Entry> parseCorpus(std::istream& in, std::vector<std::string>& problems);

/// An entry where Wine's oleaut32 is known to give another result than Windows'.
struct KnownDifference {
  int line = 0;
  std::string locale;
  std::string key;
  Result windows;  ///< what oleaut32 gives on Windows; the runtime must give this
  std::string reason;
  std::string source;
};

/// Reads `LOCALE | ENTRY | WINDOWS RESULT | REASON | SOURCE` lines; `#` comments and blank lines
/// skipped. Missing fields and unreadable results are reported in `problems`.
std::vector<KnownDifference> parseKnownDifferences(std::istream& in, std::vector<std::string>& problems);

/// Problems of a known-differences list against the corpus: an entry the corpus lacks (for that
/// locale), or one listed twice.
std::vector<std::string> checkKnownDifferences(const std::vector<KnownDifference>& known,
                                               const std::vector<Entry>& corpus);

}  // namespace mto::oracle
