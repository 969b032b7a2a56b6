#include <string>

#include "automation/convert.h"
#include "automation/error.h"
#include "host/collections.h"
#include "list/list_events.h"

namespace mto::list {

using automation::call;
using automation::get;
using automation::Variant;

namespace {

/// The most decimals a quantity pattern is built with.
constexpr int32_t kMaxDecimals = 255;

/// A field's stored value in the list's row record.
Variant fieldValue(const ObjectPtr& row, std::string_view field) {
  return get(call(row, "", field), "Value");
}

/// The language's `value > 0` for a stored value: Null and Empty are not, a number compares as a
/// number, anything else is a type mismatch.
bool isPositive(const Variant& value) {
  if (value.isNull() || value.isEmpty()) return false;
  if (!automation::isNumeric(value)) automation::raiseError(automation::errc::kTypeMismatch);
  return automation::toDouble(value) > 0;
}

}  // namespace

void m_LstInterface_ListFillRow(InstanceState&, int32_t, const ObjectPtr& RowData, const ObjectPtr& HeadDict,
                                Arg& CellData, Arg&, Arg& ContinueRaise) {
  Variant column = host::DictionaryRef(HeadDict).item("FColName");
  if (!column.isString() || column.stringValue() != "FSecCoefficient") return;
  Variant coefficient = fieldValue(RowData, "FSecCoefficient");
  if (isPositive(coefficient)) {
    int32_t decimals = automation::toLong(fieldValue(RowData, "FItemID_FQtyDecimal"));
    if (decimals < 0) automation::raiseError(automation::errc::kInvalidCall);
    // No quantity has that many decimals; a pattern that long is refused rather than built.
    if (decimals > kMaxDecimals) automation::raiseError(automation::errc::kOverflow);
    std::string pattern = "##,##0." + std::string(static_cast<size_t>(decimals), '0');
    CellData.assign(automation::formatNumber(automation::toDouble(coefficient), pattern));
  } else {
    CellData.assign(std::string());
  }
  ContinueRaise.assign(true);
}

// Subscribed so that the list raises it to this plug-in; there is nothing to do on an un-check.
void m_LstInterface_UnMultiCheck(InstanceState&, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, Arg&,
                                 Arg&) {}

}  // namespace mto::list
