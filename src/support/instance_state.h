#pragma once

#include "automation/object.h"

namespace mto::support {

/// What one plug-in instance holds: the bound editor and list and the copy-row marker. The creatable
/// class owns it; the handlers of the editor and the list work on it.
struct InstanceState {
  /// The bill editor ("BillEvent") this instance serves; null until bound.
  automation::ObjectPtr m_BillInterface;
  /// The bill list ("ListEvents") this instance serves; null until bound.
  automation::ObjectPtr m_LstInterface;
  /// Set by the copy-row command, consumed by the next added row within the entry page.
  bool m_bCopyRow = false;
};

}  // namespace mto::support
