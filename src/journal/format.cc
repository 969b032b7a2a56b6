#include "journal/format.h"

#include <fmt/format.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <fstream>
#include <istream>
#include <limits>
#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>
#include <utility>
#include <vector>

#include "automation/dates.h"
#include "automation/object.h"
#include "journal/redact.h"

namespace mto::journal {

using automation::CallKind;
using automation::Variant;
using automation::VarType;
using json = nlohmann::ordered_json;

namespace {

constexpr const char* kKindNames[] = {"event", "member", "call", "create"};
constexpr const char* kCallKindNames[] = {"method", "get", "let", "set"};
/// Arrays inside arrays deeper than this are refused rather than followed.
constexpr int kMaxArrayDepth = 32;

/// One line that a complaint quotes: control characters as escapes, at most 80 bytes.
std::string shown(std::string_view text) {
  std::string out;
  for (char c : text.substr(0, 80)) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7f)
      out += fmt::format("\\x{:02x}", u);
    else
      out += c;
  }
  if (text.size() > 80) out += "...";
  return out;
}

/// Whether `text` is well-formed UTF-8 (no overlong forms, surrogates or code points past U+10FFFF).
bool isUtf8(std::string_view text) {
  size_t i = 0;
  while (i < text.size()) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      ++i;
      continue;
    }
    size_t extra = 0;
    uint32_t cp = 0;
    if (c >= 0xC2 && c <= 0xDF) {
      extra = 1;
      cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
      extra = 2;
      cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      extra = 3;
      cp = c & 0x07;
    } else {
      return false;
    }
    if (i + extra >= text.size()) return false;
    for (size_t k = 1; k <= extra; ++k) {
      const auto d = static_cast<unsigned char>(text[i + k]);
      if ((d & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (d & 0x3F);
    }
    if ((extra == 2 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) ||
        (extra == 3 && (cp < 0x10000 || cp > 0x10FFFF)))
      return false;
    i += extra + 1;
  }
  return true;
}

// --- writing

/// A text as the journal writes it, after redaction: a JSON string, or {"hex": ...} for bytes that
/// are not UTF-8.
json textJson(std::string_view raw) {
  std::string text = redactSecrets(raw);
  if (isUtf8(text)) return text;
  std::string hex;
  hex.reserve(text.size() * 2);
  for (char c : text) hex += fmt::format("{:02x}", static_cast<unsigned char>(c));
  return json{{"hex", hex}};
}

json variantJson(const Variant& v) {
  json out;
  out["t"] = std::string(automation::varTypeName(v.type()));
  switch (v.type()) {
    case VarType::Empty:
    case VarType::Null:
    case VarType::Missing:
      break;
    case VarType::Boolean:
      out["v"] = v.boolValue();
      break;
    case VarType::Integer:
      out["v"] = v.integerValue();
      break;
    case VarType::Long:
      out["v"] = v.longValue();
      break;
    case VarType::Double:
      out["v"] = doubleText(v.doubleValue());
      break;
    case VarType::Date:
      out["v"] = doubleText(v.dateValue().serial);
      break;
    case VarType::String:
      out["v"] = textJson(v.stringValue());
      break;
    case VarType::Object:
      // An object inside an array has no number: only its type name is kept.
      out["id"] = 0;
      out["type"] = textJson(v.objectValue() ? v.objectValue()->typeName() : std::string("Nothing"));
      break;
    case VarType::Array: {
      json items = json::array();
      for (const auto& item : v.arrayValue()) items.push_back(variantJson(item));
      out["v"] = std::move(items);
      break;
    }
  }
  return out;
}

json valueJson(const JournalValue& value) {
  if (!value.isObject) return variantJson(value.value);
  return json{{"t", "Object"}, {"id", value.object}, {"type", textJson(value.objectType)}};
}

json errorJson(const automation::ErrorInfo& e) {
  return json{{"number", e.number},
              {"source", textJson(e.source)},
              {"description", textJson(e.description)},
              {"helpFile", textJson(e.helpFile)},
              {"helpContext", e.helpContext}};
}

json localeJson(const automation::Locale& l) {
  json months = json::array();
  json abbreviated = json::array();
  for (const auto& m : l.monthNames) months.push_back(textJson(m));
  for (const auto& m : l.abbreviatedMonthNames) abbreviated.push_back(textJson(m));
  return json{{"dateSeparator", textJson(l.dateSeparator)},
              {"shortDatePattern", textJson(l.shortDatePattern)},
              {"timePattern", textJson(l.timePattern)},
              {"thousandsSeparator", textJson(l.thousandsSeparator)},
              {"decimalSeparator", textJson(l.decimalSeparator)},
              {"currencySymbol", textJson(l.currencySymbol)},
              {"monthNames", std::move(months)},
              {"abbreviatedMonthNames", std::move(abbreviated)}};
}

/// The header's time for a reader of the file; the serial beside it is what counts.
std::string timeText(automation::Date time) {
  try {
    return automation::formatDate(time, "yyyy-MM-dd HH:mm:ss");
  } catch (const automation::AutomationError&) {
    return "";
  }
}

// --- reading

/// What is wrong with one line; the reader adds the file and the line.
struct Bad : std::runtime_error {
  using std::runtime_error::runtime_error;
};

const json& field(const json& j, const char* key, std::string_view where) {
  auto it = j.find(key);
  if (it == j.end()) throw Bad(fmt::format("{} has no \"{}\"", where, key));
  return *it;
}

std::string text(const json& j, std::string_view where) {
  if (j.is_string()) return j.get<std::string>();
  if (j.is_object() && j.size() == 1 && j.contains("hex") && j["hex"].is_string()) {
    const std::string& hex = j["hex"].get_ref<const std::string&>();
    if (hex.size() % 2 != 0) throw Bad(fmt::format("{}: odd number of hex digits", where));
    std::string out;
    out.reserve(hex.size() / 2);
    for (size_t i = 0; i < hex.size(); i += 2) {
      unsigned byte = 0;
      auto [p, ec] = std::from_chars(hex.data() + i, hex.data() + i + 2, byte, 16);
      if (ec != std::errc() || p != hex.data() + i + 2)
        throw Bad(fmt::format("{}: \"{}\" is not hex", where, shown(hex)));
      out.push_back(static_cast<char>(byte));
    }
    return out;
  }
  throw Bad(fmt::format("{} is not a text", where));
}

int64_t integer(const json& j, int64_t low, int64_t high, std::string_view where) {
  if (!j.is_number_integer()) throw Bad(fmt::format("{} is not a whole number", where));
  if (j.is_number_unsigned() && j.get<uint64_t>() > static_cast<uint64_t>(high))
    throw Bad(fmt::format("{} is out of range", where));
  const auto n = j.get<int64_t>();
  if (n < low || n > high) throw Bad(fmt::format("{} is out of range", where));
  return n;
}

double number(const json& j, std::string_view where) {
  if (!j.is_string()) throw Bad(fmt::format("{} is not a number text", where));
  auto d = parseDoubleText(j.get_ref<const std::string&>());
  if (!d)
    throw Bad(fmt::format("{} \"{}\" is not a number text", where, shown(j.get_ref<const std::string&>())));
  return *d;
}

Variant readVariant(const json& j, std::string_view where, int depth) {
  if (!j.is_object()) throw Bad(fmt::format("{} is not a value", where));
  const std::string type = text(field(j, "t", where), where);
  auto v = [&]() -> const json& { return field(j, "v", where); };
  if (type == "Empty") return Variant();
  if (type == "Null") return Variant::null();
  if (type == "Missing") return Variant::missing();
  if (type == "Boolean") {
    if (!v().is_boolean()) throw Bad(fmt::format("{}: a Boolean is true or false", where));
    return Variant(v().get<bool>());
  }
  if (type == "Integer") return Variant(static_cast<int16_t>(integer(v(), INT16_MIN, INT16_MAX, where)));
  if (type == "Long") return Variant(static_cast<int32_t>(integer(v(), INT32_MIN, INT32_MAX, where)));
  if (type == "Double") return Variant(number(v(), where));
  if (type == "Date") return Variant(automation::Date{number(v(), where)});
  if (type == "String") return Variant(text(v(), where));
  if (type == "Object") {
    if (integer(field(j, "id", where), 0, 0, where) != 0)
      throw Bad(fmt::format("{}: an object here has no number", where));
    (void)text(field(j, "type", where), where);
    return Variant(nullptr);
  }
  if (type == "Array") {
    if (depth >= kMaxArrayDepth)
      throw Bad(fmt::format("{}: arrays nested deeper than {}", where, kMaxArrayDepth));
    if (!v().is_array()) throw Bad(fmt::format("{}: an Array's \"v\" is a list", where));
    automation::Array items;
    for (const auto& item : v()) items.push_back(readVariant(item, where, depth + 1));
    return Variant(std::move(items));
  }
  throw Bad(fmt::format("{}: unknown type \"{}\"", where, shown(type)));
}

/// Reads the lines of one file into a recording.
class Reader {
 public:
  void header(const json& j, Header& h) {
    if (!j.is_object() || !j.contains("journal"))
      throw Bad("not a journal: the first line has no \"journal\" version");
    h.version = static_cast<int>(integer(j["journal"], 1, INT32_MAX, "the version"));
    if (h.version > kFormatVersion)
      throw Bad(fmt::format("written in format version {}; this reader knows versions up to {}", h.version,
                            kFormatVersion));
    h.host = text(field(j, "host", "the header"), "the header's host");
    h.moduleVersion = text(field(j, "module", "the header"), "the header's module");
    h.processId =
        static_cast<uint32_t>(integer(field(j, "pid", "the header"), 0, UINT32_MAX, "the header's pid"));
    h.time = automation::Date{number(field(j, "time", "the header"), "the header's time")};
    locale(field(j, "locale", "the header"), h.locale);
  }

  void locale(const json& l, automation::Locale& out) {
    if (!l.is_object()) throw Bad("the locale is not an object");
    Header h;
    auto item = [&](const char* key, std::string& out) {
      out = text(field(l, key, "the locale"), fmt::format("the locale's {}", key));
    };
    item("dateSeparator", h.locale.dateSeparator);
    item("shortDatePattern", h.locale.shortDatePattern);
    item("timePattern", h.locale.timePattern);
    item("thousandsSeparator", h.locale.thousandsSeparator);
    item("decimalSeparator", h.locale.decimalSeparator);
    item("currencySymbol", h.locale.currencySymbol);
    auto months = [&](const char* key, std::array<std::string, 12>& out) {
      const json& m = field(l, key, "the locale");
      if (!m.is_array() || m.size() != 12) throw Bad(fmt::format("the locale's {} are not 12 texts", key));
      for (size_t i = 0; i < 12; ++i) out[i] = text(m[i], fmt::format("the locale's {}", key));
    };
    months("monthNames", h.locale.monthNames);
    months("abbreviatedMonthNames", h.locale.abbreviatedMonthNames);
    out = std::move(h.locale);
  }

  void line(const json& j, size_t lineNumber, Journal& journal) {
    maxObjects_ = 16 * lineNumber + 64;
    if (!j.is_object()) throw Bad("a line is a JSON object");
    if (j.contains("b")) return begin(j, lineNumber, journal);
    if (j.contains("locale")) {
      LocaleChange change;
      change.from = journal.entries.size();
      locale(j["locale"], change.locale);
      journal.locales.push_back(std::move(change));
      return;
    }
    if (j.contains("e")) return end(j, journal);
    throw Bad("a line is a header, a begin (\"b\"), an end (\"e\") or a locale");
  }

  /// Marks the entries still open as unfinished; returns the innermost one's line, or 0.
  std::optional<std::pair<size_t, size_t>> close(Journal& journal) {
    if (open_.empty()) return std::nullopt;
    for (size_t index : open_) {
      journal.entries[index].finished = false;
      journal.entries[index].end = journal.entries.size();
    }
    return std::pair(open_.back(), beganOn_[open_.back()]);
  }

 private:
  void begin(const json& j, size_t lineNumber, Journal& journal) {
    const size_t number = static_cast<size_t>(integer(j["b"], 0, INT64_MAX, "the entry number"));
    if (number != journal.entries.size())
      throw Bad(fmt::format("entry {} begins where entry {} was due", number, journal.entries.size()));
    const std::string where = fmt::format("entry {}", number);
    const std::string kind = text(field(j, "kind", where), where + "'s kind");
    JournalEntry entry;
    size_t k = 0;
    while (k < 4 && kind != kKindNames[k]) ++k;
    if (k == 4) throw Bad(fmt::format("{}: unknown kind \"{}\"", where, shown(kind)));
    entry.kind = static_cast<JournalEntry::Kind>(k);
    entry.name = text(field(j, "name", where), where + "'s name");
    if (entry.kind == JournalEntry::Kind::Event || entry.kind == JournalEntry::Kind::Call) {
      entry.object = objectNumber(field(j, "obj", where), where);
      if (entry.object == 0) throw Bad(fmt::format("{}: an event or call is on an object, not #0", where));
      learn(entry.object, text(field(j, "type", where), where + "'s type"), journal, where);
    }
    if (entry.kind == JournalEntry::Kind::Event)
      entry.sink = static_cast<uint32_t>(integer(field(j, "sink", where), 0, UINT32_MAX, where + "'s sink"));
    if (entry.kind == JournalEntry::Kind::Call) {
      const std::string call = text(field(j, "call", where), where + "'s call kind");
      size_t c = 0;
      while (c < 4 && call != kCallKindNames[c]) ++c;
      if (c == 4) throw Bad(fmt::format("{}: unknown call kind \"{}\"", where, shown(call)));
      entry.callKind = static_cast<CallKind>(c);
    }
    if (j.contains("args")) {
      if (!j["args"].is_array()) throw Bad(fmt::format("{}: \"args\" is not a list", where));
      for (const auto& a : j["args"]) {
        const std::string at = fmt::format("{}'s argument {}", where, entry.args.size() + 1);
        JournalArg arg;
        arg.in = value(a, journal, at);
        if (a.contains("ref")) {
          if (!a["ref"].is_boolean()) throw Bad(fmt::format("{}: \"ref\" is true or false", at));
          arg.byRef = a["ref"].get<bool>();
        }
        entry.args.push_back(std::move(arg));
      }
    }
    entry.end = number + 1;
    entry.finished = false;
    journal.entries.push_back(std::move(entry));
    open_.push_back(number);
    beganOn_.push_back(lineNumber);
  }

  void end(const json& j, Journal& journal) {
    const size_t number = static_cast<size_t>(integer(j["e"], 0, INT64_MAX, "the entry number"));
    if (open_.empty() || open_.back() != number) {
      if (number >= journal.entries.size()) throw Bad(fmt::format("entry {} ends but never began", number));
      if (journal.entries[number].finished) throw Bad(fmt::format("entry {} ends twice", number));
      throw Bad(
          fmt::format("entry {} ends while entry {}, begun inside it, is still open", number, open_.back()));
    }
    const std::string where = fmt::format("the end of entry {}", number);
    JournalEntry& entry = journal.entries[number];
    if (j.contains("result")) entry.result = value(j["result"], journal, where + "'s result");
    if (j.contains("out")) {
      const json& out = j["out"];
      if (!out.is_array() || out.size() != entry.args.size())
        throw Bad(fmt::format("{}: \"out\" is not a list of {} arguments", where, entry.args.size()));
      for (size_t i = 0; i < out.size(); ++i) {
        if (out[i].is_null()) continue;
        if (!entry.args[i].byRef) throw Bad(fmt::format("{}: argument {} was passed by value", where, i + 1));
        entry.args[i].out = value(out[i], journal, fmt::format("{}'s argument {}", where, i + 1));
      }
    }
    if (j.contains("error")) {
      const json& e = j["error"];
      const std::string at = where + "'s error";
      if (!e.is_object()) throw Bad(fmt::format("{} is not an object", at));
      automation::ErrorInfo info;
      info.number = static_cast<int32_t>(integer(field(e, "number", at), INT32_MIN, INT32_MAX, at));
      info.source = text(field(e, "source", at), at + "'s source");
      info.description = text(field(e, "description", at), at + "'s description");
      if (e.contains("helpFile")) info.helpFile = text(e["helpFile"], at + "'s help file");
      if (e.contains("helpContext"))
        info.helpContext = static_cast<int32_t>(integer(e["helpContext"], INT32_MIN, INT32_MAX, at));
      entry.error = std::move(info);
    }
    entry.end = journal.entries.size();
    entry.finished = true;
    open_.pop_back();
  }

  ObjectId objectNumber(const json& j, std::string_view where) {
    const auto n = integer(j, 0, UINT32_MAX, where);
    if (static_cast<size_t>(n) > maxObjects_)
      throw Bad(fmt::format("{}: object #{} is numbered far beyond the objects seen", where, n));
    return static_cast<ObjectId>(n);
  }

  /// Keeps the type name of a numbered object; the same number with another type is malformed.
  void learn(ObjectId object, std::string type, Journal& journal, std::string_view where) {
    if (object == 0) return;
    if (journal.objectTypes.size() < object) journal.objectTypes.resize(object);
    std::string& known = journal.objectTypes[object - 1];
    if (known.empty())
      known = std::move(type);
    else if (known != type)
      throw Bad(fmt::format("{}: object #{} is a {} but was a {}", where, object, shown(type), shown(known)));
  }

  JournalValue value(const json& j, Journal& journal, std::string_view where) {
    if (j.is_object() && j.contains("t") && j["t"] == "Object") {
      const ObjectId id = objectNumber(field(j, "id", where), where);
      std::string type = text(field(j, "type", where), where);
      learn(id, type, journal, where);
      return objectValue(id, std::move(type));
    }
    return plainValue(readVariant(j, where, 0));
  }

  size_t maxObjects_ = 64;    // numbers are handed out as objects are first seen: never far beyond the lines
  std::vector<size_t> open_;  // the entries begun and not ended, innermost last
  std::vector<size_t> beganOn_;  // index: entry; the line it began on
};

}  // namespace

JournalError::JournalError(const std::string& file, size_t line, const std::string& what)
    : std::runtime_error(line > 0 ? fmt::format("{}:{}: {}", file, line, what)
                                  : fmt::format("{}: {}", file, what)) {}

std::string doubleText(double value) {
  if (!std::isfinite(value)) return fmt::format("0x{:016x}", std::bit_cast<uint64_t>(value));
  char buffer[32];
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, ec == std::errc() ? end : buffer);
}

std::optional<double> parseDoubleText(std::string_view text) {
  if (text.starts_with("0x")) {
    if (text.size() != 18) return std::nullopt;
    uint64_t bits = 0;
    auto [p, ec] = std::from_chars(text.data() + 2, text.data() + text.size(), bits, 16);
    if (ec != std::errc() || p != text.data() + text.size()) return std::nullopt;
    return std::bit_cast<double>(bits);
  }
  double value = 0;
  auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || p != text.data() + text.size() || text.empty() || !std::isfinite(value))
    return std::nullopt;
  return value;
}

void Writer::header(const Header& h) {
  json j{{"journal", h.version},
         {"host", textJson(h.host)},
         {"module", textJson(h.moduleVersion)},
         {"pid", h.processId},
         {"time", doubleText(h.time.serial)},
         {"timeText", timeText(h.time)},
         {"locale", localeJson(h.locale)}};
  line(j.dump(), true);
}

size_t Writer::begin(const JournalEntry& entry, std::string_view objectType) {
  const size_t number = next_++;
  json j;
  j["b"] = number;
  j["kind"] = kKindNames[static_cast<size_t>(entry.kind)];
  if (entry.kind == JournalEntry::Kind::Event || entry.kind == JournalEntry::Kind::Call) {
    j["obj"] = entry.object;
    j["type"] = textJson(objectType);
  }
  if (entry.kind == JournalEntry::Kind::Event) j["sink"] = entry.sink;
  j["name"] = textJson(entry.name);
  if (entry.kind == JournalEntry::Kind::Call) j["call"] = kCallKindNames[static_cast<size_t>(entry.callKind)];
  if (!entry.args.empty()) {
    json args = json::array();
    for (const auto& a : entry.args) {
      json v = valueJson(a.in);
      if (a.byRef) v["ref"] = true;
      args.push_back(std::move(v));
    }
    j["args"] = std::move(args);
  }
  // The begin line of a turn of the host's (an event, a member call) reaches the disk at once, so
  // that a recording cut by a crash still names the turn it died in.
  line(j.dump(), open_++ == 0);
  return number;
}

void Writer::end(size_t number, const JournalEntry& entry) {
  json j;
  j["e"] = number;
  if (entry.kind != JournalEntry::Kind::Event) j["result"] = valueJson(entry.result);
  bool anyByRef = false;
  for (const auto& a : entry.args) anyByRef = anyByRef || a.byRef;
  if (anyByRef) {
    json out = json::array();
    for (const auto& a : entry.args) out.push_back(a.byRef ? valueJson(a.out) : json(nullptr));
    j["out"] = std::move(out);
  }
  if (entry.error) j["error"] = errorJson(*entry.error);
  if (open_ > 0) --open_;
  line(j.dump(), open_ == 0);
}

void Writer::locale(const automation::Locale& locale) {
  line(json{{"locale", localeJson(locale)}}.dump(), false);
}

bool Writer::good() const {
  return out_.good();
}

void Writer::line(const std::string& text, bool flush) {
  if (!out_.good()) return;
  out_ << text << '\n';
  if (flush) out_.flush();
}

Recording readJournal(std::istream& in, const std::string& name) {
  Recording recording;
  Reader reader;
  std::string text;
  size_t lineNumber = 0;
  bool sawHeader = false;
  while (std::getline(in, text)) {
    ++lineNumber;
    const bool lastAndCut = in.eof();  // no line break after it: the writer stopped in the middle
    if (text.find_first_not_of(" \t\r") == std::string::npos) continue;
    json j;
    try {
      j = json::parse(text);
    } catch (const json::exception& e) {
      if (lastAndCut && sawHeader) {
        auto open = reader.close(recording.journal);
        recording.cut =
            fmt::format("the recording stops at line {}, which is cut off{}", lineNumber,
                        open ? fmt::format(", inside entry {} (begun on line {})", open->first, open->second)
                             : std::string());
        return recording;
      }
      std::string_view what = e.what();
      if (size_t tag = what.find("] "); what.starts_with("[json.exception.") && tag != std::string_view::npos)
        what.remove_prefix(tag + 2);
      throw JournalError(name, lineNumber, fmt::format("not JSON: {}", what));
    }
    try {
      if (!sawHeader) {
        reader.header(j, recording.header);
        sawHeader = true;
      } else {
        reader.line(j, lineNumber, recording.journal);
      }
    } catch (const Bad& e) {
      throw JournalError(name, lineNumber, e.what());
    } catch (const json::exception& e) {
      throw JournalError(name, lineNumber, fmt::format("a field of the wrong kind: {}", e.what()));
    }
  }
  if (!sawHeader) throw JournalError(name, 0, "empty: a journal starts with its header line");
  if (auto open = reader.close(recording.journal))
    recording.cut = fmt::format("the recording stops after line {}, inside entry {} (begun on line {}): {}",
                                lineNumber, open->first, open->second,
                                describe(recording.journal, recording.journal.entries[open->first]));
  return recording;
}

Recording readJournalFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw JournalError(path, 0, "cannot open the file");
  return readJournal(in, path);
}

}  // namespace mto::journal
