#pragma once

#include "automation/object.h"

namespace mto::support {

/// The hidden form `frmBar` of this thread (caption "Form1"), loaded on first use; loading applies
/// the login language's font to it. Its `abInstall` toolbar store hands out the template tools
/// "Check" and "UnCheck" by key: `frmBar().abInstall.Tools("Check")`.
automation::ObjectPtr frmBar();

}  // namespace mto::support
