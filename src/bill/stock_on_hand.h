#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "automation/dates.h"
#include "automation/object.h"
#include "host/collections.h"
#include "support/instance_state.h"

namespace mto::bill {

using automation::ObjectPtr;
using automation::Variant;

/// Reads the row's stock key, asks the host's data-access service for the quantity on hand under the
/// source tracking number, and writes `FQty` and `FSecQty`; then runs the host's actions on `FQty`,
/// refreshes both column totals and recomputes `FPeriodDate` from the start date and period.
/// Re-raises failures with "::SetQty" in front of the source.
void SetQty(support::InstanceState& self, int32_t row);

/// The quantity on hand for a stock key, in the row's unit; `secondary` receives the quantity in the
/// secondary unit. Re-raises failures with "::GetQty" in front of the source.
double GetQty(const host::DictionaryRef& stockKey, double& secondary);

/// A field's value in a row as text ("" for an empty value). Raises.
std::string GetFiledValue(const Variant& bill, int32_t lRow, std::string_view strFieldName);

/// The batch action's parameters of a class type (class action 100020), "" when there are none.
/// Re-raises failures with "::GetParameters" in front of the source.
std::string GetParameters(int32_t classType);

/// Calendar addition that never fails: a date value, or empty text when the addition fails.
Variant SafeDateAdd(std::string_view interval, double number, automation::Date date);

/// One sub-value of a cell, or `fallback` when the row has no cell or the cell lacks the sub-key.
/// Raises.
Variant GetDataFldValue(const ObjectPtr& bill, std::string_view key, int32_t row, std::string_view subKey,
                        std::string_view fallback);

}  // namespace mto::bill
