#include "sim/components/filter_criteria.h"

#include <algorithm>
#include <charconv>
#include <optional>
#include <utility>

#include "automation/ascii.h"
#include "automation/convert.h"
#include "automation/dates.h"

namespace mto::sim {

using automation::raiseError;
using namespace recordset_errc;

namespace {

/// Criteria errors carry the name of the record set, the object the plug-in sees.
constexpr std::string_view kTypeName = "Recordset";

using automation::ascii::compareIgnoreCase;
using automation::ascii::startsWithIgnoreCase;

bool containsIgnoreCase(std::string_view text, std::string_view part) {
  if (part.empty()) return true;
  for (size_t i = 0; i + part.size() <= text.size(); ++i)
    if (compareIgnoreCase(text.substr(i, part.size()), part) == 0) return true;
  return false;
}

/// Dates in criteria, and dates held as text in a field: year first with "-" or "/", else
/// month/day/year, whatever the system locale says.
const automation::Locale& filterLocale() {
  static const automation::Locale locale = [] {
    automation::Locale l;
    l.dateSeparator = "/";
    l.shortDatePattern = "M/d/yyyy";
    l.decimalSeparator = ".";
    l.thousandsSeparator = ",";
    return l;
  }();
  return locale;
}

std::optional<double> textAsNumber(const std::string& text) {
  try {
    return automation::parseNumber(text, filterLocale());
  } catch (const automation::AutomationError&) {
    return std::nullopt;  // a number too large for a Double compares with nothing
  }
}

std::optional<double> textAsDate(const std::string& text) {
  auto date = automation::parseDate(text, filterLocale());
  if (!date) return std::nullopt;
  return date->serial;
}

int compareNumbers(double a, double b) {
  return a < b ? -1 : (a > b ? 1 : 0);
}

}  // namespace

namespace detail {

bool isPlainNumber(const Variant& v) {
  switch (v.type()) {
    case automation::VarType::Boolean:
    case automation::VarType::Integer:
    case automation::VarType::Long:
    case automation::VarType::Double:
      return true;
    default:
      return false;
  }
}

}  // namespace detail

namespace {

using detail::FilterNode;
using detail::FilterOp;
using detail::isPlainNumber;

class FilterParser {
 public:
  FilterParser(std::string_view text, const Recordset& owner) : text_(text), owner_(owner) {}

  std::unique_ptr<FilterNode> parse() {
    auto tree = parseExpression();
    skipBlanks();
    if (!atEnd()) {
      if (peek() == ')') fail("')' without a matching '('", pos_);
      fail("AND or OR expected", pos_);
    }
    return tree;
  }

 private:
  [[noreturn]] void fail(std::string_view what, size_t at) const {
    raiseError(
        kInvalidArgument,
        "Filter \"" + std::string(text_) + "\" : " + std::string(what) + " at position " + std::to_string(at),
        std::string(kTypeName));
  }

  bool atEnd() const { return pos_ >= text_.size(); }
  char peek() const { return atEnd() ? '\0' : text_[pos_]; }

  void skipBlanks() {
    while (!atEnd() && (peek() == ' ' || peek() == '\t' || peek() == '\r' || peek() == '\n')) ++pos_;
  }

  static bool isNameChar(char c) {
    auto u = static_cast<unsigned char>(c);
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
           u >= 0x80;
  }

  /// Consumes a keyword (any case) when it stands at the current position as a whole word.
  bool takeKeyword(std::string_view keyword) {
    if (text_.size() - pos_ < keyword.size()) return false;
    if (compareIgnoreCase(text_.substr(pos_, keyword.size()), keyword) != 0) return false;
    size_t after = pos_ + keyword.size();
    if (after < text_.size() && isNameChar(text_[after])) return false;
    pos_ = after;
    return true;
  }

  // expression := term { (AND | OR) term }, folded left to right.
  std::unique_ptr<FilterNode> parseExpression() {
    auto node = parseTerm();
    for (;;) {
      skipBlanks();
      if (atEnd() || peek() == ')') return node;
      size_t at = pos_;
      FilterNode::Kind kind;
      if (takeKeyword("AND")) {
        kind = FilterNode::Kind::And;
      } else if (takeKeyword("OR")) {
        kind = FilterNode::Kind::Or;
      } else {
        fail("AND or OR expected", at);
      }
      auto right = parseTerm();
      if (kind == FilterNode::Kind::And &&
          (node->kind == FilterNode::Kind::Or || right->kind == FilterNode::Kind::Or)) {
        fail("clauses joined by OR cannot be joined to others by AND (write (A AND C) OR (B AND C))", at);
      }
      auto joined = std::make_unique<FilterNode>();
      joined->kind = kind;
      joined->left = std::move(node);
      joined->right = std::move(right);
      node = std::move(joined);
    }
  }

  // term := '(' expression ')' | clause
  std::unique_ptr<FilterNode> parseTerm() {
    skipBlanks();
    if (peek() == '(') {
      size_t open = pos_++;
      auto inner = parseExpression();
      skipBlanks();
      if (peek() != ')') fail("'(' is not closed", open);
      ++pos_;
      return inner;
    }
    return parseClause();
  }

  // clause := field operator value
  std::unique_ptr<FilterNode> parseClause() {
    auto node = std::make_unique<FilterNode>();
    node->column = parseField();
    skipBlanks();
    node->op = parseOperator();
    skipBlanks();
    size_t valueAt = pos_;
    node->value = parseValue();
    if (node->op == FilterOp::Like) preparePattern(*node, valueAt);
    return node;
  }

  size_t parseField() {
    skipBlanks();
    size_t start = pos_;
    std::string_view name;
    if (peek() == '[') {
      size_t close = text_.find(']', pos_ + 1);
      if (close == std::string_view::npos) fail("']' expected to close the field name", text_.size());
      name = text_.substr(pos_ + 1, close - pos_ - 1);
      pos_ = close + 1;
    } else {
      while (!atEnd() && isNameChar(peek())) ++pos_;
      name = text_.substr(start, pos_ - start);
    }
    if (name.empty()) fail("field name expected", start);
    auto column = owner_.findColumn(name);
    if (!column) fail("unknown field '" + std::string(name) + "'", start);
    return *column;
  }

  FilterOp parseOperator() {
    static constexpr std::pair<std::string_view, FilterOp> kSymbols[] = {
        {"<=", FilterOp::LessEqual}, {">=", FilterOp::GreaterEqual}, {"<>", FilterOp::NotEqual},
        {"=", FilterOp::Equal},      {"<", FilterOp::Less},          {">", FilterOp::Greater}};
    for (const auto& [symbol, op] : kSymbols) {
      if (text_.substr(pos_, symbol.size()) == symbol) {
        pos_ += symbol.size();
        return op;
      }
    }
    if (takeKeyword("LIKE")) return FilterOp::Like;
    fail("comparison operator (= <> < > <= >= LIKE) expected", pos_);
  }

  Variant parseValue() {
    size_t start = pos_;
    if (atEnd()) fail("value expected", start);
    char c = peek();
    if (c == '\'') return parseText();
    if (c == '#') return parseDate();
    if (c == '+' || c == '-' || c == '$' || c == '.' || (c >= '0' && c <= '9')) return parseNumber();
    if (takeKeyword("NULL")) fail("Null cannot be used as a value", start);
    fail("value expected", start);
  }

  Variant parseText() {
    size_t start = pos_++;
    std::string out;
    for (;;) {
      if (atEnd()) fail("closing quote missing for the text", start);
      char c = text_[pos_++];
      if (c == '\'') {
        if (peek() != '\'') break;
        ++pos_;
      }
      out += c;
    }
    return Variant(std::move(out));
  }

  Variant parseDate() {
    size_t start = pos_++;
    size_t close = text_.find('#', pos_);
    if (close == std::string_view::npos) fail("closing '#' missing for the date", start);
    std::string body(text_.substr(pos_, close - pos_));
    pos_ = close + 1;
    auto serial = textAsDate(body);
    if (!serial) fail("'" + body + "' is not a date", start);
    return Variant(automation::Date{*serial});
  }

  Variant parseNumber() {
    size_t start = pos_;
    std::string digits;
    if (peek() == '+' || peek() == '-') digits += text_[pos_++];
    if (peek() == '$') ++pos_;
    size_t mantissa = 0;
    bool point = false;
    while (!atEnd()) {
      char c = peek();
      if (c >= '0' && c <= '9') {
        ++mantissa;
      } else if (c == '.' && !point) {
        point = true;
      } else {
        break;
      }
      digits += c;
      ++pos_;
    }
    if (mantissa == 0) fail("number expected", start);
    if (peek() == 'e' || peek() == 'E') {
      size_t save = pos_;
      std::string exponent = "e";
      ++pos_;
      if (peek() == '+' || peek() == '-') exponent += text_[pos_++];
      size_t expDigits = 0;
      while (!atEnd() && peek() >= '0' && peek() <= '9') {
        exponent += text_[pos_++];
        ++expDigits;
      }
      if (expDigits == 0) {
        pos_ = save;
      } else {
        digits += exponent;
      }
    }
    if (!atEnd() && isNameChar(peek())) fail("invalid number", start);
    const char* first = digits.data();
    if (*first == '+') ++first;
    double value = 0;
    auto [end, ec] = std::from_chars(first, digits.data() + digits.size(), value);
    if (ec != std::errc() || end != digits.data() + digits.size()) fail("invalid number", start);
    return Variant(value);
  }

  void preparePattern(FilterNode& node, size_t at) const {
    if (!node.value.isString()) fail("LIKE needs a pattern in quotes", at);
    std::string_view pattern = node.value.stringValue();
    auto isWild = [](char c) { return c == '*' || c == '%'; };
    bool lead = !pattern.empty() && isWild(pattern.front());
    bool trail = !pattern.empty() && isWild(pattern.back());
    if (pattern.size() == 1 && lead) lead = false;  // a lone wildcard is a trailing one
    if (lead && !trail)
      fail("LIKE pattern '" + std::string(pattern) + "' has a wildcard at its start only", at);
    std::string_view core = pattern.substr(lead ? 1 : 0);
    if (trail) core.remove_suffix(1);
    for (char c : core)
      if (isWild(c)) fail("LIKE pattern '" + std::string(pattern) + "' has a wildcard inside", at);
    node.likeCore = std::string(core);
    node.likeAnywhere = lead && trail;
    node.likePrefix = trail && !lead;
  }

  std::string_view text_;
  const Recordset& owner_;
  size_t pos_ = 0;
};

/// Orders a field value against a criteria value; nullopt when they cannot be compared (the
/// clause then matches nothing).
std::optional<int> compareForFilter(const Variant& field, const Variant& value) {
  if (field.isString()) {
    const std::string& text = field.stringValue();
    if (value.isString()) return compareIgnoreCase(text, value.stringValue());
    if (value.isDate()) {
      auto serial = textAsDate(text);
      if (!serial) return std::nullopt;
      return compareNumbers(*serial, value.dateValue().serial);
    }
    auto number = textAsNumber(text);
    if (!number) return std::nullopt;
    return compareNumbers(*number, value.doubleValue());
  }
  if (isPlainNumber(field) || field.isDate()) {
    double lhs = field.isDate() ? field.dateValue().serial : automation::toDouble(field);
    if (value.isString()) {
      auto rhs = field.isDate() ? textAsDate(value.stringValue()) : textAsNumber(value.stringValue());
      if (!rhs) return std::nullopt;
      return compareNumbers(lhs, *rhs);
    }
    double rhs = value.isDate() ? value.dateValue().serial : value.doubleValue();
    return compareNumbers(lhs, rhs);
  }
  return std::nullopt;
}

bool likeMatches(const FilterNode& node, const Variant& field) {
  if (field.isNull() || field.isEmpty()) return false;
  std::string text = field.isString() ? field.stringValue() : automation::toText(field, filterLocale());
  if (node.likeAnywhere) return containsIgnoreCase(text, node.likeCore);
  if (node.likePrefix) return startsWithIgnoreCase(text, node.likeCore);
  return compareIgnoreCase(text, node.likeCore) == 0;
}

bool matches(const FilterNode& node, const Recordset::Row& row) {
  switch (node.kind) {
    case FilterNode::Kind::And:
      return matches(*node.left, row) && matches(*node.right, row);
    case FilterNode::Kind::Or:
      return matches(*node.left, row) || matches(*node.right, row);
    case FilterNode::Kind::Clause:
      break;
  }
  const Variant& field = row[node.column];
  if (node.op == FilterOp::Like) return likeMatches(node, field);
  auto order = compareForFilter(field, node.value);
  if (!order) return false;
  switch (node.op) {
    case FilterOp::Equal:
      return *order == 0;
    case FilterOp::NotEqual:
      return *order != 0;
    case FilterOp::Less:
      return *order < 0;
    case FilterOp::Greater:
      return *order > 0;
    case FilterOp::LessEqual:
      return *order <= 0;
    case FilterOp::GreaterEqual:
      return *order >= 0;
    case FilterOp::Like:
      break;
  }
  return false;
}

}  // namespace

namespace detail {

std::unique_ptr<FilterNode> parseFilter(std::string_view criteria, const Recordset& owner) {
  return FilterParser(criteria, owner).parse();
}

bool filterMatches(const FilterNode& node, const Recordset::Row& row) {
  return matches(node, row);
}

}  // namespace detail

}  // namespace mto::sim
