#pragma once

#include <functional>

#include "automation/error.h"

namespace mto::testing {

/// The number of the automation error `f` raises; 0 when it raises none.
inline int errorNumber(const std::function<void()>& f) {
  try {
    f();
  } catch (const automation::AutomationError& e) {
    return e.number();
  }
  return 0;
}

}  // namespace mto::testing
