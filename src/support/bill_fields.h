#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "automation/object.h"
#include "host/collections.h"

namespace mto::support {

using automation::ObjectPtr;
using automation::Variant;

// Helpers every bill handler writes and reads fields through. Each takes the host's bill editor
// and calls it late-bound.

/// The error number by which the host's `GetFieldValue` says a field has a value it cannot read.
inline constexpr int32_t kFieldValuePresentError = static_cast<int32_t>(0x80040065u);
/// The class type of bills whose "FHSID" look-up shows the record's number instead of its name.
inline constexpr int32_t kNumberShownClassType = 1007130;

/// The text of a value fit to stand for a record ID in a statement or a filter: a whole number, or a
/// text of an optional "-" and at most 18 digits. Anything else could carry SQL or filter syntax
/// and gives nullopt.
std::optional<std::string> plainNumberText(const Variant& value);

/// Writes a field as a user entry would: stored value, display text and record number kept in step
/// (a base-data look-up resolved by SQL through the bill's data service), the modified mark set
/// unless `keepUnmodified`, the display refreshed when `refresh`. Row -1 on an entry field writes
/// every row of its page. A look-up value that is not a plain whole number never reaches the
/// statement: it is a look-up that finds no record. Reports nothing; the first failure raises.
void SetBillField(const ObjectPtr& bill, std::string_view key, int32_t row, const Variant& value,
                  bool refresh, bool keepUnmodified, std::string_view displayOverride);

/// Whether a field holds a non-zero, non-empty value; failures count as no value, except the
/// host's error 0x80040065, which counts as a value present.
bool FieldHasValue(const ObjectPtr& bill, std::string_view key, int32_t row);

/// Shows or hides a field as a head field or as a grid column; a key the template lacks does
/// nothing. Raises.
void ShowHideBillField(const ObjectPtr& bill, std::string_view key, bool visible, bool grid);

/// Hides the fields named in `keys` (joined by "|") when the "SecUnit" option is off. Stops quietly
/// at the first failure.
void HideSecUnitFields(const ObjectPtr& bill, std::string_view keys);

/// Hides two fields when the "DoubleUnit" option is off. Raises.
void HideDoubleUnitFields(const ObjectPtr& bill, std::string_view key1, std::string_view key2);

/// Resets "FModify" of every cell of the head and entry pages to 0. Raises.
void ClearModifyFlags(const ObjectPtr& bill);

/// The 0-based index of a tool on a band of a toolbar control, by name without regard to case; 0
/// when the band lacks it. Raises.
int32_t FindToolIndex(const ObjectPtr& toolbar, std::string_view band, std::string_view tool);

/// Whether a multi-level check is in force for a bill or a list: the object that `owner`'s member
/// `member` hands out exists and reports both "IsRun" and "ExistMultiCheck" true. Raises.
bool multiCheckInForce(const ObjectPtr& owner, std::string_view member);

/// Asks the access checker; a refusal (or a failing check) shows the no-permission message and
/// gives false.
bool CheckAccess(int32_t a, int32_t b, int32_t c);

/// Makes the host run a field's configured action for a row, as if the user had edited it. Raises.
void FireFieldAction(const ObjectPtr& bill, std::string_view key, int32_t row, bool markModified);

/// The system default locale's short-date separator ("" when the locale gives none).
std::string GetDateSeparator();

/// "YYYY" + separator + "MM" + separator + "DD", built on first use and kept for the thread.
std::string GetDateFormatString();

/// Sets a field's decimals at a row and, when `setTotal`, its column total's decimals to the largest
/// decimals of the column. Does nothing for a key the template lacks or a row without a cell.
/// Raises; a row of the page without a cell fails the column pass.
Variant SetFieldDecimals(const ObjectPtr& bill, std::string_view key, int32_t decimals, bool setTotal,
                         int32_t& row);

/// `SetFieldDecimals` without the column pass: true when the row had a cell for the field.
bool ApplyFieldDecimals(const ObjectPtr& bill, std::string_view key, int32_t decimals, int32_t& row);

/// The definition of a field that the template map lists; an empty reference for one it lacks.
/// Raises.
host::DictionaryRef MappedFieldDefinition(const ObjectPtr& bill, std::string_view key);

/// `ApplyFieldDecimals` for a definition from `MappedFieldDefinition`, for passes over many rows.
bool ApplyFieldDecimals(const ObjectPtr& bill, const host::DictionaryRef& definition, int32_t decimals,
                        int32_t row);

/// Shows a column's total with the largest "FDecimal" of the field's cells over its page's rows.
/// A row without a cell for the field fails. Raises.
void SetColumnTotalDecimals(const ObjectPtr& bill, std::string_view key);

/// Shows a column's total with the given decimals, for a caller that knows the largest decimals
/// of the column because it has just set them all. Raises.
void SetColumnTotalDecimals(const ObjectPtr& bill, const host::DictionaryRef& definition, double decimals);

}  // namespace mto::support
