#include "support/system_profile.h"

#include <optional>
#include <variant>

#include "automation/convert.h"
#include "automation/error.h"
#include "automation/platform.h"
#include "automation/thread_state.h"
#include "host/contract.h"
#include "support/login_environment.h"

namespace mto::support {

using automation::call;
using automation::get;
using automation::ObjectPtr;
using automation::put;
using automation::Variant;

namespace {

enum class Conversion { Numeric, Boolean, LeadingNumberRounded, LeadingNumberNotZero, Text };

using Field = std::variant<std::monostate, int32_t SystemProfile::*, bool SystemProfile::*,
                           std::string SystemProfile::*>;
using StartValue = std::variant<std::monostate, int32_t, bool>;

struct OptionRow {
  std::string_view key;
  std::string_view category;
  Conversion conversion;
  Field field;  // monostate: the value lives only during the load ("FFinishInitAR")
  StartValue start;
  bool compactFilter = false;
};

using C = Conversion;
using P = SystemProfile;

// In the order the load reads them.
const OptionRow kRows[] = {
    {"BillDiscount", "IC", C::Numeric, &P::BillDiscount, {}},
    {"PrecisionOfDiscountRate", "IC", C::Numeric, &P::PrecisionOfDiscountRate, {}},
    {"EnableMtoPlanMode", "IC", C::Boolean, &P::EnableMtoPlanMode, {}},
    {"PurHPriceControl", "IC", C::Numeric, &P::PurHPriceControl, {}},
    {"PurHPricePSW", "IC", C::Text, &P::PurHPricePSW, {}},
    {"PurHPriceZero", "IC", C::Boolean, &P::PurHPriceZero, {}},
    {"PurHPriceContrlPoint", "IC", C::Text, &P::PurHPriceContrlPoint, {}},
    {"FFinishInitAP", "ARP", C::Boolean, &P::FFinishInitAP, false},
    {"FFinishInitAR", "ARP", C::Boolean, std::monostate{}, false},
    {"FCheckAccount", "ARP", C::Boolean, &P::FCheckAccount, false},
    {"IsUsePurPrcMgr", "IC", C::Boolean, &P::IsUsePurPrcMgr, false},
    {"PrecisionOfDiscountRate", "IC", C::LeadingNumberRounded, &P::DiscountRatePrecision, int32_t{8}},
    {"SecUnit", "IC", C::Boolean, &P::SecUnit, false},
    {"ApplyMapInPurchase", "IC", C::Boolean, &P::ApplyMapInPurchase, false},
    {"ApplyMapInSale", "IC", C::Boolean, &P::ApplyMapInSale, false},
    {"PurTaxRateOption", "IC", C::LeadingNumberRounded, &P::PurTaxRateOption, int32_t{1}},
    {"POOrderTaxInPrice", "IC", C::Boolean, &P::POOrderTaxInPrice, false},
    {"CQtyLargerSEQty", "IC", C::Boolean, &P::CQtyLargerSEQty, false},
    {"SaveBeforePrint", "IC", C::Boolean, &P::SaveBeforePrint, false},
    {"SaleTaxRateOption", "IC", C::LeadingNumberRounded, &P::SaleTaxRateOption, {}},
    {"SEOrderTaxInPrice", "IC", C::Boolean, &P::SEOrderTaxInPrice, {}},
    {"AlertHighPriceWhenCheck", "IC", C::Boolean, &P::AlertHighPriceWhenCheck, false},
    {"BillStatus", "IC", C::Boolean, &P::BillStatus, {}},
    {"AllowPurchase", "IC", C::Boolean, &P::AllowPurchase, {}},
    {"IsOkToModAfterClose", "IC", C::Boolean, &P::IsOkToModAfterClose, {}},
    {"EditSelfBill", "IC", C::Boolean, &P::EditSelfBill, {}},
    {"DoubleUnit", "IC", C::Boolean, &P::DoubleUnit, true},
    {"ISUsePriceManage", "IC", C::Boolean, &P::ISUsePriceManage, false},
    {"DisCountIncludeTax", "IC", C::Boolean, &P::DisCountIncludeTax, {}},
    {"CtrlTime", "LowPrcCtrl", C::LeadingNumberRounded, &P::CtrlTime, {}},
    {"StrictAccordRequest", "IC", C::LeadingNumberNotZero, &P::StrictAccordRequest, {}, true},
    {"CalCostByBatch", "IC", C::Boolean, &P::CalCostByBatch, {}, true},
};

constexpr size_t kCheckAccountRow = 9;

std::string filterText(const OptionRow& row) {
  std::string key(row.key), category(row.category);
  if (row.compactFilter) return "FKey='" + key + "' AND FCateGory='" + category + "'";
  return " FKey='" + key + "' AND FCateGory = '" + category + "'";
}

// A database NULL fails every conversion, the leading-number and text ones included.
Variant convert(Conversion conversion, const Variant& value) {
  if (value.isNull()) automation::raiseError(automation::errc::kInvalidUseOfNull);
  switch (conversion) {
    case C::Numeric:
      return automation::toLong(value);
    case C::Boolean:
      return automation::toBoolean(value);
    case C::LeadingNumberRounded:
      return automation::wholeNumberLong(automation::toText(value));
    case C::LeadingNumberNotZero:
      return automation::leadingNumber(std::string_view(automation::toText(value))) != 0;
    case C::Text:
      return automation::toText(value);
  }
  return {};
}

void store(SystemProfile& profile, const Field& field, const Variant& value) {
  if (auto f = std::get_if<int32_t P::*>(&field)) profile.** f = value.longValue();
  if (auto f = std::get_if<bool P::*>(&field)) profile.** f = value.boolValue();
  if (auto f = std::get_if<std::string P::*>(&field)) profile.** f = value.stringValue();
}

void applyStartValue(SystemProfile& profile, const OptionRow& row) {
  if (auto v = std::get_if<int32_t>(&row.start)) store(profile, row.field, *v);
  if (auto v = std::get_if<bool>(&row.start)) store(profile, row.field, *v);
}

/// Error path A: the pending error goes to the show-error operation. Nothing may escape the load.
void reportLoadError(std::exception_ptr error) {
  automation::setPendingError(automation::errorFromException(error));
  try {
    ShowPendingError();
  } catch (...) {
  }
  automation::clearPendingError();
}

}  // namespace

SystemProfile& systemProfile() {
  return automation::threadState().module<SystemProfile>();
}

const std::string& systemProfileStatement() {
  static const std::string statement =
      "SELECT FValue, FCateGory, FKey FROM t_RP_SystemProfile WHERE FKey IN ('FCheckAccount', "
      "'FFinishInitAP', 'FFinishInitAR')\r\n"
      "UNION ALL \r\n"
      "SELECT FValue, FCateGory, FKey FROM t_SystemProfile \r\n"
      "WHERE FCateGory = 'IC' AND FKey  IN "
      "('IsUsePurPrcMgr','PrecisionOfDiscountRate','ISUsePriceManage','SecUnit','PurHPriceControl',"
      "'PurHPricePSW','PurHPriceZero','PurHPriceContrlPoint','ApplyMapInPurchase','ApplyMapInSale',"
      "'PurTaxRateOption','POOrderTaxInPrice','CQtyLargerSEQty','SaveBeforePrint','SEOrderTaxInPrice',"
      "'SaleTaxRateOption','AlertHighPriceWhenCheck','AllowPurchase','BillStatus','IsOkToModAfterClose',"
      "'EditSelfBill','DoubleUnit','EnableMtoPlanMode','PrecisionOfDiscountRate','BillDiscount',"
      "'DisCountIncludeTax','StrictAccordRequest','CalCostByBatch')\r\n"
      "UNION ALL \r\n"
      "SELECT FValue, FCateGory, FKey FROM ICPrcOpt \r\n"
      "WHERE FCategory = 'LowPrcCtrl' AND FKey='CtrlTime'";
  return statement;
}

void LoadSystemProfile() {
  SystemProfile& profile = systemProfile();
  ObjectPtr records;
  ObjectPtr listServer;
  try {
    for (const auto& row : kRows) applyStartValue(profile, row);
    {
      ObjectPtr connection = automation::createObject(host::progid::kConnection);
      Variant result = call(connection, "GetAnyRecordset", systemProfileStatement());
      if (result.isObject()) records = result.objectValue();
    }
    if (!records) {
      automation::raiseError(-100, GetResText("读取系统参数失败！"), "[WexPlug.modBillOpt]");
    }
    bool finishInitAR = false;
    for (size_t i = 0; i < std::size(kRows); ++i) {
      const OptionRow& row = kRows[i];
      if (i == kCheckAccountRow && !profile.FFinishInitAP && !finishInitAR) continue;
      put(records, "Filter", filterText(row));
      if (automation::toBoolean(get(records, "EOF"))) continue;
      Variant value = convert(row.conversion, get(get(get(records, "Fields"), "", "FValue"), "Value"));
      if (std::holds_alternative<std::monostate>(row.field))
        finishInitAR = value.boolValue();
      else
        store(profile, row.field, value);
    }
    listServer = automation::createObject(host::progid::kListServer);
    automation::clearPendingError();
  } catch (...) {
    reportLoadError(std::current_exception());
    return;
  }

  try {
    Variant year = int32_t{0}, period = int32_t{0}, first = automation::Date{}, last = automation::Date{};
    call(listServer, "GetCurPeriod", GetPropsString(), automation::byRef(year), automation::byRef(period),
         automation::byRef(first), automation::byRef(last));
  } catch (...) {
    try {
      ShowMessage(GetResText("读取当前期间错误。") + "\r\n" +
                  GetResText("可能的原因是您还没有设置核算参数。"));
    } catch (...) {
    }
  }
}

}  // namespace mto::support
