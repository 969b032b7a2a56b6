#pragma once

#include "automation/platform.h"
#include "sim/db/database.h"
#include "sim/runtime/host_object.h"

namespace mto::sim {

/// The host's data-access service ("BillDataAccess.SysInfo"). Member "GetQty" with twelve
/// arguments: (login properties, StockID, ItemID, BatchNo, UnitID, IsICInventory, SPID,
/// [KFDate], KFPeriod, StockType, extra conditions, secondary quantity). It sums `t_ICInventory`
/// over the rows of the material, warehouse, stock place and batch, the extra conditions'
/// "FMTONo" (always matched, '' for free stock) and "AuxPropID" (matched only when present), and,
/// when KFDate is given, the shelf-life start date and period. The result is in the row's unit (the
/// base quantity divided by the unit's coefficient); the secondary quantity (the base quantity
/// divided by the material's secondary coefficient, 0 without one) is written into the last
/// argument. The Database must outlive the objects made.
class SysInfo : public HostObject<SysInfo> {
 public:
  static const MemberTable<SysInfo>& members();
  explicit SysInfo(Database& database) : database_(&database) {}

 private:
  Variant getQty(Args args);
  Database* database_;
};

void registerSysInfo(automation::RegistryPlatform& platform, Database& database);

}  // namespace mto::sim
