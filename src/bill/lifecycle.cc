#include <string>

#include "automation/convert.h"
#include "automation/error.h"
#include "bill/bill_events.h"
#include "bill/bill_toolbar.h"
#include "bill/field_change.h"
#include "bill/stock_on_hand.h"
#include "host/collections.h"
#include "host/contract.h"
#include "support/bill_fields.h"
#include "support/event_answers.h"
#include "support/login_environment.h"

namespace mto::bill {

using automation::call;
using automation::get;
using automation::Variant;
using host::DictionaryRef;
using host::VectorRef;
namespace member = host::member;

namespace {

/// Hides the unit fields that the system options switch off; nothing is ever shown again here.
void hideSwitchedOffUnits(const ObjectPtr& bill) {
  support::HideDoubleUnitFields(bill, "FBaseProperty", "FBaseQty");
  support::HideDoubleUnitFields(bill, "FBaseProperty", "FChangeBaseQty");
  support::HideSecUnitFields(bill, "FSecQty|FSecUnitID|FChangeSecQty|FSecCoefficient");
}

/// The command states for the editor's operation mode, as the bill object reports it now.
void setToolStatesForMode(InstanceState& self) {
  int32_t mode = automation::toLong(get(self.m_BillInterface, member::kOperationMode));
  SetToolStates(self, mode);
}

bool isSomething(const Variant& v) {
  return v.isObject() && v.objectValue();
}

}  // namespace

void m_Billinterface_AddNewRow(InstanceState& self, int16_t, int32_t NewRow) {
  support::LogScope scope("m_Billinterface_AddNewRow");
  try {
    const ObjectPtr& bill = self.m_BillInterface;
    if (NewRow > VectorRef(call(bill, "Data", "Page2")).upperBound()) {
      scope.succeed();
      return;
    }
    Variant definition = support::FieldInfoByKey(bill, "FItemID");
    Variant cell = call(bill, "GetDataFld", definition, NewRow);
    // A row the user copied keeps what was copied into it; any other new row starts as a new material.
    if (isSomething(definition) && isSomething(cell) && !self.m_bCopyRow) {
      Variant cancel = false;
      automation::Arg cancelArg = automation::byRef(cancel);
      m_BillInterface_Change(self, definition.objectValue(), cell.objectValue(), 0, NewRow, cancelArg);
    }
    self.m_bCopyRow = false;
    scope.succeed();
  } catch (...) {
    automation::ErrorInfo error = automation::errorFromException(std::current_exception());
    support::ShowMessage(support::GetResText(error.description));
    scope.fail();
  }
}

void m_Billinterface_AfterCopyBill(InstanceState& self) {
  int32_t rows = VectorRef(call(self.m_BillInterface, "Data", "Page2")).upperBound();
  for (int64_t row = 1; row <= rows; ++row) SetQty(self, static_cast<int32_t>(row));
}

void m_Billinterface_AfterFillRow(InstanceState& self, int32_t lRow, const ObjectPtr&, const ObjectPtr&,
                                  const ObjectPtr&) {
  support::LogScope scope("m_Billinterface_AfterFillRow");
  const ObjectPtr& bill = self.m_BillInterface;
  DictionaryRef data(get(bill, "Data"));
  // Only the Boolean True counts, as the language's comparison with True takes it.
  if (automation::equalsNumber(data.getValue("NewBillHasData", false), -1)) {
    Variant fields = data.getValue("vctDoAction", Variant(nullptr));
    if (isSomething(fields)) {
      VectorRef keys(fields);
      int32_t last = keys.upperBound();
      for (int64_t i = keys.lowerBound(); i <= last; ++i)
        support::FireFieldAction(bill, automation::toText(keys.item(static_cast<int32_t>(i))), lRow, true);
    }
    if (VectorRef(data.item("Page2")).size() == lRow) {
      setToolStatesForMode(self);
      hideSwitchedOffUnits(bill);
      data.setItem("NewBillHasData", false);
    }
  }
  ApplyQtyDecimals(self);
  scope.succeed();
}

void m_Billinterface_AfterLoadBill(InstanceState& self) {
  support::LogScope scope("m_Billinterface_AfterLoadBill");
  ApplyQtyDecimals(self);
  setToolStatesForMode(self);
  hideSwitchedOffUnits(self.m_BillInterface);
  scope.succeed();
}

void m_BillInterface_AfterNewBill(InstanceState& self) {
  support::LogScope scope("m_BillInterface_AfterNewBill");
  const ObjectPtr& bill = self.m_BillInterface;
  if (automation::toLong(get(bill, member::kOperationMode)) == 1)
    support::SetBillField(bill, "FTranType", 0, int16_t{0}, true, false, "");
  setToolStatesForMode(self);
  support::ClearModifyFlags(bill);
  Variant option = get(support::BillMenuBar(bill), member::kWexBands, "mnuOption");
  automation::put(get(option, member::kWexTools, "mnuOptionBatchFull"), "Enabled", false);
  hideSwitchedOffUnits(bill);
  scope.succeed();
}

}  // namespace mto::bill
