#include <cstdint>

#include "automation/convert.h"
#include "automation/error.h"
#include "automation/platform.h"
#include "bill/bill_events.h"
#include "bill/stock_status.h"
#include "host/collections.h"
#include "host/contract.h"

namespace mto::bill {

using automation::call;
using automation::get;
using host::DictionaryRef;

void m_BillInterface_EntryGridRow(InstanceState& self, int32_t Index, int32_t NewRow, int32_t, bool, bool, bool,
                                  int32_t, bool) {
  try {
    const ObjectPtr& bill = self.m_BillInterface;
    auto parameters = DictionaryRef::create();
    auto results = DictionaryRef::create();
    Variant tableInfo = get(bill, "TableInfo");
    parameters.setItem("ClassType", get(bill, host::member::kClassType));
    parameters.setItem("ClassTypeEntry", get(bill, host::member::kEntryClassType));
    parameters.setItem("TableInfo", tableInfo);
    parameters.setItem("Data", get(bill, "Data"));
    parameters.setItem("NewRow", automation::toText(NewRow));
    // The first entry grid is page 2.
    int64_t page = int64_t{Index} + 2;
    if (page > INT32_MAX) automation::raiseError(automation::errc::kOverflow);
    parameters.setItem("Paramenters", GetPageActionParameters(static_cast<int32_t>(page), DictionaryRef(tableInfo)));

    ObjectPtr runner = automation::createObject(host::progid::kStockQtyAction);
    call(runner, "SetInterface", bill);
    automation::putRef(runner, "DataSrv", get(bill, "DataSrv"));
    call(runner, "DoAction", "WEXSer_GetStockQtyAndSecurityQty", parameters.object(), results.object());
  } catch (...) {
    automation::reraiseFrom("T8ExpWEXPlug.ClsBoxUp_Bill::m_BillInterface_EntryGridRow");
  }
}

}  // namespace mto::bill
