#include "sim/editor/bill_store.h"

#include <array>
#include <string>

#include "automation/convert.h"
#include "automation/dates.h"

namespace mto::sim {

namespace {

constexpr std::array kHeadColumns = {"FBillNo", "FDate",   "FStatus", "FTranType",   "FHSID",
                                     "FCustID", "FDeptID", "FEmpID",  "FExplanation"};
constexpr std::array kEntryColumns = {
    "FItemID",  "FAuxPropID", "FUnitID",     "FStockID",       "FSPID",         "FBatchNo",
    "FKFDate",  "FKFPeriod",  "FPeriodDate", "FFromMTONo",     "FToMTONo",      "FQty",
    "FBaseQty", "FSecQty",    "FChangeQty",  "FChangeBaseQty", "FChangeSecQty", "FNote"};

void bindValue(sqlite::Statement& statement, int index, const Variant& value) {
  switch (value.type()) {
    case automation::VarType::Empty:
    case automation::VarType::Null:
    case automation::VarType::Missing:
      statement.bindNull(index);
      return;
    case automation::VarType::Boolean:
      statement.bind(index, int64_t{value.boolValue() ? 1 : 0});
      return;
    case automation::VarType::Integer:
      statement.bind(index, int64_t{value.integerValue()});
      return;
    case automation::VarType::Long:
      statement.bind(index, int64_t{value.longValue()});
      return;
    case automation::VarType::Double:
      statement.bind(index, value.doubleValue());
      return;
    case automation::VarType::Date: {
      auto p = automation::dateParts(value.dateValue());
      char text[16];
      std::snprintf(text, sizeof text, "%04d-%02d-%02d", p.year, p.month, p.day);
      statement.bind(index, std::string_view(text));
      return;
    }
    case automation::VarType::String:
      if (value.stringValue().empty())
        statement.bindNull(index);
      else
        statement.bind(index, value.stringValue());
      return;
    default:
      statement.bind(index, automation::toText(value));
      return;
  }
}

template <size_t N>
std::string insertSql(std::string_view table, const std::array<const char*, N>& columns, bool withEntry) {
  std::string names = withEntry ? "FInterID, FEntryID" : "";
  std::string marks = withEntry ? "?, ?" : "";
  for (const char* c : columns) {
    if (!names.empty()) {
      names += ", ";
      marks += ", ";
    }
    names += c;
    marks += "?";
  }
  return "INSERT INTO " + std::string(table) + " (" + names + ") VALUES (" + marks + ")";
}

}  // namespace

int64_t storeBill(Database& db, const BillEditor& editor) {
  auto& connection = db.connection();
  connection.exec("BEGIN");
  try {
    auto head = connection.prepare(insertSql("t_MTOChange", kHeadColumns, false));
    int index = 1;
    for (const char* column : kHeadColumns) bindValue(head, index++, editor.value(column, 0));
    head.step();
    int64_t id = connection.lastInsertRowId();
    auto entry = connection.prepare(insertSql("t_MTOChangeEntry", kEntryColumns, true));
    for (int32_t row = 1; row <= editor.rowCount(); ++row) {
      entry.reset();
      entry.bind(1, id).bind(2, int64_t{row});
      index = 3;
      for (const char* column : kEntryColumns) bindValue(entry, index++, editor.value(column, row));
      entry.step();
    }
    connection.exec("COMMIT");
    return id;
  } catch (...) {
    connection.exec("ROLLBACK");
    throw;
  }
}

}  // namespace mto::sim
