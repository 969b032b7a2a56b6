#include "sim/editor/bill_store.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "automation/convert.h"
#include "automation/dates.h"
#include "sim/db/transaction.h"

namespace mto::sim {

namespace {

/// The host's storing of a cell value: nothing (Empty, Null, Missing, "") is NULL, Booleans are
/// 1 or 0, dates are 'YYYY-MM-DD' texts.
SqlValue storedValue(const Variant& value) {
  switch (value.type()) {
    case automation::VarType::Empty:
    case automation::VarType::Null:
    case automation::VarType::Missing:
      return std::monostate{};
    case automation::VarType::Boolean:
      return int64_t{value.boolValue() ? 1 : 0};
    case automation::VarType::Integer:
      return int64_t{value.integerValue()};
    case automation::VarType::Long:
      return int64_t{value.longValue()};
    case automation::VarType::Double:
      return value.doubleValue();
    case automation::VarType::Date: {
      auto p = automation::dateParts(value.dateValue());
      char text[16];
      std::snprintf(text, sizeof text, "%04d-%02d-%02d", p.year, p.month, p.day);
      return std::string(text);
    }
    case automation::VarType::String:
      if (value.stringValue().empty()) return std::monostate{};
      return value.stringValue();
    default:
      return automation::toText(value);
  }
}

template <size_t N>
std::vector<SqlValue> rowValues(const BillEditor& editor, const std::array<std::string_view, N>& columns,
                                int32_t row) {
  std::vector<SqlValue> values;
  values.reserve(N);
  for (auto column : columns) values.push_back(storedValue(editor.value(column, row)));
  return values;
}

}  // namespace

int64_t storeBill(Database& db, const BillEditor& editor) {
  auto head = rowValues(editor, kMtoChangeHeadColumns, 0);
  std::vector<std::vector<SqlValue>> entries;
  entries.reserve(static_cast<size_t>(std::max(editor.rowCount(), 0)));
  for (int32_t row = 1; row <= editor.rowCount(); ++row)
    entries.push_back(rowValues(editor, kMtoChangeEntryColumns, row));
  Transaction transaction(db);
  int64_t id = db.insertMtoChange(head, entries);
  transaction.commit();
  return id;
}

}  // namespace mto::sim
