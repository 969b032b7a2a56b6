#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "sim/components/recordset.h"

// The record set's filter criteria: the parser that turns a criteria text into a tree of clauses
// over the record set's columns, and the test of one row against that tree. The language is
// described on `Recordset`.

namespace mto::sim::detail {

/// The comparison of a clause.
enum class FilterOp { Equal, NotEqual, Less, Greater, LessEqual, GreaterEqual, Like };

/// One node of parsed criteria: a clause (`column op value`) or the AND / OR of two nodes, each
/// owning its children. A LIKE clause keeps its pattern split into the text between the wildcards
/// and where the wildcards stood.
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

/// Parses filter criteria over the columns of `owner` (only its column names are read, and only
/// during the call). Raises 3001 (`recordset_errc::kInvalidArgument`, source "Recordset") for
/// malformed criteria, an unknown field or a bad LIKE pattern, naming the criteria and the 0-based
/// position of the fault. Blank criteria are malformed too (the record set treats them as no filter
/// before parsing). The caller owns the tree.
std::unique_ptr<FilterNode> parseFilter(std::string_view criteria, const Recordset& owner);

/// Whether a row passes the criteria; `row` has a value for every column the tree names. Values
/// that cannot be compared (Null, text that is no number or date) fail their clause rather than
/// raise.
bool filterMatches(const FilterNode& node, const Recordset::Row& row);

/// Whether a value is a plain number (Boolean, Integer, Long, Double): what compares numerically
/// in criteria and what counts as a field position.
bool isPlainNumber(const Variant& value);

}  // namespace mto::sim::detail
