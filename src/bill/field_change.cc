#include "bill/field_change.h"

#include <algorithm>
#include <array>

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

double leadingNumberOf(const Variant& v) { return automation::leadingNumber(std::string_view(automation::toText(v))); }

/// The row's shelf-life period in days; an empty period is 0.
double rowPeriod(const ObjectPtr& bill, int32_t row) {
  return leadingNumberOf(GetDataFldValue(bill, "FKFPeriod", row, "FFLD", ""));
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
constexpr std::array<std::string_view, 5> kDecimalFields = {"FChangeBaseQty", "FChangeSecQty", "FChangeQty", "FQty",
                                                            "FSecQty"};

void materialChanged(InstanceState& self, const ObjectPtr& bill, const Variant& value, int32_t row) {
  if (leadingNumberOf(value) == 0) {
    ClearSpecifiedRow(bill, 2, row, false);
    ClearFieldInfo(self, "FItemID", row);
    return;
  }
  SetBillField(bill, "FAuxPropID", row, int16_t{0}, false, false, "");
  InitKFDates(self, row);
  for (const char* key :
       {"FQty", "FBaseQty", "FSecQty", "FFromMTONo", "FChangeQty", "FChangeBaseQty", "FChangeSecQty", "FToMTONo"})
    SetBillField(bill, key, row, "", true, false, "");
  SetQty(self, row);
  ApplyQtyDecimals(self);
}

/// Shelf-life date fields move together. Returns false when the handler ends without re-reading the
/// quantity on hand.
bool shelfLifeChanged(const ObjectPtr& bill, std::string_view key, const Variant& value, int32_t row) {
  if (key == "FKFDate") {
    if (!automation::isDate(value)) return false;
    SetBillField(bill, "FPeriodDate", row, SafeDateAdd("d", rowPeriod(bill, row), automation::toDate(value)), true,
                 false, "");
  } else if (key == "FKFPeriod") {
    Variant start = GetDataFldValue(bill, "FKFDate", row, "FFLD", "");
    if (!automation::isDate(start)) return false;
    SetBillField(bill, "FPeriodDate", row, SafeDateAdd("d", newPeriod(value), automation::toDate(start)), true, false,
                 "");
  } else {  // FPeriodDate
    if (!automation::isDate(value)) return false;
    SetBillField(bill, "FKFDate", row, SafeDateAdd("d", -rowPeriod(bill, row), automation::toDate(value)), true,
                 false, "");
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
  } else if (key == "FFromMTONo" || key == "FToMTONo" || key == "FStockID" || key == "FSPID" || key == "FBatchNo" ||
             key == "FAuxPropID") {
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
  double period = leadingNumberOf(call(bill, host::member::kReadFieldValue, "FKFPeriod", row, int32_t{1}));
  call(bill, host::member::kWriteFieldValue, "FPeriodDate", billDateText(SafeDateAdd("d", period, now)), row);
}

void ApplyQtyDecimals(InstanceState& self) {
  const ObjectPtr& bill = self.m_BillInterface;
  int32_t rows = VectorRef(call(bill, "Data", "Page2")).upperBound();
  // Each row's cells get their decimals first; every column total is set once at the end, from the
  // largest decimals of its column, rather than after every row (which would cost rows squared).
  std::array<bool, kDecimalFields.size()> touched{};
  for (int32_t i = 1; i <= rows; ++i) {
    DictionaryRef record(call(bill, host::member::kGetLookupRecord, "FItemID", i));
    Variant decimals = record.getValue("FQtyDecimal", int32_t{0});
    if (automation::toText(decimals).empty()) continue;
    int32_t places = automation::toLong(decimals);
    for (size_t f = 0; f < kDecimalFields.size(); ++f) {
      int32_t row = i;
      if (support::ApplyFieldDecimals(bill, kDecimalFields[f], places, row)) touched[f] = true;
    }
  }
  for (size_t f = 0; f < kDecimalFields.size(); ++f)
    if (touched[f]) support::SetColumnTotalDecimals(bill, kDecimalFields[f]);
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
    for (int32_t i = 1; i <= count; ++i) {
      std::string key = automation::toText(keys.item(i));
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
    automation::reraiseFrom("T8MTOChange.modBillOpt::ClearSpecifiedRow", 20000, automation::Description::Kept);
  }
}

void ClearFieldInfo(InstanceState& self, std::string_view key, int32_t row) {
  try {
    std::string upper(key);
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; });
    if (upper == "FITEMID") SetBillField(self.m_BillInterface, "FChangeQty", row, "", true, false, "");
  } catch (...) {
    automation::reraiseFrom("T8MTOChange.clsMTOChange.ClearFieldInfo");
  }
}

}  // namespace mto::bill
