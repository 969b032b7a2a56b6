#pragma once

// The session the recorder and replay tests record: a short, real use of the plug-in.

#include <vector>

#include "automation/convert.h"
#include "core/cls_mto_change.h"
#include "host/events.h"
#include "journal/recorder.h"
#include "sim/components/sim_host.h"
#include "sim/editor/bill_editor.h"
#include "sim/editor/sample_bill.h"
#include "sim/replay/replayer.h"

namespace mto::sim::replay {

/// Through `recorder`, on a fresh thread: a new plug-in shown a sample bill of three rows, a new
/// material in row 2 (the stock on hand is asked) and a save, which the plug-in refuses since the
/// new material emptied row 2's quantity to move. Returns whether the save was refused.
inline bool recordSampleSession(SimHost& host, journal::Recorder& recorder) {
  using automation::ObjectPtr;
  using automation::Variant;
  auto editor = BillEditor::create(host.db());
  FreshThread scope(recorder.platform());
  auto plugin = core::clsMTOChange::create();
  recorder.callPlugin(*plugin, "Show", {ObjectPtr(editor)});
  fillSampleBill(*editor, 3);
  editor->cell("FItemID", 2)->set("FFLD", int32_t{13});
  editor->raiseChange("FItemID", 2);
  std::vector<Variant> save{Variant(false)};
  editor->raise(host::events::kBillBeforeSave, save);
  return automation::toBoolean(save[0]);
}

}  // namespace mto::sim::replay
