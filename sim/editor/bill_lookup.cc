#include <cmath>
#include <string>

#include "automation/convert.h"
#include "automation/error.h"
#include "sim/components/connection.h"
#include "sim/editor/bill_editor.h"
#include "sim/editor/bill_editor_support.h"

// The editor's record look-up: a look-up field's stored value finds one record of the field's
// source table by its ID column.

namespace mto::sim {

using automation::raiseError;
using namespace editor_detail;

namespace {

/// ASCII lower case, for comparing table names as the database does.
std::string lower(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

/// A table or column name as an SQL identifier, whatever characters the template gives it.
std::string quoteIdentifier(std::string_view name) {
  std::string out = "\"";
  for (char c : name) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

/// Binds an ID as ?1: a whole number as an integer so that it matches integer ID columns, other
/// numbers as reals, anything else as its display text.
void bindId(sqlite::Statement& statement, const Variant& id) {
  if (automation::isNumeric(id)) {
    double d = automation::toDouble(id);
    if (d == std::trunc(d) && std::fabs(d) < 9.0e15)
      statement.bind(1, static_cast<int64_t>(d));
    else
      statement.bind(1, d);
    return;
  }
  statement.bind(1, displayText(id));
}

}  // namespace

std::shared_ptr<Dictionary> BillEditor::fetchRecord(std::string_view table, std::string_view idColumn,
                                                    const Variant& id, int* matches) const {
  std::string sql =
      "SELECT * FROM " + quoteIdentifier(table) + " WHERE " + quoteIdentifier(idColumn) + " = ?1";
  std::shared_ptr<Recordset> records;
  try {
    auto statement = db_->connection().prepare(sql);
    bindId(statement, id);
    records = Recordset::fromStatement(statement);
  } catch (const sqlite::Error& error) {
    raiseError(kSqlError, "SQL error: " + error.message() + "\r\nSQL: " + sql, std::string(kSource));
  }
  if (matches) *matches = static_cast<int>(records->rows().size());
  if (records->rows().empty()) return nullptr;
  auto record = Dictionary::create();
  const auto& first = records->rows().front();
  for (size_t i = 0; i < records->columns().size(); ++i) record->set(records->columns()[i], first[i]);
  return record;
}

std::shared_ptr<Dictionary> BillEditor::resolveLookup(const Dictionary& definition, Dictionary& c) const {
  if (!isLookUp(definition)) return nullptr;
  std::shared_ptr<Dictionary> record;
  const Variant& stored = c.at("FFLD");
  if (hasValue(stored))
    record = fetchRecord(textOf(definition, "FSRCTableName"), textOf(definition, "FSRCFieldName"), stored);
  if (!record) {
    c.set("FDSP", "");
    c.set("FFND", "");
    return nullptr;
  }
  std::string numberColumn = lower(textOf(definition, "FSRCTableName")) == "t_submessage" ? "FID" : "FNumber";
  c.set("FDSP", displayText(record->at("FName")));
  c.set("FFND", displayText(record->at(numberColumn)));
  return record;
}

std::shared_ptr<Dictionary> BillEditor::lookupRecord(std::string_view key, int32_t row) const {
  auto def = requireDefinition(key);
  auto c = requireCell(*def, row);
  std::string table = textOf(*def, "FSRCTableName");
  std::string idColumn = textOf(*def, "FSRCFieldName");
  const Variant& stored = c->at("FFLD");
  if (table.empty() || idColumn.empty() || !hasValue(stored)) return Dictionary::create();
  auto record = fetchRecord(table, idColumn, stored);
  return record ? record : Dictionary::create();
}

}  // namespace mto::sim
