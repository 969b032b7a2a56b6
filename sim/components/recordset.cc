#include "sim/components/recordset.h"

#include <algorithm>
#include <charconv>
#include <utility>

#include "automation/convert.h"
#include "automation/dates.h"
#include "sim/db/database.h"

namespace mto::sim {

using automation::raiseError;
using namespace recordset_errc;

namespace {

constexpr std::string_view kTypeName = "Recordset";
constexpr std::string_view kNoCurrentRecordText =
    "Either BOF or EOF is True, or the current record has been deleted. Requested operation requires a "
    "current "
    "record.";

char foldAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

/// Byte order after folding ASCII letters; other bytes (UTF-8 included) compare as they are.
int compareIgnoreCase(std::string_view a, std::string_view b) {
  size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    auto x = static_cast<unsigned char>(foldAscii(a[i]));
    auto y = static_cast<unsigned char>(foldAscii(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool startsWithIgnoreCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && compareIgnoreCase(text.substr(0, prefix.size()), prefix) == 0;
}

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

int compareNumbers(double a, double b) {
  return a < b ? -1 : (a > b ? 1 : 0);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Filter criteria

namespace detail {

enum class FilterOp { Equal, NotEqual, Less, Greater, LessEqual, GreaterEqual, Like };

struct FilterNode {
  enum class Kind { Clause, And, Or };
  Kind kind = Kind::Clause;

  // Clause.
  size_t column = 0;
  FilterOp op = FilterOp::Equal;
  Variant value;  // String, Double or Date
  std::string likeCore;
  bool likeAnywhere = false;  // wildcards at both ends
  bool likePrefix = false;    // a wildcard at the end only

  // AND / OR.
  std::unique_ptr<FilterNode> left;
  std::unique_ptr<FilterNode> right;
};

}  // namespace detail

namespace {

using detail::FilterNode;
using detail::FilterOp;

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

// ---------------------------------------------------------------------------------------------
// Recordset

Recordset::Recordset(std::vector<std::string> columns, std::vector<Row> rows)
    : columns_(std::move(columns)), rows_(std::move(rows)) {
  for (auto& row : rows_) row.resize(columns_.size(), Variant::null());
  visible_.reserve(rows_.size());
  for (size_t i = 0; i < rows_.size(); ++i) visible_.push_back(i);
}

Recordset::~Recordset() = default;

std::shared_ptr<Recordset> Recordset::create(std::vector<std::string> columns, std::vector<Row> rows) {
  return std::make_shared<Recordset>(std::move(columns), std::move(rows));
}

std::shared_ptr<Recordset> Recordset::fromResult(QueryResult result) {
  return create(std::move(result.columns), std::move(result.rows));
}

std::shared_ptr<Recordset> Recordset::fromStatement(sqlite::Statement& statement) {
  return fromResult(readStatement(statement));
}

std::optional<size_t> Recordset::findColumn(std::string_view name) const {
  for (size_t i = 0; i < columns_.size(); ++i)
    if (automation::equalsIgnoreCase(columns_[i], name)) return i;
  return std::nullopt;
}

bool Recordset::eof() const {
  return position_ >= static_cast<std::ptrdiff_t>(visible_.size());
}

bool Recordset::bof() const {
  return visible_.empty() || position_ < 0;
}

void Recordset::moveFirst() {
  if (visible_.empty())
    raiseError(kNoCurrentRecord, std::string(kNoCurrentRecordText), std::string(kTypeName));
  position_ = 0;
}

void Recordset::moveLast() {
  if (visible_.empty())
    raiseError(kNoCurrentRecord, std::string(kNoCurrentRecordText), std::string(kTypeName));
  position_ = static_cast<std::ptrdiff_t>(visible_.size()) - 1;
}

void Recordset::moveNext() {
  if (eof()) raiseError(kNoCurrentRecord, std::string(kNoCurrentRecordText), std::string(kTypeName));
  ++position_;
}

void Recordset::movePrevious() {
  if (bof()) raiseError(kNoCurrentRecord, std::string(kNoCurrentRecordText), std::string(kTypeName));
  --position_;
}

const Variant& Recordset::value(size_t column) const {
  if (column >= columns_.size()) {
    raiseError(kItemNotFound,
               "Item cannot be found in the collection corresponding to the requested name or ordinal. (" +
                   std::to_string(column) + ")",
               std::string(kTypeName));
  }
  if (bof() || eof()) raiseError(kNoCurrentRecord, std::string(kNoCurrentRecordText), std::string(kTypeName));
  return rows_[visible_[static_cast<size_t>(position_)]][column];
}

const Variant& Recordset::value(std::string_view column) const {
  return value(columnIndex(Variant(column)));
}

size_t Recordset::columnIndex(const Variant& nameOrPosition) const {
  if (nameOrPosition.isString()) {
    if (auto column = findColumn(nameOrPosition.stringValue())) return *column;
  } else if (isPlainNumber(nameOrPosition)) {
    auto position = automation::toLong(nameOrPosition);
    if (position >= 0 && static_cast<size_t>(position) < columns_.size())
      return static_cast<size_t>(position);
  }
  std::string shown =
      nameOrPosition.isString() ? nameOrPosition.stringValue() : automation::describe(nameOrPosition);
  raiseError(kItemNotFound,
             "Item cannot be found in the collection corresponding to the requested name or ordinal. (" +
                 shown + ")",
             std::string(kTypeName));
}

void Recordset::setFilter(std::string_view criteria) {
  std::unique_ptr<detail::FilterNode> tree;
  bool blank = criteria.find_first_not_of(" \t\r\n") == std::string_view::npos;
  if (!blank) tree = FilterParser(criteria, *this).parse();
  filterText_ = blank ? std::string() : std::string(criteria);
  filterTree_ = std::move(tree);
  visible_.clear();
  for (size_t i = 0; i < rows_.size(); ++i)
    if (!filterTree_ || matches(*filterTree_, rows_[i])) visible_.push_back(i);
  position_ = 0;
}

ObjectPtr Recordset::fieldObject(size_t column) {
  return std::make_shared<RecordsetField>(std::static_pointer_cast<Recordset>(shared_from_this()), column);
}

ObjectPtr Recordset::fieldsObject() {
  return std::make_shared<RecordsetFields>(std::static_pointer_cast<Recordset>(shared_from_this()));
}

const MemberTable<Recordset>& Recordset::members() {
  static const MemberTable<Recordset> table = [] {
    MemberTable<Recordset> t{std::string(kTypeName)};
    t.add("EOF", [](Recordset& self, CallKind, Args) -> Variant { return self.eof(); });
    t.add("BOF", [](Recordset& self, CallKind, Args) -> Variant { return self.bof(); });
    t.add("RecordCount", [](Recordset& self, CallKind, Args) -> Variant { return self.recordCount(); });
    t.add("MoveFirst", [](Recordset& self, CallKind, Args) -> Variant {
      self.moveFirst();
      return {};
    });
    t.add("MoveLast", [](Recordset& self, CallKind, Args) -> Variant {
      self.moveLast();
      return {};
    });
    t.add("MoveNext", [](Recordset& self, CallKind, Args) -> Variant {
      self.moveNext();
      return {};
    });
    t.add("MovePrevious", [](Recordset& self, CallKind, Args) -> Variant {
      self.movePrevious();
      return {};
    });
    auto fields = [](Recordset& self, CallKind, Args args) -> Variant {
      if (args.empty() || args[0].isMissing()) return self.fieldsObject();
      return self.fieldObject(self.columnIndex(args[0].value()));
    };
    t.add("", fields);
    t.add("Fields", fields);
    t.add("Filter", [](Recordset& self, CallKind kind, Args args) -> Variant {
      if (kind != CallKind::PropertyPut && kind != CallKind::PropertyPutRef) {
        if (self.filterText_.empty()) return int32_t{0};  // no filter reads as "none" (0)
        return self.filterText_;
      }
      const Variant& value = requiredArg(args, args.empty() ? 0 : args.size() - 1);
      if (value.isString()) {
        self.setFilter(value.stringValue());
      } else if (isPlainNumber(value) && automation::toDouble(value) == 0) {
        self.clearFilter();
      } else {
        raiseError(kInvalidArgument,
                   "Filter " + automation::describe(value) + " : a criteria text, \"\" or 0 is expected",
                   std::string(kTypeName));
      }
      return {};
    });
    return t;
  }();
  return table;
}

// ---------------------------------------------------------------------------------------------
// Fields and Field

const MemberTable<RecordsetFields>& RecordsetFields::members() {
  static const MemberTable<RecordsetFields> table = [] {
    MemberTable<RecordsetFields> t("Fields");
    auto item = [](RecordsetFields& self, CallKind, Args args) -> Variant {
      return self.owner_->fieldObject(self.owner_->columnIndex(requiredArg(args, 0)));
    };
    t.add("", item);
    t.add("Item", item);
    t.add("Count", [](RecordsetFields& self, CallKind, Args) -> Variant {
      return static_cast<int32_t>(self.owner_->columns().size());
    });
    return t;
  }();
  return table;
}

const MemberTable<RecordsetField>& RecordsetField::members() {
  static const MemberTable<RecordsetField> table = [] {
    MemberTable<RecordsetField> t("Field");
    auto value = [](RecordsetField& self, CallKind kind, Args) -> Variant {
      if (kind == CallKind::PropertyPut || kind == CallKind::PropertyPutRef) {
        raiseError(kNotUpdatable,
                   "Current Recordset does not support updating (the record set is read-only).",
                   std::string(kTypeName));
      }
      return self.owner_->value(self.column_);
    };
    t.add("", value);
    t.add("Value", value);
    t.add("Name", [](RecordsetField& self, CallKind, Args) -> Variant {
      return self.owner_->columns()[self.column_];
    });
    return t;
  }();
  return table;
}

}  // namespace mto::sim
