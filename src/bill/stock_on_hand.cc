#include "bill/stock_on_hand.h"

#include "automation/convert.h"
#include "automation/error.h"
#include "automation/platform.h"
#include "automation/thread_state.h"
#include "host/contract.h"
#include "support/bill_fields.h"
#include "support/event_answers.h"
#include "support/login_environment.h"

namespace mto::bill {

using automation::byRef;
using automation::call;
using automation::get;
using host::DictionaryRef;

namespace {
int32_t wholeNumberOf(const Variant& v) {
  return automation::wholeNumberLong(automation::toText(v));
}
}  // namespace

std::string GetFiledValue(const Variant& bill, int32_t lRow, std::string_view strFieldName) {
  Variant value = call(bill, "GetFieldValue", strFieldName, lRow);
  if (value.isEmpty() || (value.isString() && value.stringValue().empty())) return {};
  return automation::toText(value);
}

Variant GetDataFldValue(const ObjectPtr& bill, std::string_view key, int32_t row, std::string_view subKey,
                        std::string_view fallback) {
  Variant info = support::FieldInfoByKey(bill, key);
  Variant cell = call(bill, "GetDataFld", info, row);
  if (!cell.isObject() || !cell.objectValue()) return Variant(fallback);
  DictionaryRef cellRef(cell);
  if (!cellRef.lookup(subKey)) return Variant(fallback);
  return cellRef.item(subKey);
}

Variant SafeDateAdd(std::string_view interval, double number, automation::Date date) {
  try {
    return automation::dateAdd(interval, number, date);
  } catch (...) {
    automation::clearPendingError();
    return Variant("");
  }
}

double GetQty(const DictionaryRef& stockKey, double& secondary) {
  try {
    Variant stockId = automation::toText(stockKey.getValue("StockID", ""));
    Variant itemId = automation::toText(stockKey.getValue("ItemID", ""));
    Variant batchNo = automation::toText(stockKey.getValue("BatchNo", ""));
    Variant unitId = wholeNumberOf(stockKey.getValue("UnitID", int32_t{0}));
    Variant isInventory = automation::toBoolean(stockKey.getValue("IsICInventory", true));
    Variant spId = wholeNumberOf(stockKey.getValue("SPID", int32_t{0}));
    std::string kfDate = automation::toText(stockKey.getValue("KFDate", ""));
    Variant kfPeriod = wholeNumberOf(stockKey.getValue("KFPeriod", int32_t{0}));
    Variant stockType = wholeNumberOf(stockKey.getValue("StockType", int32_t{0}));
    std::string mtoNo = automation::toText(stockKey.getValue("FMTONo", ""));
    std::string auxPropId = automation::toText(stockKey.getValue("FAuxPropID", ""));

    auto conditions = DictionaryRef::create();
    conditions.setItem("FMTONo", mtoNo);
    if (!auxPropId.empty()) conditions.setItem("AuxPropID", auxPropId);

    ObjectPtr service = automation::createObject(host::progid::kSysInfo);
    Variant startDate = kfDate.empty() ? Variant::missing() : Variant(automation::toDate(Variant(kfDate)));
    Variant conditionsArg = conditions.object();
    Variant sec = secondary;
    Variant qty = call(service, "GetQty", support::GetPropsString(), byRef(stockId), byRef(itemId),
                       byRef(batchNo), byRef(unitId), byRef(isInventory), byRef(spId), startDate,
                       byRef(kfPeriod), byRef(stockType), byRef(conditionsArg), byRef(sec));
    double result = automation::toDouble(qty);
    secondary = automation::toDouble(sec);
    return result;
  } catch (...) {
    automation::reraiseFrom("T8MTOChange.clsMTOChange::GetQty");
  }
}

void SetQty(support::InstanceState& self, int32_t row) {
  try {
    const ObjectPtr& bill = self.m_BillInterface;
    Variant billValue = bill;
    auto key = DictionaryRef::create();
    key.setItem("StockID", GetFiledValue(billValue, row, "FStockID"));
    key.setItem("ItemID", GetFiledValue(billValue, row, "FItemID"));
    key.setItem("BatchNo", GetFiledValue(billValue, row, "FBatchNo"));
    key.setItem("UnitID", GetFiledValue(billValue, row, "FUnitID"));
    key.setItem("SPID", GetFiledValue(billValue, row, "FSPID"));
    key.setItem("IsICInventory", true);
    key.setItem("KFDate", GetFiledValue(billValue, row, "FKFDate"));
    key.setItem("KFPeriod",
                automation::leadingNumber(std::string_view(GetFiledValue(billValue, row, "FKFPeriod"))));
    key.setItem("StockType", int16_t{0});
    key.setItem("FMTONo", GetFiledValue(billValue, row, "FFromMTONo"));
    key.setItem("FAuxPropID", GetFiledValue(billValue, row, "FAuxPropID"));

    double secondary = 0;
    double qty = GetQty(key, secondary);
    support::SetBillField(bill, "FQty", row, qty, true, false, "");
    support::SetBillField(bill, "FSecQty", row, secondary, true, false, "");
    support::FireFieldAction(bill, "FQty", row, false);
    Variant billCtl = support::BillControl(bill);
    for (const char* total : {"FQty", "FSecQty"}) {
      Variant def = support::FieldInfoByKey(bill, total);
      call(billCtl, "SetSumData", def);
    }

    std::string start = GetFiledValue(billValue, row, "FKFDate");
    if (automation::isDate(Variant(start))) {
      double period = automation::leadingNumber(GetDataFldValue(bill, "FKFPeriod", row, "FFLD", ""));
      std::string expiry = automation::toText(SafeDateAdd("d", period, automation::toDate(Variant(start))));
      support::SetBillField(bill, "FPeriodDate", row, expiry, true, false, "");
    }
  } catch (...) {
    automation::reraiseFrom("T8MTOChange.clsMTOChange::SetQty");
  }
}

std::string GetParameters(int32_t classType) {
  try {
    ObjectPtr connection = automation::createObject(host::progid::kConnection);
    Variant records =
        call(connection, "Execute",
             "SELECT FAction FROM ICClassActionList WHERE FClassActionID=100020 AND FClassTypeID=" +
                 std::to_string(classType));
    if (automation::toBoolean(get(records, "EOF"))) return {};
    return automation::toText(get(get(get(records, "Fields"), "", int32_t{0}), "Value"));
  } catch (...) {
    automation::reraiseFrom("T8MTOChange.clsMTOChange::GetParameters");
  }
}

}  // namespace mto::bill
