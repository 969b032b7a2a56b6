#pragma once

#include "automation/error.h"
#include "automation/object.h"

namespace mto::automation {

/// The error object handed to host services (the message service's show-error operation): a
/// snapshot of an error with the late-bound properties "Number" (default member), "Source",
/// "Description", "HelpFile" and "HelpContext".
ObjectPtr makeErrObject(const ErrorInfo& info);

}  // namespace mto::automation
