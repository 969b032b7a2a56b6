#include "bill/bill_events.h"

// Handlers whose behaviour is not built yet keep empty bodies here until their turn; each moves to
// a file of its own when it is written. docs/architecture.md lists which are still empty.

namespace mto::bill {

void m_Billinterface_AddNewRow(InstanceState&, int16_t, int32_t) {}
void m_Billinterface_AfterCopyBill(InstanceState&) {}
void m_Billinterface_AfterFillRow(InstanceState&, int32_t, const ObjectPtr&, const ObjectPtr&,
                                  const ObjectPtr&) {}
void m_Billinterface_AfterLoadBill(InstanceState&) {}
void m_BillInterface_AfterNewBill(InstanceState&) {}
void m_BillInterface_BarInitialize(InstanceState&, const ObjectPtr&) {}
void m_BillInterface_MenuBarInitialize(InstanceState&, const ObjectPtr&) {}
void InsertSepTool(const ObjectPtr&, const ObjectPtr&) {}
void RemoveSepTool(const ObjectPtr&, const ObjectPtr&) {}

}  // namespace mto::bill
