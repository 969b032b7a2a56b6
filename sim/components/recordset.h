#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sim/db/sql_values.h"
#include "sim/runtime/host_object.h"

namespace mto::sim {

/// Error numbers of the record set, as its clients know them.
namespace recordset_errc {
/// Bad Filter criteria (or a Filter value of the wrong kind).
inline constexpr int32_t kInvalidArgument = 3001;
/// No current record: read or move past either end.
inline constexpr int32_t kNoCurrentRecord = 3021;
/// A write the record set does not allow (it is read-only).
inline constexpr int32_t kNotUpdatable = 3251;
/// No field of that name or position.
inline constexpr int32_t kItemNotFound = 3265;
}  // namespace recordset_errc

namespace detail {
struct FilterNode;
}

/// A read-only, client-side record set over a query result, with a current record, navigation
/// and a criteria filter.
///
/// Late-bound members: "EOF", "BOF", "RecordCount" (matches of the filter), "MoveFirst",
/// "MoveNext", "MoveLast", "MovePrevious", "Fields" (the Fields object; with an argument, that
/// field), "Filter" (get; put a criteria text, or "" or 0 to remove it), and the default member:
/// with a name or 0-based position the Field, without one the Fields object. So
/// `rs("FName").Value` and `rs.Fields(0).Value` both read the current record.
///
/// Filter criteria: clauses `Field op Value` joined by AND / OR, with parentheses. Operators
/// = <> < > <= >= LIKE. Field names are matched without case; a name with blanks goes in [ ].
/// Values: 'text' ('' for a quote), numbers (sign, "$", decimal point, exponent), dates in # #
/// (year-month-day, or month/day/year, with an optional time). AND and OR have no precedence:
/// clauses combine left to right (`A AND B OR C` is `(A AND B) OR C`), and as with the classic
/// client-side filter a group joined by OR may not be joined to anything with AND (`(A OR B)
/// AND C`, `A OR B AND C` and `A AND (B OR C)` are refused: write `(A AND C) OR (B AND C)`).
/// LIKE takes a quoted pattern whose wildcards (* or %, alike) stand at the end only, or at both
/// ends only.
///
/// Comparisons: text with text, and LIKE, ignore ASCII letter case; numbers compare
/// numerically; a text field against a number (or a number field against a quoted text)
/// compares numerically when the text is a number and does not match otherwise; a date field,
/// or a text field holding a date, compares with a date as dates. A Null field matches no
/// clause, not even `<>`.
///
/// Malformed criteria, an unknown field or a bad LIKE pattern raise 3001 with a description that
/// names the criteria and the position (0-based offset) of the fault; the filter in force stays.
class Recordset : public HostObject<Recordset> {
 public:
  using Row = std::vector<Variant>;

  static const MemberTable<Recordset>& members();

  Recordset(std::vector<std::string> columns, std::vector<Row> rows);
  ~Recordset() override;
  static std::shared_ptr<Recordset> create(std::vector<std::string> columns, std::vector<Row> rows);

  /// A record set over what a query read (see `Database::query`), taking its rows.
  static std::shared_ptr<Recordset> fromResult(QueryResult result);

  // Direct access for the simulated host; the plug-in goes through `invoke`.
  const std::vector<std::string>& columns() const { return columns_; }
  /// The position of a column, its name matched without case.
  std::optional<size_t> findColumn(std::string_view name) const;
  /// All rows, the filter ignored.
  const std::vector<Row>& rows() const { return rows_; }

  bool eof() const;
  bool bof() const;
  /// Rows that pass the filter.
  int32_t recordCount() const { return static_cast<int32_t>(visible_.size()); }
  /// Raises 3021 when there is no current record (for MoveFirst and MoveLast: when no record
  /// passes the filter).
  void moveFirst();
  void moveLast();
  void moveNext();
  void movePrevious();

  /// A field of the current record; raises 3021 without a current record and 3265 for an
  /// unknown field.
  const Variant& value(size_t column) const;
  const Variant& value(std::string_view column) const;

  /// Applies criteria (see the class comment); "" removes the filter. Either way the first
  /// passing record becomes current.
  void setFilter(std::string_view criteria);
  void clearFilter() { setFilter({}); }
  /// The criteria in force, "" when none.
  const std::string& filter() const { return filterText_; }

 private:
  friend class RecordsetFields;
  size_t columnIndex(const Variant& nameOrPosition) const;
  ObjectPtr fieldObject(size_t column);
  ObjectPtr fieldsObject();

  std::vector<std::string> columns_;
  std::vector<Row> rows_;
  std::string filterText_;
  std::unique_ptr<detail::FilterNode> filterTree_;
  std::vector<size_t> visible_;  // indexes into rows_ that pass the filter
  // Position in visible_: -1 before the first (BOF), visible_.size() after the last (EOF).
  std::ptrdiff_t position_ = 0;
};

/// The Fields collection of a record set. Members: default/"Item" (name or 0-based position),
/// "Count".
class RecordsetFields : public HostObject<RecordsetFields> {
 public:
  static const MemberTable<RecordsetFields>& members();
  explicit RecordsetFields(std::shared_ptr<Recordset> owner) : owner_(std::move(owner)) {}

 private:
  std::shared_ptr<Recordset> owner_;
};

/// One field of a record set, bound to its column: its value follows the current record.
/// Members: default/"Value" (read only), "Name".
class RecordsetField : public HostObject<RecordsetField> {
 public:
  static const MemberTable<RecordsetField>& members();
  RecordsetField(std::shared_ptr<Recordset> owner, size_t column)
      : owner_(std::move(owner)), column_(column) {}

 private:
  std::shared_ptr<Recordset> owner_;
  size_t column_;
};

}  // namespace mto::sim
