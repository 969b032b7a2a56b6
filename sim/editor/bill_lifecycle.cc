#include <cstdio>
#include <string>
#include <vector>

#include "automation/dates.h"
#include "automation/error.h"
#include "sim/editor/bill_editor.h"
#include "sim/editor/bill_editor_support.h"

// The bill's life in the editor window: a new bill, a stored bill opened, the bill copied, a bill
// generated from data, and a row copied by the user. Each flow sets the bill up first and raises
// its events after, in the order the host raises them.

namespace mto::sim {

using automation::raiseError;
using automation::errc::kInvalidCall;
using automation::errc::kSubscriptOutOfRange;

using namespace editor_detail;

namespace {

/// A copy of a cell's entries; `keepModified` false clears its modified mark.
std::shared_ptr<Dictionary> copyCell(const Dictionary& cell, bool keepModified) {
  auto copy = Dictionary::create();
  for (const auto& [entry, value] : cell.entries()) copy->set(entry, value);
  if (!keepModified) copy->set("FModify", int16_t{0});
  return copy;
}

/// A stored column value as the editor holds it: NULL is an empty cell, a date field's
/// 'YYYY-MM-DD' text a date.
Variant loadedValue(const Dictionary& definition, const Variant& stored) {
  if (stored.isNull()) return Variant("");
  if (numberEntry(definition, "FCtlType") == ctl_type::kDate && stored.isString()) {
    int year = 0, month = 0, day = 0;
    char rest = 0;
    if (std::sscanf(stored.stringValue().c_str(), "%4d-%2d-%2d%c", &year, &month, &day, &rest) == 3)
      return Variant(automation::makeDate(year, month, day));
  }
  return stored;
}

}  // namespace

void BillEditor::newBill() {
  replaceData(newData());
  operationMode_ = 1;
  std::vector<Variant> none;
  raise(host::events::kBillAfterNewBill, none);
  std::vector<Variant> bar{Variant(ObjectPtr(toolbar_))};
  raise(host::events::kBillBarInitialize, bar);
  std::vector<Variant> menus{Variant(ObjectPtr(menuBar_))};
  raise(host::events::kBillMenuBarInitialize, menus);
}

void BillEditor::loadBill(int64_t interId, int32_t operationMode) {
  auto stored = db_->findMtoChange(interId);
  if (!stored)
    raiseError(kInvalidCall, "No MTO change bill with FInterID " + std::to_string(interId),
               std::string(kSource));
  auto previous = data_;
  auto previousDisplayed = displayed_;
  replaceData(newData());
  try {
    auto fill = [&](const auto& columns, const std::vector<Variant>& values, int32_t row) {
      for (size_t i = 0; i < columns.size() && i < values.size(); ++i) {
        auto def = definition(columns[i]);
        if (!def || !cellOf(*def, row)) continue;
        setCell(columns[i], row, loadedValue(*def, values[i]));
      }
    };
    fill(kMtoChangeHeadColumns, stored->head, 0);
    for (const auto& entry : stored->entries) fill(kMtoChangeEntryColumns, entry, addRow());
  } catch (...) {
    data_ = previous;
    displayed_ = previousDisplayed;
    throw;
  }
  operationMode_ = operationMode;
  std::vector<Variant> none;
  raise(host::events::kBillAfterLoadBill, none);
}

void BillEditor::copyBill() {
  auto copy = newData();
  auto copyPage = [&](const Dictionary& cells) {
    auto out = Dictionary::create();
    for (const auto& [key, value] : cells.entries()) {
      auto c = asDictionary(&value);
      out->set(key, c ? Variant(ObjectPtr(copyCell(*c, false))) : value);
    }
    return out;
  };
  if (auto headCells = head()) copy->set("Page1", ObjectPtr(copyPage(*headCells)));
  for (int32_t page = 2; page <= 3; ++page) {
    auto copiedRows = Vector::create();
    if (auto pageRows = rows(page))
      for (const auto& row : pageRows->items()) {
        auto cells = asDictionary(&row);
        copiedRows->add(cells ? Variant(ObjectPtr(copyPage(*cells))) : row);
      }
    copy->set("Page" + std::to_string(page), ObjectPtr(copiedRows));
  }
  // Entries of the data beside the pages ("NewBillHasData", "vctDoAction") travel with the copy.
  for (const auto& [key, value] : data_->entries())
    if (!key.starts_with("Page")) copy->set(key, value);
  auto shown = displayed_;
  replaceData(copy);
  displayed_ = std::move(shown);
  if (auto def = definition("FBillNo"))
    if (cellOf(*def, 0)) setCell("FBillNo", 0, "", "", "");
  operationMode_ = 1;
  std::vector<Variant> none;
  raise(host::events::kBillAfterCopyBill, none);
}

std::vector<int32_t> BillEditor::fillBill(const std::vector<FillRow>& fillRows,
                                          const std::optional<std::vector<std::string>>& doActionFields) {
  data_->set("NewBillHasData", true);
  if (doActionFields) setDoActionFields(*doActionFields);
  // The rows arrive together: every row is on the page before the first AfterFillRow, so a handler
  // can tell the last row by the page's size.
  std::vector<int32_t> filled;
  for (const auto& fillRow : fillRows) {
    int32_t row = addRow();
    filled.push_back(row);
    for (const auto& c : fillRow) setCell(c.key, row, c.value, c.display, c.number);
  }
  for (int32_t row : filled) {
    std::vector<Variant> args{Variant(row), Variant(ObjectPtr(rows())), rows()->at(row),
                              Variant(ObjectPtr(Dictionary::create()))};
    raise(host::events::kBillAfterFillRow, args);
  }
  return filled;
}

std::optional<int32_t> BillEditor::userCopyRow(int32_t row) {
  if (row < 1 || row > rowCount())
    raiseError(kSubscriptOutOfRange, "No entry row " + std::to_string(row), std::string(kSource));
  if (userClickMenu("mnuCopyRow")) return std::nullopt;
  // The click's handler may have changed the rows; copy the row as it stands now.
  auto source = row <= rowCount() ? asDictionary(&rows()->at(row)) : nullptr;
  if (!source) raiseError(kSubscriptOutOfRange, "No entry row " + std::to_string(row), std::string(kSource));
  int32_t newRow = addRow();
  auto target = asDictionary(&rows()->at(newRow));
  for (const auto& [key, value] : source->entries()) {
    auto c = asDictionary(&value);
    if (!c) continue;
    auto copy = copyCell(*c, true);
    copy->set("FModify", int16_t{1});
    target->set(key, ObjectPtr(copy));
    if (auto def = definition(key)) refreshDisplay(*def, newRow, *copy);
  }
  std::vector<Variant> args{Variant(int16_t{0}), Variant(newRow)};
  raise(host::events::kBillAddNewRow, args);
  return newRow;
}

}  // namespace mto::sim
