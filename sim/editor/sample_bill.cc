#include "sim/editor/sample_bill.h"

#include <array>

#include "automation/dates.h"
#include "sim/db/demo_data.h"

namespace mto::sim {

void fillSampleBill(BillEditor& editor, int32_t rows) {
  constexpr std::array<int32_t, 5> kMaterials = {demo::kSteelPlate, demo::kAluminiumBar, demo::kHexBolt,
                                                 demo::kCopperWire, demo::kPrecisionShim};
  editor.setCell("FDate", 0, automation::Variant(automation::makeDate(2026, 12, 1)));
  for (int32_t i = 0; i < rows; ++i) {
    int32_t row = editor.addRow();
    if (row == 1) {
      editor.setCell("FItemID", row, demo::kEpoxyAdhesive);
      editor.setCell("FKFPeriod", row, int32_t{180});
      editor.setCell("FKFDate", row, automation::Variant(automation::makeDate(2026, 11, 1)));
      editor.setCell("FPeriodDate", row, automation::Variant(automation::makeDate(2027, 4, 30)));
    } else {
      editor.setCell("FItemID", row, kMaterials[static_cast<size_t>(i) % kMaterials.size()]);
    }
    editor.setCell("FStockID", row, demo::kRawMaterials);
    editor.setCell("FFromMTONo", row, std::string(demo::kPlanA));
    editor.setCell("FChangeQty", row, int32_t{1});
  }
}

}  // namespace mto::sim
