#include "bill/save_validation.h"

#include <cmath>

#include "automation/convert.h"
#include "automation/platform.h"
#include "automation/thread_state.h"
#include "bill/bill_events.h"
#include "host/collections.h"
#include "host/contract.h"
#include "support/bill_fields.h"
#include "support/login_environment.h"
#include "support/system_profile.h"

namespace mto::bill {

using automation::call;
using automation::Variant;
using host::DictionaryRef;
using support::GetResText;
using support::ShowMessage;

namespace {

Variant readCell(const ObjectPtr& bill, std::string_view key, int32_t row) {
  return call(bill, host::member::kReadFieldValue, key, row, int32_t{1});
}

/// Shows a translated message and refuses the host's action.
void refuse(Arg& cancel, std::string_view message) {
  ShowMessage(GetResText(message));
  cancel.assign(true);
}

}  // namespace

void LoadCurrentPeriod() {
  ObjectPtr server = automation::createObject(host::progid::kListServer);
  Variant year = int32_t{0}, period = int32_t{0}, first = automation::Date{}, last = automation::Date{};
  call(server, "GetCurPeriod", support::GetPropsString(), automation::byRef(year), automation::byRef(period),
       automation::byRef(first), automation::byRef(last));
  auto& kept = automation::threadState().module<CurrentPeriod>();
  kept.year = automation::toLong(year);
  kept.period = automation::toLong(period);
  kept.first = automation::toDate(first);
  kept.last = automation::toDate(last);
}

const CurrentPeriod& currentPeriod() {
  return automation::threadState().module<CurrentPeriod>();
}

void m_BillInterface_BeforeSave(InstanceState& self, Arg& bCancel) {
  const ObjectPtr& bill = self.m_BillInterface;
  int32_t rows = host::VectorRef(call(bill, "Data", "Page2")).upperBound();
  int32_t valid = 0;
  // From the last row up: only the first failing rule of the highest failing row is reported.
  for (int32_t row = rows; row >= 1; --row) {
    if (!support::FieldHasValue(bill, "FItemID", row)) continue;
    DictionaryRef material(call(bill, host::member::kGetLookupRecord, "FItemID", row));
    if (automation::toBoolean(material.getValue("FIsKFPeriod", false))) {
      if (!automation::isDate(readCell(bill, "FKFDate", row)))
        return refuse(bCancel, "请输入合法的生产采购日期。");
      if (!automation::isDate(readCell(bill, "FPeriodDate", row)))
        return refuse(bCancel, "请输入合法的有效期至。");
    }
    double secQty = automation::leadingNumber(readCell(bill, "FSecQty", row));
    double changeSecQty = automation::leadingNumber(readCell(bill, "FChangeSecQty", row));
    if (support::systemProfile().SecUnit && secQty > 0 && changeSecQty <= 0)
      return refuse(bCancel, "辅助单位调整数量必须大于0。");
    if (automation::leadingNumber(readCell(bill, "FChangeQty", row)) <= 0)
      return refuse(bCancel, "调整数量必须大于0。");
    ++valid;
  }
  if (valid < 1) refuse(bCancel, "必须输入至少1条分录。");
}

void m_BillInterface_BeginEdit(InstanceState&, const ObjectPtr& dct, int32_t, int32_t) {
  DictionaryRef context(dct);
  if (automation::toText(context.item("FKey")) == "FStockID")
    context.setItem("FFilter", "x2.FTypeID not in (501,502,503)");
}

bool billDateBeforeCurrentPeriod(const ObjectPtr& bill) {
  LoadCurrentPeriod();
  Variant billDate = readCell(bill, "FDate", -1);
  // A bill not dated yet (no value, or an empty text) is not earlier than anything; any other value
  // must read as a date.
  if (billDate.isNull() || billDate.isEmpty() || (billDate.isString() && billDate.stringValue().empty()))
    return false;
  // Days compare by the whole part of the serial: before 1899-12-30 the serial is negative and its
  // fraction counts forward into the day, so rounding down would move a dated time to the day before.
  return std::trunc(automation::toDate(billDate).serial) < std::trunc(currentPeriod().first.serial);
}

void m_BillInterface_UnMultiCheck(InstanceState& self, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t,
                                  Arg&, Arg& Cancel) {
  if (billDateBeforeCurrentPeriod(self.m_BillInterface)) refuse(Cancel, "单据日期不能小于当前期间,请重新输入。");
}

}  // namespace mto::bill
