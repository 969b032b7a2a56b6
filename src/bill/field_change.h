#pragma once

#include <cstdint>
#include <string_view>

#include "automation/object.h"
#include "support/instance_state.h"

namespace mto::bill {

/// Clears the fields that depend on a field: for "FItemID" (any case), `FChangeQty`. Re-raises with
/// ".ClearFieldInfo" in front of the source.
void ClearFieldInfo(support::InstanceState& self, std::string_view key, int32_t row);

/// Gives every entry row's quantity fields the decimals of its material, and each of those column
/// totals the largest decimals of its column.
void ApplyQtyDecimals(support::InstanceState& self);

/// Fills shelf-life defaults for a newly chosen material of a row without a start date.
void InitKFDates(support::InstanceState& self, int32_t row);

/// Blanks the cells of one row of one page: all of them with `clearAll`, else those whose field has
/// a tab index above 0 and visibility bit 0 set. Re-raises with 20000 added to the number.
void ClearSpecifiedRow(const automation::ObjectPtr& bill, int32_t page, int32_t row, bool clearAll);

}  // namespace mto::bill
