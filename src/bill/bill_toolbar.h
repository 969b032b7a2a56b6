#pragma once

#include <cstdint>

#include "support/instance_state.h"

namespace mto::bill {

/// Sets the bill menu's command states for an operation mode: batch full disabled, batch fill and
/// link bill hidden and disabled; in mode 1 new and save enabled and check/uncheck hidden; in modes
/// 2 and 0 check/uncheck shown, and in mode 0 look-up hidden; then refreshes the menu bar. A step
/// that fails is skipped. `mode` is the editor's, passed by reference and left as it is.
void SetToolStates(support::InstanceState& self, const int32_t& mode);

}  // namespace mto::bill
