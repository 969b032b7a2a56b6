#pragma once

#include <cstdint>
#include <string>

#include "automation/object.h"
#include "host/collections.h"
#include "support/instance_state.h"

namespace mto::bill {

using automation::Variant;

// The stock-status query and the batch look-up of the bill menu, and the two look-ups into the bill
// template that they and the entry grid's row handler use.

/// Collects the material of every entry row that has one (in row order, duplicates kept) and opens
/// the host's stock-status window for them. Re-raises failures with ".ViewStockStatus" in front of
/// the source.
void ViewStockStatus(support::InstanceState& self);

/// Opens the host's stock-status window ("T8StockStatus.SSFace"), filtered to the materials of the
/// list ("t1.FItemID IN(12,12)") or, when the list names none, unfiltered. A material that is not a
/// plain whole number is left out, so that no text of a cell reaches the window's filter. Never
/// raises: a failure is shown in a message box ("<number> (<description>)") and gives false.
bool ShowStockStatus(const host::VectorRef& materials);

/// Hands the bill to the host's batch-selection action ("Batch_F7Action" of
/// "D8OduruverRunAction.clsDoAction") with the bill's class type, entry class type, template, data
/// and the class type's batch parameters. Re-raises failures with "::DoBatchF7Action" in front of
/// the source.
void DoBatchF7Action(support::InstanceState& self);

/// The keys of the template fields whose properties have the given values, compared as upper-case
/// texts: on one page (1 to "PageCount") or, for page 0, on every page. `properties` is a text of
/// names separated by blanks or an array of names; `values` an array of values or anything else,
/// taken as a text of values separated by blanks. Returns an array of texts whose element 0 is ""
/// and whose matches follow from 1; Empty for a page beyond the template. Never raises: a failure
/// returns the keys gathered so far.
Variant GetFieldByProperty(support::InstanceState& self, const Variant& properties, const Variant& values,
                           int32_t page);

/// The parameter text of action "100018" of the first field on a page whose look-up is of type 1 and
/// class 4; "" when the page has no such field or the field no such action. Re-raises failures with
/// "T8ExpWEXPlug.ClsBoxUp_Bill::GetParameters" in front of the source.
std::string GetPageActionParameters(int32_t page, const host::DictionaryRef& tableInfo);

}  // namespace mto::bill
