#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "automation/object.h"
#include "support/instance_state.h"

namespace mto::bill {

using automation::Arg;
using automation::ObjectPtr;
using support::InstanceState;

// The bill editor's event handlers. By-reference event arguments (Cancel, bCancel, bSendMessage)
// arrive as the host's `Arg`, so that an assignment goes back to the host.

void m_Billinterface_AddNewRow(InstanceState& self, int16_t Index, int32_t NewRow);
void m_Billinterface_AfterCopyBill(InstanceState& self);
void m_Billinterface_AfterFillRow(InstanceState& self, int32_t lRow, const ObjectPtr& dctPage,
                                  const ObjectPtr& dctEntryData, const ObjectPtr& dctLink);
void m_Billinterface_AfterLoadBill(InstanceState& self);
void m_BillInterface_AfterNewBill(InstanceState& self);
void m_BillInterface_Change(InstanceState& self, const ObjectPtr& dctFld, const ObjectPtr& dctFldData,
                            int32_t Col, int32_t Row, Arg& Cancel);
void m_BillInterface_BeforeSave(InstanceState& self, Arg& bCancel);
void m_BillInterface_BeginEdit(InstanceState& self, const ObjectPtr& dct, int32_t Col, int32_t Row);
void m_BillInterface_UnMultiCheck(InstanceState& self, int32_t lCheckMode, int32_t lCheckMaxLevel,
                                  int32_t lBusinessLevel, int32_t lCheckStatus, int32_t lLastCheckFrom,
                                  int32_t lLastCheckTo, Arg& bSendMessage, Arg& Cancel);
void m_BillInterface_BarInitialize(InstanceState& self, const ObjectPtr& oActiveBar);
void m_BillInterface_MenuBarInitialize(InstanceState& self, const ObjectPtr& oMenuBar);
void m_BillInterface_MenuBarClick(InstanceState& self, const ObjectPtr& WEXTool, Arg& Cancel);
void m_BillInterface_EntryGridRow(InstanceState& self, int32_t Index, int32_t NewRow, int32_t Row,
                                  bool RowWasLast, bool RowChanged, bool AllCellsHaveData,
                                  int32_t NewRowIsLast, bool Cancel);

/// The public toolbar procedures of the creatable class.
void InsertSepTool(const ObjectPtr& oABar, const ObjectPtr& oTool);
void RemoveSepTool(const ObjectPtr& oABar, const ObjectPtr& oTool);

}  // namespace mto::bill
