#pragma once

#include "automation/dates.h"
#include "automation/object.h"
#include "support/instance_state.h"

namespace mto::bill {

/// The current accounting period as the host's list server last reported it.
struct CurrentPeriod {
  int32_t year = 0;
  int32_t period = 0;
  automation::Date first;
  automation::Date last;
};

/// Asks the host's list server for the current period and keeps it for the thread. Raises.
void LoadCurrentPeriod();

/// The period `LoadCurrentPeriod` kept for this thread.
const CurrentPeriod& currentPeriod();

/// Loads the current period and tells whether the bill's date (head "FDate") falls before its first
/// day; a bill not dated yet (Empty, Null or "") is not early. A date that cannot be read raises.
bool billDateBeforeCurrentPeriod(const automation::ObjectPtr& bill);

}  // namespace mto::bill
