#pragma once

#include <string_view>

#include "automation/object.h"
#include "support/instance_state.h"

namespace mto::core {

/// Unpacks an event's arguments and runs its handler.
using EventHandler = void (*)(support::InstanceState&, automation::Args);

/// The handler of a bill-editor event, or null for an event the plug-in does not handle. Event
/// names compare exactly.
EventHandler findBillEventHandler(std::string_view event);
/// The handler of a bill-list event, or null.
EventHandler findListEventHandler(std::string_view event);

}  // namespace mto::core
