#include "bill/field_change.h"

#include <algorithm>
#include <array>
#include <map>

#include "automation/ascii.h"
#include "automation/convert.h"
#include "automation/dates.h"
#include "automation/error.h"
#include "automation/thread_state.h"
#include "bill/bill_events.h"
#include "bill/stock_on_hand.h"
#include "host/collections.h"
#include "host/contract.h"
#include "support/bill_fields.h"
#include "support/login_environment.h"

namespace mto::bill {

using automation::call;
using automation::get;
using automation::Variant;
using host::DictionaryRef;
using host::VectorRef;
using support::InstanceState;
using support::SetBillField;

namespace {

/// The row's shelf-life period in days; an empty period is 0.
double rowPeriod(const ObjectPtr& bill, int32_t row) {
  return automation::leadingNumber(GetDataFldValue(bill, "FKFPeriod", row, "FFLD", ""));
}

/// A new period typed by the user, as a number. Clearing the period leaves it empty, which counts
/// as 0 days here as everywhere else a period is read.
double newPeriod(const Variant& value) {
  if (value.isEmpty()) return 0;
  if (value.isString() && value.stringValue().find_first_not_of(" \t") == std::string::npos) return 0;
  return automation::toDouble(value);
}

/// A date in the bill date format (year, month and day joined by the system's date separator).
std::string billDateText(const Variant& date) {
  if (!automation::isDate(date)) return automation::toText(date);
  std::string pattern = support::GetDateFormatString();
  std::string native;
  for (size_t i = 0; i < pattern.size();) {
    if (pattern.compare(i, 4, "YYYY") == 0) {
      native += "yyyy";
      i += 4;
    } else if (pattern.compare(i, 2, "MM") == 0) {
      native += "MM";
      i += 2;
    } else if (pattern.compare(i, 2, "DD") == 0) {
      native += "dd";
      i += 2;
    } else {
      native += pattern[i++];
    }
  }
  return automation::formatDate(automation::toDate(date), native);
}

// Quantity fields that take their material's decimals; `FBaseQty` is deliberately not among them.
constexpr std::array<std::string_view, 5> kDecimalFields = {"FChangeBaseQty", "FChangeSecQty", "FChangeQty",
                                                            "FQty", "FSecQty"};

/// The "FQtyDecimal" entry of each row's material record, as `GetLookupRecord` gives it. A row's
/// look-up record is the record of its material, so within one pass a material already seen gives
/// its entry without another look-up: a large bill holds many rows of few materials, and each
/// look-up is a query on the host's side. A stored value other than a whole number or a text is
/// looked up every time.
class MaterialDecimals {
 public:
  explicit MaterialDecimals(const ObjectPtr& bill) : bill_(bill) {}

  Variant of(int32_t row) {
    Variant material = call(bill_, host::member::kReadFieldValue, "FItemID", row, int32_t{1});
    std::string known;
    if (material.type() == automation::VarType::Long || material.type() == automation::VarType::Integer)
      known = "L" + automation::toText(material);
    else if (material.isString())
      known = "S" + material.stringValue();
    if (!known.empty())
      if (auto it = byMaterial_.find(known); it != byMaterial_.end()) return it->second;
    DictionaryRef record(call(bill_, host::member::kGetLookupRecord, "FItemID", row));
    Variant decimals = record.getValue("FQtyDecimal", int32_t{0});
    if (!known.empty()) byMaterial_.emplace(std::move(known), decimals);
    return decimals;
  }

 private:
  const ObjectPtr& bill_;
  std::map<std::string, Variant> byMaterial_;
};

void materialChanged(InstanceState& self, const ObjectPtr& bill, const Variant& value, int32_t row) {
  if (automation::leadingNumber(value) == 0) {
    ClearSpecifiedRow(bill, 2, row, false);
    ClearFieldInfo(self, "FItemID", row);
    return;
  }
  SetBillField(bill, "FAuxPropID", row, int16_t{0}, false, false, "");
  InitKFDates(self, row);
  for (const char* key : {"FQty", "FBaseQty", "FSecQty", "FFromMTONo", "FChangeQty", "FChangeBaseQty",
                          "FChangeSecQty", "FToMTONo"})
    SetBillField(bill, key, row, "", true, false, "");
  SetQty(self, row);
  ApplyQtyDecimals(self);
}

/// Shelf-life date fields move together. Returns false when the handler ends without re-reading the
/// quantity on hand.
bool shelfLifeChanged(const ObjectPtr& bill, std::string_view key, const Variant& value, int32_t row) {
  if (key == "FKFDate") {
    if (!automation::isDate(value)) return false;
    SetBillField(bill, "FPeriodDate", row, SafeDateAdd("d", rowPeriod(bill, row), automation::toDate(value)),
                 true, false, "");
  } else if (key == "FKFPeriod") {
    Variant start = GetDataFldValue(bill, "FKFDate", row, "FFLD", "");
    if (!automation::isDate(start)) return false;
    SetBillField(bill, "FPeriodDate", row, SafeDateAdd("d", newPeriod(value), automation::toDate(start)),
                 true, false, "");
  } else {  // FPeriodDate
    if (!automation::isDate(value)) return false;
    SetBillField(bill, "FKFDate", row, SafeDateAdd("d", -rowPeriod(bill, row), automation::toDate(value)),
                 true, false, "");
  }
  return true;
}

}  // namespace

void m_BillInterface_Change(InstanceState& self, const ObjectPtr& dct, const ObjectPtr& dctFld, int32_t,
                            int32_t Row, automation::Arg&) {
  support::LogScope scope("m_BillInterface_Change");
  if (Row <= 0) {
    scope.succeed();
    return;
  }
  const ObjectPtr& bill = self.m_BillInterface;
  std::string key = automation::toText(DictionaryRef(dct).item("FKey"));
  if (key == "FItemID") {
    materialChanged(self, bill, DictionaryRef(dctFld).item("FFLD"), Row);
  } else if (key == "FFromMTONo" || key == "FToMTONo" || key == "FStockID" || key == "FSPID" ||
             key == "FBatchNo" || key == "FAuxPropID") {
    SetQty(self, Row);
  } else if (key == "FKFDate" || key == "FKFPeriod" || key == "FPeriodDate") {
    if (shelfLifeChanged(bill, key, DictionaryRef(dctFld).item("FFLD"), Row)) SetQty(self, Row);
  } else if (key == "FChangeQty") {
    ApplyQtyDecimals(self);
  }
  scope.succeed();
}

void InitKFDates(InstanceState& self, int32_t row) {
  const ObjectPtr& bill = self.m_BillInterface;
  DictionaryRef record(call(bill, host::member::kGetLookupRecord, "FItemID", row));
  if (!automation::toBoolean(record.getValue("FISKFPeriod", false))) return;
  if (automation::isDate(call(bill, host::member::kReadFieldValue, "FKFDate", row, int32_t{1}))) return;
  automation::Date now = automation::platform().now();
  call(bill, host::member::kWriteFieldValue, "FKFDate", billDateText(automation::today()), row);
  double period =
      automation::leadingNumber(call(bill, host::member::kReadFieldValue, "FKFPeriod", row, int32_t{1}));
  call(bill, host::member::kWriteFieldValue, "FPeriodDate", billDateText(SafeDateAdd("d", period, now)), row);
}

void ApplyQtyDecimals(InstanceState& self) {
  const ObjectPtr& bill = self.m_BillInterface;
  int32_t rows = VectorRef(call(bill, "Data", "Page2")).upperBound();
  if (rows < 1) return;
  // One pass over the rows, with each field's definition read once. Every column total is set once
  // at the end rather than after every row (which would cost rows squared); when the pass itself
  // gave every row of the column its decimals, the largest of those is the column's, and the cells
  // need not be read back.
  struct Column {
    DictionaryRef definition;
    bool onEntryPage = false;
    bool touched = false;
    bool everyRowSet = true;
    double largest = 0;
  };
  std::array<Column, kDecimalFields.size()> columns;
  for (size_t f = 0; f < kDecimalFields.size(); ++f) {
    columns[f].definition = support::MappedFieldDefinition(bill, kDecimalFields[f]);
    if (columns[f].definition)
      columns[f].onEntryPage = automation::toText(columns[f].definition.getValue("FPage", int32_t{2})) == "2";
  }
  MaterialDecimals materialDecimals(bill);
  for (int64_t wide = 1; wide <= rows; ++wide) {
    const auto i = static_cast<int32_t>(wide);
    Variant decimals = materialDecimals.of(i);
    if (automation::toText(decimals).empty()) {
      for (auto& column : columns) column.everyRowSet = false;
      continue;
    }
    int32_t places = automation::toLong(decimals);
    for (auto& column : columns) {
      if (support::ApplyFieldDecimals(bill, column.definition, places, i)) {
        column.touched = true;
        column.largest = std::max(column.largest, static_cast<double>(places));
      } else {
        column.everyRowSet = false;
      }
    }
  }
  for (size_t f = 0; f < kDecimalFields.size(); ++f) {
    const Column& column = columns[f];
    if (!column.touched) continue;
    if (column.everyRowSet && column.onEntryPage)
      support::SetColumnTotalDecimals(bill, column.definition, column.largest);
    else
      support::SetColumnTotalDecimals(bill, kDecimalFields[f]);
  }
}

void ClearSpecifiedRow(const ObjectPtr& bill, int32_t page, int32_t row, bool clearAll) {
  try {
    if (!bill) return;
    std::string pageKey = "Page" + std::to_string(page);
    DictionaryRef template_(call(bill, "TableInfo"));
    if (!template_.lookup(pageKey)) return;
    if (row < 1 || row > VectorRef(call(bill, "Data", pageKey)).upperBound()) return;
    Variant pageFields = template_.item(pageKey);
    if (!pageFields.isObject() || !pageFields.objectValue()) return;
    DictionaryRef fields(pageFields);
    int32_t count = fields.count();
    VectorRef keys(fields.items());
    for (int64_t i = 1; i <= count; ++i) {
      std::string key = automation::toText(keys.item(static_cast<int32_t>(i)));
      DictionaryRef definition(template_.item(key));
      bool clearable = automation::toDouble(definition.getValue("FTabIndex", int32_t{0})) > 0 &&
                       (automation::toLong(definition.getValue("FVisible", int32_t{0})) & 1) > 0;
      if (!clearable && !clearAll) continue;
      DictionaryRef cell(call(bill, "GetDataFld", definition.object(), row));
      if (!cell) automation::raiseError(automation::errc::kObjectNotSet);
      cell.setItem("FFLD", "");
      cell.setItem("FDSP", "");
      cell.setItem("FFND", "");
      call(bill, "SetText", definition.object(), "", row);
    }
  } catch (...) {
    automation::reraiseFrom("T8MTOChange.modBillOpt::ClearSpecifiedRow", 20000,
                            automation::Description::Kept);
  }
}

void ClearFieldInfo(InstanceState& self, std::string_view key, int32_t row) {
  try {
    if (automation::ascii::equalsIgnoreCase(key, "FITEMID"))
      SetBillField(self.m_BillInterface, "FChangeQty", row, "", true, false, "");
  } catch (...) {
    automation::reraiseFrom("T8MTOChange.clsMTOChange.ClearFieldInfo");
  }
}

}  // namespace mto::bill
