#include "sim/components/stock_status_filter.h"

#include <cctype>
#include <charconv>
#include <optional>
#include <string>

#include "automation/ascii.h"
#include "automation/error.h"
#include "host/contract.h"

namespace mto::sim {

namespace {

struct ColumnName {
  std::string_view name;
  StockColumn column;
  bool isText;
};

constexpr ColumnName kColumns[] = {
    {"FItemID", StockColumn::ItemId, false},     {"FStockID", StockColumn::StockId, false},
    {"FSPID", StockColumn::StockPlaceId, false}, {"FBatchNo", StockColumn::BatchNo, true},
    {"FMTONo", StockColumn::MtoNo, true},        {"FAuxPropID", StockColumn::AuxPropId, false},
};

/// A recursive-descent reader over the filter text; every refusal raises at once.
class FilterReader {
 public:
  explicit FilterReader(std::string_view text) : text_(text) {}

  StockStatusQuery read() {
    StockStatusQuery query;
    skipBlanks();
    if (atEnd()) return query;
    query.conditions.push_back(condition());
    for (skipBlanks(); !atEnd(); skipBlanks()) {
      auto word = readWord();
      if (!automation::ascii::equalsIgnoreCase(word, "AND")) fail("expected AND or the end");
      query.conditions.push_back(condition());
    }
    return query;
  }

 private:
  StockStatusQuery::Condition condition() {
    skipBlanks();
    auto name = readWord();
    if (name.empty()) fail("expected a column name");
    skipBlanks();
    if (peek() == '.') {
      if (!automation::ascii::equalsIgnoreCase(name, "t1"))
        fail("unknown table alias \"" + std::string(name) + "\"");
      ++pos_;
      skipBlanks();
      name = readWord();
      if (name.empty()) fail("expected a column name after \"t1.\"");
    }
    const ColumnName* column = nullptr;
    for (const auto& c : kColumns)
      if (automation::ascii::equalsIgnoreCase(c.name, name)) column = &c;
    if (!column) fail("unknown column \"" + std::string(name) + "\"");

    StockStatusQuery::Condition out{column->column, {}};
    skipBlanks();
    if (peek() == '=') {
      ++pos_;
      out.values.push_back(value(*column));
      return out;
    }
    if (!automation::ascii::equalsIgnoreCase(readWord(), "IN"))
      fail("expected IN or = after " + std::string(column->name));
    skipBlanks();
    if (peek() != '(') fail("expected ( after IN");
    ++pos_;
    for (;;) {
      out.values.push_back(value(*column));
      skipBlanks();
      char c = peek();
      ++pos_;
      if (c == ')') return out;
      if (c != ',') {
        --pos_;
        fail("expected , or ) in the list of " + std::string(column->name));
      }
    }
  }

  SqlValue value(const ColumnName& column) {
    skipBlanks();
    if (peek() == '\'') {
      if (!column.isText) fail(std::string(column.name) + " takes whole numbers, not texts");
      return quotedText();
    }
    size_t start = pos_;
    if (peek() == '-') ++pos_;
    size_t digits = pos_;
    while (!atEnd() && std::isdigit(static_cast<unsigned char>(text_[pos_]))) ++pos_;
    if (pos_ == digits) {
      pos_ = start;
      fail("expected a value for " + std::string(column.name));
    }
    if (!atEnd() && isWordChar(text_[pos_])) fail("expected a whole number for " + std::string(column.name));
    std::string_view number = text_.substr(start, pos_ - start);
    if (column.isText) return std::string(number);
    int64_t n = 0;
    auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), n);
    if (ec != std::errc() || end != number.data() + number.size()) {
      pos_ = start;
      fail("number out of range for " + std::string(column.name));
    }
    return n;
  }

  std::string quotedText() {
    size_t start = pos_++;
    std::string out;
    while (!atEnd()) {
      char c = text_[pos_++];
      if (c != '\'') {
        out += c;
      } else if (peek() == '\'') {
        out += '\'';
        ++pos_;
      } else {
        return out;
      }
    }
    pos_ = start;
    fail("unclosed quote");
  }

  static bool isWordChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

  /// Letters, digits and underscores starting with a letter; "" when none starts here.
  std::string_view readWord() {
    size_t start = pos_;
    if (atEnd() || !std::isalpha(static_cast<unsigned char>(text_[pos_]))) return {};
    while (!atEnd() && isWordChar(text_[pos_])) ++pos_;
    return text_.substr(start, pos_ - start);
  }

  void skipBlanks() {
    while (!atEnd() && std::isspace(static_cast<unsigned char>(text_[pos_]))) ++pos_;
  }
  bool atEnd() const { return pos_ >= text_.size(); }
  char peek() const { return atEnd() ? '\0' : text_[pos_]; }

  [[noreturn]] void fail(const std::string& reason) const {
    std::string shown(text_);
    for (char& c : shown)
      if (c == '\n' || c == '\r' || c == '\t') c = ' ';  // the description stays one line
    std::string where = atEnd() ? "at the end" : "at \"" + shown.substr(pos_, 12) + "\"";
    automation::raiseError(automation::errc::kInvalidCall,
                           "Bad stock filter \"" + shown + "\": " + reason + " " + where,
                           std::string(host::progid::kStockStatus));
  }

  std::string_view text_;
  size_t pos_ = 0;
};

}  // namespace

StockStatusQuery parseStockStatusFilter(std::string_view filter) {
  return FilterReader(filter).read();
}

}  // namespace mto::sim
