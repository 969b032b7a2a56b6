#include "support/bill_fields.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "automation/ascii.h"
#include "automation/convert.h"
#include "automation/error.h"
#include "automation/platform.h"
#include "automation/thread_state.h"
#include "host/collections.h"
#include "support/event_answers.h"
#include "support/login_environment.h"
#include "support/system_profile.h"

namespace mto::support {

using automation::call;
using automation::get;
using automation::put;
using host::DictionaryRef;
using host::VectorRef;

std::optional<std::string> plainNumberText(const Variant& value) {
  switch (value.type()) {
    case automation::VarType::Integer:
    case automation::VarType::Long:
      return automation::toText(value);
    case automation::VarType::Double: {
      double d = value.doubleValue();
      if (!std::isfinite(d) || d != std::trunc(d) || std::fabs(d) > 9.0e15) return std::nullopt;
      return automation::toText(value);
    }
    case automation::VarType::String: {
      std::string_view s = value.stringValue();
      std::string_view digits = (!s.empty() && s[0] == '-') ? s.substr(1) : s;
      if (digits.empty() || digits.size() > 18 ||
          !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
      return std::string(s);
    }
    default:
      return std::nullopt;
  }
}

namespace {

struct BillFieldState {
  std::string dateFormat;
};

std::string_view trimBlanks(std::string_view s) {
  auto first = s.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

/// The number a value's text reads as (its leading number).
double numberOfText(const Variant& value) {
  return automation::leadingNumber(std::string_view(automation::toText(value)));
}

/// Whether the stored value differs from the new one. Two numeric values compare by the numbers
/// their texts read as ("5" against 5.0 is no change); otherwise by the language's comparison, where
/// a Null on either side counts as a change.
bool valueChanges(const Variant& stored, const Variant& next) {
  if (automation::isNumeric(stored) && automation::isNumeric(next))
    return numberOfText(stored) != numberOfText(next);
  auto order = automation::compareVariants(stored, next);
  return !order || *order != 0;
}

/// What a base-data look-up of one value found: its display text and record number, or nothing.
struct LookupResult {
  bool found = false;
  Variant display;
  Variant number;
};

/// Looks a value up in the field's source table through the bill's data service.
LookupResult lookUp(const ObjectPtr& bill, const DictionaryRef& def, std::string_view key,
                    const Variant& value) {
  auto valueText = plainNumberText(value);
  if (!valueText) return {};
  std::string table = automation::toText(def.item("FSRCTableName"));
  std::string keyColumn = automation::ascii::equalsIgnoreCase(table, "t_submessage") ? "FID" : "FNumber";
  std::string idColumn = automation::toText(def.item("FSRCFieldName"));
  std::string sql = "Select " + keyColumn + ",FName From " + table + " Where " + idColumn + "<> 0 AND " +
                    idColumn + "=" + *valueText;
  Variant dataSrv = get(bill, "DataSrv");
  Variant records = call(dataSrv, "GetData", sql);
  if (automation::toLong(get(records, "RecordCount")) != 1) return {};
  Variant number = host::nullToDefault(get(get(records, "", keyColumn), "Value"), "");
  DictionaryRef data(get(bill, "Data"));
  bool showNumber = !automation::equalsNumber(data.getValue("FIsSelBill", int32_t{0}), 0);
  bool numberedClass = automation::equalsNumber(get(dataSrv, "ClassTypeID"), kNumberShownClassType);
  if (showNumber && numberedClass && automation::ascii::equalsIgnoreCase(key, "FHSID"))
    return {true, number, number};
  return {true, host::nullToDefault(get(get(records, "", "FName"), "Value"), ""), number};
}

bool isAccountField(std::string_view key) {
  return key == "FComID" || key == "FCustID" || key == "FSupplyID" || key == "FCustomer";
}

}  // namespace

void SetBillField(const ObjectPtr& bill, std::string_view key, int32_t row, const Variant& value,
                  bool refresh, bool keepUnmodified, std::string_view displayOverride) {
  DictionaryRef def(FieldInfoByKey(bill, key));
  if (!def) automation::raiseError(automation::errc::kObjectNotSet);
  int32_t page = automation::toLong(def.item("FPage"));
  int32_t firstRow = row;
  int32_t lastRow = row;
  if (page > 1 && row == -1) {
    firstRow = 1;
    lastRow = VectorRef(call(bill, "Data", "Page" + std::to_string(page))).upperBound();
  }
  // The definition, and the look-up of the one value written, are the same for every row.
  bool unitField = automation::equalsNumber(def.getValue("FLookUpClassID", int32_t{0}), 7);
  bool plainControl = automation::equalsNumber(def.item("FCtlType"), 8);
  Variant sourceType = def.getValue("FSourceType");
  bool lookUpField = !plainControl && automation::equalsNumber(sourceType, 1);
  std::optional<LookupResult> lookup;
  // Counted in 64 bits: a row at the top of the 32-bit range must end the loop, not wrap it.
  for (int64_t wide = firstRow; wide <= lastRow; ++wide) {
    const auto r = static_cast<int32_t>(wide);
    Variant cellValue = call(bill, "GetDataFld", def.object(), r);
    if (!cellValue.isObject() || !cellValue.objectValue()) continue;
    DictionaryRef cell(cellValue);
    if (valueChanges(cell.item("FFLD"), value)) {
      if (unitField) cell.setItem("FLastUnitID", cell.item("FFLD"));
      cell.setItem("FFLD", value);
      if (!keepUnmodified) cell.setItem("FModify", int16_t{1});
      if (lookUpField) {
        if (!lookup) lookup = lookUp(bill, def, key, value);
        if (lookup->found) {
          cell.setItem("FDSP", lookup->display);
          cell.setItem("FFND", lookup->number);
        } else {
          // No record, or more than one: the value just stored goes too.
          cell.setItem("FDSP", "");
          cell.setItem("FFND", "");
          cell.setItem("FFLD", "");
        }
        if (!displayOverride.empty()) cell.setItem("FDSP", trimBlanks(displayOverride));
      }
    }
    if (refresh) {
      Variant text;
      if (plainControl)
        text = cell.item("FFLD");
      else if (automation::equalsNumber(sourceType, 1))
        text = cell.item("FDSP");
      else if (automation::equalsNumber(sourceType, 7) && isAccountField(key))
        text = cell.item("FDSP");
      else
        text = value;
      call(bill, "SetText", def.object(), text, r);
    }
  }
}

bool FieldHasValue(const ObjectPtr& bill, std::string_view key, int32_t row) {
  try {
    // One read serves both tests: a second read of the same cell could only repeat the answer.
    Variant value = call(bill, "GetFieldValue", key, row, int32_t{1});
    return numberOfText(value) != 0 && !automation::toText(value).empty();
  } catch (const automation::AutomationError& e) {
    return e.number() == kFieldValuePresentError;
  } catch (...) {
    return false;
  }
}

void ShowHideBillField(const ObjectPtr& bill, std::string_view key, bool visible, bool grid) {
  Variant def = FieldInfoByKey(bill, key);
  if (!def.isObject() || !def.objectValue()) return;
  call(bill, grid ? "ShowHideGrid" : "ShowHideField", def, visible);
}

void HideSecUnitFields(const ObjectPtr& bill, std::string_view keys) {
  try {
    if (systemProfile().SecUnit) return;
    size_t start = 0;
    while (true) {
      size_t bar = keys.find('|', start);
      ShowHideBillField(bill, keys.substr(start, bar == std::string_view::npos ? keys.npos : bar - start),
                        false, false);
      if (bar == std::string_view::npos) break;
      start = bar + 1;
    }
  } catch (...) {
  }
}

void HideDoubleUnitFields(const ObjectPtr& bill, std::string_view key1, std::string_view key2) {
  if (systemProfile().DoubleUnit) return;
  ShowHideBillField(bill, key1, false, false);
  ShowHideBillField(bill, key2, false, false);
}

namespace {
void clearRowFlags(const DictionaryRef& cells) {
  int32_t count = cells.count();
  for (int64_t pos = 1; pos <= count; ++pos) {
    Variant entry = get(cells.object(), "", static_cast<int32_t>(pos));
    if (entry.isObject() && entry.objectValue()) put(entry, "", "FModify", int16_t{0});
  }
}
}  // namespace

void ClearModifyFlags(const ObjectPtr& bill) {
  DictionaryRef data(get(bill, "Data"));
  for (const char* page : {"Page1", "Page2", "Page3"}) {
    if (!data.lookup(page)) continue;
    if (std::string_view(page) == "Page1") {
      clearRowFlags(DictionaryRef(call(bill, "Data", page)));
      continue;
    }
    VectorRef rows(call(bill, "Data", page));
    int32_t last = rows.upperBound();
    for (int64_t r = rows.lowerBound(); r <= last; ++r)
      clearRowFlags(DictionaryRef(rows.item(static_cast<int32_t>(r))));
  }
}

int32_t FindToolIndex(const ObjectPtr& toolbar, std::string_view band, std::string_view tool) {
  Variant tools = get(get(toolbar, "Bands", band), "Tools");
  int32_t count = automation::toLong(get(tools, "Count"));
  for (int32_t i = 0; i < count; ++i)
    if (automation::ascii::equalsIgnoreCase(automation::toText(get(get(tools, "", i), "Name")), tool))
      return i;
  return 0;
}

bool multiCheckInForce(const ObjectPtr& owner, std::string_view member) {
  Variant check = get(owner, member);
  if (!check.isObject() || !check.objectValue()) return false;
  return automation::toBoolean(get(check, "IsRun")) && automation::toBoolean(get(check, "ExistMultiCheck"));
}

bool CheckAccess(int32_t a, int32_t b, int32_t c) {
  bool allowed = false;
  try {
    Variant va = a, vb = b, vc = c;
    allowed = automation::toBoolean(call(GetAccessChecker(), "AccessCheck", automation::byRef(va),
                                         automation::byRef(vb), automation::byRef(vc)));
  } catch (...) {
  }
  if (allowed) return true;
  try {
    ShowMessage(GetResText("没有权限,请与系统管理员联系"));
  } catch (...) {
  }
  return false;
}

void FireFieldAction(const ObjectPtr& bill, std::string_view key, int32_t row, bool markModified) {
  Variant def = FieldInfoByKey(bill, key);
  Variant cell = call(bill, "GetDataFld", def, row);
  if (markModified) put(cell, "", "FModify", int16_t{1});
  call(BillControl(bill), "DoAction", def, cell, row);
}

std::string GetDateSeparator() {
  std::string separator = automation::platform().locale().dateSeparator;
  if (auto nul = separator.find('\0'); nul != std::string::npos) separator.resize(nul);
  return separator;
}

std::string GetDateFormatString() {
  auto& state = automation::threadState().module<BillFieldState>();
  if (state.dateFormat.empty()) {
    std::string separator = GetDateSeparator();
    state.dateFormat = "YYYY" + separator + "MM" + separator + "DD";
  }
  return state.dateFormat;
}

DictionaryRef MappedFieldDefinition(const ObjectPtr& bill, std::string_view key) {
  DictionaryRef map(TemplateMap(bill));
  if (!map.lookup(key)) return {};
  DictionaryRef definition(FieldInfoByKey(bill, key));
  if (!definition) automation::raiseError(automation::errc::kObjectRequired);
  return definition;
}

bool ApplyFieldDecimals(const ObjectPtr& bill, const DictionaryRef& definition, int32_t decimals,
                        int32_t row) {
  if (!definition) return false;
  Variant cellValue = call(bill, "GetDataFld", definition.object(), row);
  if (!cellValue.isObject() || !cellValue.objectValue()) return false;
  DictionaryRef(cellValue).setItem("FDecimal", decimals);
  call(bill, "SetDecimal", definition.object(), row, decimals);
  return true;
}

bool ApplyFieldDecimals(const ObjectPtr& bill, std::string_view key, int32_t decimals, int32_t& row) {
  return ApplyFieldDecimals(bill, MappedFieldDefinition(bill, key), decimals, row);
}

void SetColumnTotalDecimals(const ObjectPtr& bill, std::string_view key) {
  DictionaryRef def(FieldInfoByKey(bill, key));
  std::string pageKey = "Page" + automation::toText(def.getValue("FPage", int32_t{2}));
  VectorRef rows(call(bill, "Data", pageKey));
  int32_t last = rows.upperBound();
  double largest = 0;
  for (int64_t r = rows.lowerBound(); r <= last; ++r) {
    Variant cell = DictionaryRef(rows.item(static_cast<int32_t>(r))).item(key);
    double d = automation::toDouble(call(cell, "GetValue", "FDecimal", int32_t{0}));
    if (d > largest) largest = d;
  }
  SetColumnTotalDecimals(bill, def, largest);
}

void SetColumnTotalDecimals(const ObjectPtr& bill, const DictionaryRef& definition, double decimals) {
  call(bill, "SetSumDecimal", definition.object(), decimals);
}

Variant SetFieldDecimals(const ObjectPtr& bill, std::string_view key, int32_t decimals, bool setTotal,
                         int32_t& row) {
  if (ApplyFieldDecimals(bill, key, decimals, row) && setTotal) SetColumnTotalDecimals(bill, key);
  return {};
}

}  // namespace mto::support
