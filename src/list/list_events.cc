#include "list/list_events.h"

// Handlers whose behaviour is not built yet keep empty bodies here until their turn.

namespace mto::list {

void m_LstInterface_BarInitialize(InstanceState&, const ObjectPtr&) {}
void m_LstInterface_MenuBarInitialize(InstanceState&, const ObjectPtr&) {}
void m_LstInterface_MenuBarClick(InstanceState&, const ObjectPtr&, Arg&) {}
void m_LstInterface_ListFillRow(InstanceState&, int32_t, const ObjectPtr&, const ObjectPtr&, Arg&, Arg&,
                                Arg&) {}

// Subscribed so that the list raises it to this plug-in; there is nothing to do on an un-check.
void m_LstInterface_UnMultiCheck(InstanceState&, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, Arg&,
                                 Arg&) {}

}  // namespace mto::list
