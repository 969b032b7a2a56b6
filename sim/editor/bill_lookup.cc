#include <cmath>
#include <string>

#include "automation/ascii.h"
#include "automation/convert.h"
#include "automation/error.h"
#include "sim/editor/bill_editor.h"
#include "sim/editor/bill_editor_support.h"

// The editor's record look-up: a look-up field's stored value finds one record of the field's
// source table by its ID column.

namespace mto::sim {

using automation::raiseError;
using namespace editor_detail;

namespace {

/// An ID as the look-up compares it: a whole number as an integer so that it matches integer ID
/// columns, other numbers as reals, anything else as its display text.
SqlValue idValue(const Variant& id) {
  if (automation::isNumeric(id)) {
    double d = automation::toDouble(id);
    if (d == std::trunc(d) && std::fabs(d) < 9.0e15) return static_cast<int64_t>(d);
    return d;
  }
  return displayText(id);
}

}  // namespace

std::shared_ptr<Dictionary> BillEditor::fetchRecord(std::string_view table, std::string_view idColumn,
                                                    const Variant& id) const {
  auto found = db_->findRecord(table, idColumn, idValue(id), kSource);
  if (!found) return nullptr;
  auto record = Dictionary::create();
  for (const auto& [column, value] : *found) record->set(column, value);
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
  std::string numberColumn =
      automation::ascii::equalsIgnoreCase(textOf(definition, "FSRCTableName"), "t_submessage") ? "FID"
                                                                                               : "FNumber";
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
