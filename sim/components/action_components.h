#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "automation/platform.h"
#include "automation/variant.h"
#include "sim/db/database.h"
#include "sim/runtime/environment.h"

namespace mto::sim {

/// What the host's action runners may do with the bill handed to `SetInterface`: the host's own
/// reach into its editor, beside the late-bound members the plug-in uses (so none of it is counted
/// as a call of the plug-in's). The bill editor implements it; entry rows are counted from 1.
class ActionBill {
 public:
  virtual ~ActionBill() = default;
  /// The entry row of the active control when that control is the entry grid and the row is in
  /// the bill; nullopt otherwise.
  virtual std::optional<int32_t> activeEntryRow() const = 0;
  /// The number of entry rows.
  virtual int32_t entryRowCount() const = 0;
  /// Whether the template has this field on the entry page.
  virtual bool hasEntryField(std::string_view key) const = 0;
  /// The stored value of an entry field at a row; Empty when there is no such cell.
  virtual automation::Variant entryValue(std::string_view key, int32_t row) const = 0;
  /// The editor's own write, as a host look-up fills a cell: stored, marked modified, look-ups
  /// resolved, shown; no event raised. A field the template lacks is skipped.
  virtual void writeEntryValue(std::string_view key, int32_t row, const automation::Variant& value) = 0;
  /// The ERP database the bill lives in.
  virtual Database& database() const = 0;
};

/// Registers the host's stock-status window and its two action runners over the ERP database;
/// `env` (where every call is recorded in `hostActions`) and `db` must outlive the objects made.
///
/// - "T8StockStatus.SSFace": `ShowByBill`(filter) lists the stock on hand the filter selects (see
///   `parseStockStatusFilter`; a bad filter raises 5 and lists nothing), `Show`() all stock. The
///   record holds the rows shown (`stockRows`) and their count as `outcome` ("3 rows").
/// - "D8OduruverRunAction.clsDoAction" and "T8WEXSerRunAction.clsDoAction": `SetInterface`(bill),
///   `DataSrv` (get, put, put by reference), `DoAction`(name, parameters, results). The bill is
///   reached through `ActionBill`. "Batch_F7Action" (the first) picks the batch of the active
///   grid row's material that expires first, in stock under the row's source tracking number (or
///   the fields the "Paramenters" entry's "BatchFilter=..." lists), writes FBatchNo, FStockID,
///   FSPID and, with shelf life, FKFDate, FKFPeriod, FPeriodDate into the row, and puts "FBatchNo"
///   and "FQty" (stock unit) into the results. "WEXSer_GetStockQtyAndSecurityQty" (the second)
///   reads the row "NewRow", writes its stock on hand and its material's safety stock, both in the
///   row's unit, into "FStockQty" and "FSecurityQty" where the template has them, and puts
///   "StockQty" and "SecurityQty" into the results. Every DoAction is recorded with its
///   `outcome`, whether it did anything or not.
void registerActionComponents(automation::RegistryPlatform& platform, Environment& env, Database& db);

}  // namespace mto::sim
