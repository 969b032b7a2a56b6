#pragma once

#include <cstdint>

#include "automation/object.h"
#include "support/instance_state.h"

namespace mto::list {

using automation::Arg;
using automation::ObjectPtr;
using support::InstanceState;

// The bill list's event handlers.

void m_LstInterface_BarInitialize(InstanceState& self, const ObjectPtr& oActiveBar);
void m_LstInterface_MenuBarInitialize(InstanceState& self, const ObjectPtr& oMenuBar);
void m_LstInterface_MenuBarClick(InstanceState& self, const ObjectPtr& WEXTool, Arg& Cancel);
void m_LstInterface_ListFillRow(InstanceState& self, int32_t lRow, const ObjectPtr& RowData,
                                const ObjectPtr& HeadDict, Arg& CellData, Arg& BackColor, Arg& ContinueRaise);
void m_LstInterface_UnMultiCheck(InstanceState& self, int32_t lCheckMode, int32_t lCheckMaxLevel,
                                 int32_t lBusinessLevel, int32_t lCheckStatus, int32_t lLastCheckFrom,
                                 int32_t lLastCheckTo, Arg& bSendMessage, Arg& Cancel);

}  // namespace mto::list
