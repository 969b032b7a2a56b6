#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "automation/variant.h"

// The values that cross the edge of the database room: parameters going in, rows coming out.
// Nothing here depends on SQLite, so that readers of results need not see it.

namespace mto::sim {

/// A value bound to a statement parameter: NULL, an integer, a real or a text. Values always
/// reach SQLite bound, never pasted into the SQL text.
using SqlValue = std::variant<std::monostate, int64_t, double, std::string>;

/// What a statement read. Values are Null, Long (an integer that fits in 32 bits), Double (other
/// integers and reals) or String (text, and blobs as their bytes). Every row has one value per
/// column.
struct QueryResult {
  using Row = std::vector<automation::Variant>;
  std::vector<std::string> columns;
  std::vector<Row> rows;
};

/// One row as column name -> value, in the table's column order; values as in `QueryResult`.
using Record = std::vector<std::pair<std::string, automation::Variant>>;

}  // namespace mto::sim
