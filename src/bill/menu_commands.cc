#include <string>

#include "automation/convert.h"
#include "automation/error.h"
#include "bill/bill_events.h"
#include "bill/save_validation.h"
#include "bill/stock_on_hand.h"
#include "bill/stock_status.h"
#include "host/contract.h"
#include "support/login_environment.h"

namespace mto::bill {

using automation::get;

namespace {

/// The save command refused for a bill that is already checked (its status above 0) or dated
/// before the current period; the second shows why.
void guardSave(InstanceState& self, Arg& Cancel) {
  const ObjectPtr& bill = self.m_BillInterface;
  if (automation::leadingNumber(GetDataFldValue(bill, "FStatus", 0, "FFLD", "")) > 0) Cancel.assign(true);
  if (billDateBeforeCurrentPeriod(bill)) {
    support::ShowMessage(support::GetResText("单据日期不能小于当前期间,请重新输入。"));
    Cancel.assign(true);
  }
}

/// The look-up key on the batch column runs the plug-in's own batch selection and recomputes the
/// row's quantities instead of the host's look-up; on any other field the host's look-up runs.
void batchLookUp(InstanceState& self, Arg& Cancel) {
  const ObjectPtr& bill = self.m_BillInterface;
  Variant control = get(bill, host::member::kActiveControl);
  if (!control.isObject() || !control.objectValue()) return;
  std::string name = automation::toText(get(control, "Name"));
  int32_t page = 1;
  Variant column = int32_t{1};
  if (name == "grid") {
    int64_t grid = int64_t{automation::toLong(get(control, "Index"))} + 2;
    if (grid > INT32_MAX) automation::raiseError(automation::errc::kOverflow);
    page = static_cast<int32_t>(grid);
    column = get(control, "ActiveCol");
  } else if (name == "EditPlus") {
    column = get(control, "Index");
  }
  Variant keys = GetFieldByProperty(self, "CtlIndex", column, page);
  // No array (a page the bill does not have) fails here, as taking its bound does.
  if (!keys.isArray()) automation::raiseError(automation::errc::kTypeMismatch);
  const auto& found = keys.arrayValue();
  if (found.size() < 2 || automation::toText(found[1]).find("FBatchNo") == std::string::npos) return;
  DoBatchF7Action(self);
  SetQty(self, automation::toLong(get(control, "ActiveRow")));
  Cancel.assign(true);
}

}  // namespace

void m_BillInterface_MenuBarClick(InstanceState& self, const ObjectPtr& WEXTool, Arg& Cancel) {
  std::string tool = automation::toText(get(WEXTool, "Name"));
  if (tool == "mnuStockStatusQuery") {
    ViewStockStatus(self);
  } else if (tool == "mnuFileSave") {
    guardSave(self, Cancel);
  } else if (tool == "mnuDataLookUp") {
    batchLookUp(self, Cancel);
  } else if (tool == "mnuBatchFillField" || tool == "mnuOptionLinkBill") {
    Cancel.assign(true);
  } else if (tool == "mnuCopyRow") {
    self.m_bCopyRow = true;
  }
}

}  // namespace mto::bill
