#pragma once

#include <cstdint>

#include "sim/editor/bill_editor.h"
#include "sim/db/database.h"

namespace mto::sim {

/// Stores the editor's bill as the host does after a save that nobody cancelled: the head into
/// t_MTOChange and each entry row into t_MTOChangeEntry, in one transaction. Returns the bill's
/// FInterID. Empty cells are stored as NULL, dates as 'YYYY-MM-DD' texts.
int64_t storeBill(Database& db, const BillEditor& editor);

}  // namespace mto::sim
