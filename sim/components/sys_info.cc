#include "sim/components/sys_info.h"

#include <cmath>

#include "automation/convert.h"
#include "automation/dates.h"
#include "host/contract.h"
#include "sim/components/collections.h"
#include "sim/runtime/member_helpers.h"

namespace mto::sim {

namespace {

std::string isoDate(automation::Date date) {
  auto parts = automation::dateParts(date);
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", parts.year, parts.month, parts.day);
  return text;
}

}  // namespace

Variant SysInfo::getQty(Args args) {
  if (args.size() != 12) automation::raiseError(automation::errc::kWrongArgumentCount, {}, "SysInfo");
  int64_t stockId = recordIdOf(requiredArg(args, 1));
  int64_t itemId = recordIdOf(requiredArg(args, 2));
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

  StockFilter filter;
  filter.itemId = itemId;
  filter.stockId = stockId;
  filter.stockPlaceId = spId;
  filter.batchNo = std::move(batchNo);
  filter.mtoNo = automation::toText(conditions->at("FMTONo"));
  if (conditions->contains("AuxPropID")) filter.auxPropId = recordIdOf(conditions->at("AuxPropID"));
  if (!kfDate.isMissing())
    filter.shelfLife = StockFilter::ShelfLife{isoDate(automation::toDate(kfDate)), kfPeriod};
  double baseQty = database_->stockOnHand(filter);

  double unitCoefficient = database_->unitCoefficient(unitId).value_or(0);
  if (unitCoefficient <= 0) unitCoefficient = 1;
  double secCoefficient = database_->secondaryCoefficient(itemId).value_or(0);
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
