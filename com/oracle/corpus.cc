#include "oracle/corpus.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <utility>

namespace mto::oracle {

namespace {

std::string trim(std::string_view text) {
  size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return {};
  size_t last = text.find_last_not_of(" \t\r");
  return std::string(text.substr(first, last - first + 1));
}

std::optional<double> number(std::string_view text) {
  if (text.empty()) return std::nullopt;
  std::string copy(text);
  char* end = nullptr;
  double value = std::strtod(copy.c_str(), &end);
  if (end != copy.c_str() + copy.size()) return std::nullopt;
  return value;
}

std::string quote(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + '"';
}

/// Splits a line into tokens: quoted strings (a doubled quote inside) or runs without blanks.
/// Quoted tokens keep their quotes, so that the caller tells "True" from True.
bool tokenize(std::string_view line, std::vector<std::string>& tokens, std::string& why) {
  size_t i = 0;
  while (true) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    if (i >= line.size()) return true;
    if (line[i] == '"') {
      std::string token = "\"";
      ++i;
      bool closed = false;
      while (i < line.size()) {
        if (line[i] == '"') {
          if (i + 1 < line.size() && line[i + 1] == '"') {
            token += '"';
            i += 2;
            continue;
          }
          ++i;
          closed = true;
          break;
        }
        token += line[i++];
      }
      if (!closed) {
        why = "unclosed quote";
        return false;
      }
      tokens.push_back(token);
    } else {
      size_t start = i;
      while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
      tokens.emplace_back(line.substr(start, i - start));
    }
  }
}

bool parseDateLiteral(std::string_view text, double& serial) {
  if (auto plain = number(text)) {
    serial = *plain;
    return true;
  }
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
  std::string copy(text);
  int fields = std::sscanf(copy.c_str(), "%d-%d-%dT%d:%d:%d", &y, &mo, &d, &h, &mi, &s);
  if (fields < 3 || fields == 4) return false;
  if (mo < 1 || mo > 12 || d < 1 || d > 31) return false;
  serial = dateSerial(y, mo, d, h, mi, s);
  return true;
}

bool parseValue(const std::string& token, Value& value) {
  using Kind = Value::Kind;
  if (token.starts_with('"')) {
    value = {Kind::String, 0, token.substr(1)};
    return true;
  }
  if (token == "Empty") return value = {Kind::Empty, 0, {}}, true;
  if (token == "Null") return value = {Kind::Null, 0, {}}, true;
  if (token == "True") return value = {Kind::Boolean, -1, {}}, true;
  if (token == "False") return value = {Kind::Boolean, 0, {}}, true;
  if (token.starts_with("i:") || token.starts_with("l:")) {
    auto n = number(std::string_view(token).substr(2));
    if (!n || *n != std::trunc(*n)) return false;
    bool shortForm = token[0] == 'i';
    if (shortForm ? (*n < -32768 || *n > 32767) : (*n < -2147483648.0 || *n > 2147483647.0)) return false;
    value = {shortForm ? Kind::Integer : Kind::Long, *n, {}};
    return true;
  }
  if (token.starts_with("d:")) {
    value = {Kind::Date, 0, {}};
    return parseDateLiteral(std::string_view(token).substr(2), value.number);
  }
  if (auto n = number(token)) return value = {Kind::Double, *n, {}}, true;
  return false;
}

const std::map<std::string, std::pair<Operation, int>, std::less<>>& operations() {
  static const std::map<std::string, std::pair<Operation, int>, std::less<>> table = {
      {"double", {Operation::ToDouble, 1}},   {"integer", {Operation::ToInteger, 1}},
      {"long", {Operation::ToLong, 1}},       {"boolean", {Operation::ToBoolean, 1}},
      {"text", {Operation::ToText, 1}},       {"date", {Operation::ToDate, 1}},
      {"datefromstr", {Operation::DateFromText, 1}}, {"format", {Operation::Format, 2}},
      {"compare", {Operation::Compare, 2}},   {"dateadd", {Operation::DateAdd, 3}}};
  return table;
}

const char* kindTag(Result::Kind kind) {
  switch (kind) {
    case Result::Kind::Error: return "error";
    case Result::Kind::Double: return "R8";
    case Result::Kind::Integer: return "I2";
    case Result::Kind::Long: return "I4";
    case Result::Kind::Boolean: return "BOOL";
    case Result::Kind::Text: return "BSTR";
    case Result::Kind::Date: return "DATE";
    case Result::Kind::Order: return "CMP";
  }
  return "?";
}

std::string shortest(double value) {
  char buffer[64];
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
  return ec == std::errc() ? std::string(buffer, end) : std::string("?");
}

}  // namespace

double dateSerial(int year, int month, int day, int hour, int minute, int second) {
  // Days from 1970-01-01 of a proleptic Gregorian day (H. Hinnant's civil-from-days inverse).
  int y = month <= 2 ? year - 1 : year;
  int era = (y >= 0 ? y : y - 399) / 400;
  int yoe = y - era * 400;
  int doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  double days = era * 146097.0 + doe - 719468.0 + 25569.0;
  double time = (hour * 3600.0 + minute * 60.0 + second) / 86400.0;
  return days >= 0 ? days + time : days - time;
}

std::string describe(const Result& result) {
  std::string tag = kindTag(result.kind);
  switch (result.kind) {
    case Result::Kind::Error: return tag + " " + std::to_string(static_cast<long long>(result.number));
    case Result::Kind::Boolean: return tag + (result.number != 0 ? " True" : " False");
    case Result::Kind::Text: return tag + " " + quote(result.text);
    case Result::Kind::Order: {
      static const char* names[] = {"LT", "EQ", "GT", "NULL"};
      int index = static_cast<int>(result.number) + 1;
      return tag + " " + (index >= 0 && index <= 3 ? names[index] : "?");
    }
    default: return tag + " " + shortest(result.number);
  }
}

bool parseResult(std::string_view text, Result& result) {
  std::string all = trim(text);
  size_t blank = all.find(' ');
  if (blank == std::string::npos) return false;
  std::string tag = all.substr(0, blank);
  std::string rest = trim(std::string_view(all).substr(blank + 1));
  for (auto kind : {Result::Kind::Error, Result::Kind::Double, Result::Kind::Integer, Result::Kind::Long,
                    Result::Kind::Boolean, Result::Kind::Text, Result::Kind::Date, Result::Kind::Order}) {
    if (tag != kindTag(kind)) continue;
    result = {kind, 0, {}};
    if (kind == Result::Kind::Text) {
      std::vector<std::string> tokens;
      std::string why;
      if (!tokenize(rest, tokens, why) || tokens.size() != 1 || !tokens[0].starts_with('"')) return false;
      result.text = tokens[0].substr(1);
      return true;
    }
    if (kind == Result::Kind::Boolean) {
      if (rest != "True" && rest != "False") return false;
      result.number = rest == "True" ? -1 : 0;
      return true;
    }
    if (kind == Result::Kind::Order) {
      static const std::map<std::string, int> orders = {{"LT", -1}, {"EQ", 0}, {"GT", 1}, {"NULL", 2}};
      auto found = orders.find(rest);
      if (found == orders.end()) return false;
      result.number = found->second;
      return true;
    }
    auto n = number(rest);
    if (!n) return false;
    result.number = *n;
    return true;
  }
  return false;
}

bool sameResult(const Result& a, const Result& b) {
  if (a.kind != b.kind) return false;
  if (a.kind == Result::Kind::Text) return a.text == b.text;
  if (a.kind == Result::Kind::Double || a.kind == Result::Kind::Date) {
    if (a.number == b.number) return true;
    return std::fabs(a.number - b.number) <= 1e-13 * std::max(std::fabs(a.number), std::fabs(b.number));
  }
  return a.number == b.number;
}

namespace {

/// Reports a problem of the line being read.
using Complain = std::function<void(const std::string&)>;

/// Calls `read` with every line of a data file that is neither blank nor a comment ("#"), trimmed,
/// its number from 1, and a way to report a problem of that line into `problems`.
template <typename Read>
void forEachDataLine(std::istream& in, std::vector<std::string>& problems, Read read) {
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    std::string text = trim(line);
    if (text.empty() || text.starts_with('#')) continue;
    Complain complain = [&](const std::string& why) {
      problems.push_back("line " + std::to_string(number) + ": " + why);
    };
    read(std::move(text), number, complain);
  }
}

}  // namespace

std::vector<Entry> parseCorpus(std::istream& in, std::vector<std::string>& problems) {
  std::vector<Entry> entries;
  forEachDataLine(in, problems, [&](std::string text, int number, const Complain& complain) {
    Entry entry;
    entry.line = number;
    if (text.starts_with('[')) {
      size_t close = text.find(']');
      if (close == std::string::npos) {
        complain("unclosed locale list");
        return;
      }
      std::stringstream list(text.substr(1, close - 1));
      std::string locale;
      while (std::getline(list, locale, ',')) entry.locales.push_back(trim(locale));
      text = trim(std::string_view(text).substr(close + 1));
    }
    std::vector<std::string> tokens;
    std::string why;
    if (!tokenize(text, tokens, why)) {
      complain(why);
      return;
    }
    auto op = operations().find(tokens.empty() ? std::string() : tokens[0]);
    if (op == operations().end()) {
      complain("unknown operation");
      return;
    }
    entry.operation = op->second.first;
    if (static_cast<int>(tokens.size()) - 1 != op->second.second) {
      complain(tokens[0] + " takes " + std::to_string(op->second.second) + " argument(s)");
      return;
    }
    entry.key = tokens[0];
    bool ok = true;
    for (size_t i = 1; i < tokens.size(); ++i) {
      Value value;
      if (!parseValue(tokens[i], value)) {
        complain("unreadable value " + tokens[i]);
        ok = false;
        break;
      }
      entry.arguments.push_back(value);
      entry.key += " " + (value.kind == Value::Kind::String ? quote(value.text) : tokens[i]);
    }
    if (!ok) return;
    using Kind = Value::Kind;
    const auto& args = entry.arguments;
    if (entry.operation == Operation::DateFromText && args[0].kind != Kind::String) ok = false;
    if (entry.operation == Operation::Format && args[0].kind != Kind::String) ok = false;
    if (entry.operation == Operation::DateAdd &&
        (args[0].kind != Kind::String || args[1].kind != Kind::Double || args[2].kind != Kind::Date))
      ok = false;
    if (!ok) {
      complain("argument types do not suit " + tokens[0]);
      return;
    }
    entries.push_back(std::move(entry));
  });
  return entries;
}

std::vector<KnownDifference> parseKnownDifferences(std::istream& in, std::vector<std::string>& problems) {
  std::vector<KnownDifference> known;
  forEachDataLine(in, problems, [&](std::string text, int number, const Complain& complain) {
    std::vector<std::string> fields;
    std::stringstream split(text);
    std::string field;
    while (std::getline(split, field, '|')) fields.push_back(trim(field));
    if (fields.size() != 5) {
      complain("needs 5 fields separated by |, has " + std::to_string(fields.size()));
      return;
    }
    KnownDifference entry;
    entry.line = number;
    entry.locale = fields[0];
    // The entry is normalised as the corpus normalises it, so that blanks do not decide a match.
    std::istringstream one(fields[1]);
    std::vector<std::string> entryProblems;
    auto parsed = parseCorpus(one, entryProblems);
    if (parsed.size() != 1) {
      complain("unreadable entry " + fields[1]);
      return;
    }
    entry.key = parsed[0].key;
    if (!parseResult(fields[2], entry.windows)) {
      complain("unreadable Windows result " + fields[2]);
      return;
    }
    entry.reason = fields[3];
    entry.source = fields[4];
    if (entry.reason.empty() || entry.source.empty()) {
      complain("a known difference needs a reason and a source");
      return;
    }
    known.push_back(std::move(entry));
  });
  return known;
}

std::vector<std::string> checkKnownDifferences(const std::vector<KnownDifference>& known,
                                               const std::vector<Entry>& corpus) {
  std::vector<std::string> problems;
  std::set<std::pair<std::string, std::string>> seen;
  for (const auto& difference : known) {
    std::string where = "line " + std::to_string(difference.line) + ": ";
    if (!seen.insert({difference.locale, difference.key}).second) {
      problems.push_back(where + "listed twice");
      continue;
    }
    bool found = false;
    for (const auto& entry : corpus) {
      if (entry.key != difference.key) continue;
      bool runsThere = entry.locales.empty();
      for (const auto& locale : entry.locales) runsThere = runsThere || locale == difference.locale;
      found = found || runsThere;
    }
    if (!found) problems.push_back(where + "no corpus entry " + difference.key + " runs in " + difference.locale);
  }
  return problems;
}

}  // namespace mto::oracle
