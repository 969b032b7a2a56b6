#pragma once

#include "automation/platform.h"
#include "sim/runtime/environment.h"

namespace mto::sim {

/// Registers the host's stock-status window ("T8StockStatus.SSFace": `ShowByBill`(filter), `Show`)
/// and its two action runners ("D8OduruverRunAction.clsDoAction" and
/// "T8WEXSerRunAction.clsDoAction": `SetInterface`(bill), `DataSrv` put by reference,
/// `DoAction`(name, parameters, results)). They open no window and compute nothing: every call is
/// recorded in `env.hostActions`, which must outlive the objects made.
void registerActionComponents(automation::RegistryPlatform& platform, Environment& env);

}  // namespace mto::sim
