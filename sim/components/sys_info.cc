#include "sim/components/sys_info.h"

#include <cmath>

#include "automation/convert.h"
#include "automation/dates.h"
#include "host/contract.h"
#include "sim/components/collections.h"

namespace mto::sim {

namespace {

int64_t idOf(const Variant& v) {
  return static_cast<int64_t>(automation::leadingNumber(std::string_view(automation::toText(v))));
}

double singleDouble(Database& db, const std::string& sql, int64_t id) {
  auto statement = db.connection().prepare(sql);
  statement.bind(1, id);
  if (!statement.step() || statement.isNull(0)) return 0;
  return statement.columnDouble(0);
}

std::string isoDate(automation::Date date) {
  auto parts = automation::dateParts(date);
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", parts.year, parts.month, parts.day);
  return text;
}

}  // namespace

Variant SysInfo::getQty(Args args) {
  if (args.size() != 12) automation::raiseError(automation::errc::kWrongArgumentCount, {}, "SysInfo");
  int64_t stockId = idOf(requiredArg(args, 1));
  int64_t itemId = idOf(requiredArg(args, 2));
  std::string batchNo = automation::toText(requiredArg(args, 3));
  int64_t unitId = automation::toLong(requiredArg(args, 4));
  int64_t spId = automation::toLong(requiredArg(args, 6));
  const Variant& kfDate = arg(args, 7);
  int64_t kfPeriod = automation::toLong(requiredArg(args, 8));
  const Variant& conditionsArg = requiredArg(args, 10);
  auto conditions =
      conditionsArg.isObject() ? std::dynamic_pointer_cast<Dictionary>(conditionsArg.objectValue()) : nullptr;
  if (!conditions)
    automation::raiseError(automation::errc::kTypeMismatch, "Extra conditions must be a Dictionary",
                           "SysInfo");

  std::string sql =
      "SELECT TOTAL(FQty) FROM t_ICInventory WHERE FItemID = ?1 AND FStockID = ?2 AND FSPID = ?3 AND "
      "FBatchNo = ?4 "
      "AND FMTONo = ?5";
  bool byAux = conditions->contains("AuxPropID");
  if (byAux) sql += " AND FAuxPropID = ?6";
  bool byShelfLife = !kfDate.isMissing();
  if (byShelfLife) sql += " AND FKFDate = ?7 AND FKFPeriod = ?8";

  auto statement = database_->connection().prepare(sql);
  statement.bind(1, itemId).bind(2, stockId).bind(3, spId).bind(4, batchNo);
  statement.bind(5, automation::toText(conditions->at("FMTONo")));
  if (byAux) statement.bind(6, idOf(conditions->at("AuxPropID")));
  if (byShelfLife) statement.bind(7, isoDate(automation::toDate(kfDate))).bind(8, kfPeriod);
  double baseQty = statement.step() ? statement.columnDouble(0) : 0;

  double unitCoefficient =
      singleDouble(*database_, "SELECT FCoefficient FROM t_MeasureUnit WHERE FMeasureUnitID = ?1", unitId);
  if (unitCoefficient <= 0) unitCoefficient = 1;
  double secCoefficient =
      singleDouble(*database_, "SELECT FSecCoefficient FROM t_ICItem WHERE FItemID = ?1", itemId);
  args[11].assign(secCoefficient > 0 ? baseQty / secCoefficient : 0.0);
  return baseQty / unitCoefficient;
}

const MemberTable<SysInfo>& SysInfo::members() {
  static const MemberTable<SysInfo> table = [] {
    MemberTable<SysInfo> t("SysInfo");
    t.add("GetQty", [](SysInfo& self, CallKind, Args args) -> Variant { return self.getQty(args); });
    return t;
  }();
  return table;
}

void registerSysInfo(automation::RegistryPlatform& platform, Database& database) {
  platform.registerFactory(std::string(host::progid::kSysInfo),
                           [&database] { return std::make_shared<SysInfo>(database); });
}

}  // namespace mto::sim
