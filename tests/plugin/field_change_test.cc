#include "bill/field_change.h"

#include <ostream>

#include "automation/convert.h"
#include "automation/dates.h"
#include "common/sim_fixture.h"
#include "core/cls_mto_change.h"
#include "sim/components/collections.h"
#include "sim/db/demo_data.h"
#include "sim/editor/bill_editor.h"

namespace mto::bill {
namespace {

using automation::AutomationError;
using automation::Date;
using automation::makeDate;
using automation::Variant;
namespace demo = sim::demo;

/// An editor bound to the plug-in, so that user entries reach the change handler as events.
class FieldChangeTest : public testing::SimTest {
 protected:
  FieldChangeTest() : editor_(sim::BillEditor::create(host().db())), plugin_(core::clsMTOChange::create()) {
    plugin_->Show(automation::ObjectPtr(editor_));
    state_.m_BillInterface = editor_;
    editor_->addRow();
    env().logScopes.clear();
    startCounting();
  }
  void setRow(std::initializer_list<std::pair<const char*, Variant>> cells, int32_t row = 1) {
    for (const auto& [key, value] : cells) editor_->setCell(key, row, value);
  }
  Variant fld(std::string_view key, int32_t row = 1) const { return editor_->value(key, row); }
  /// Raises Change as the editor does, with a definition and cell of one's own.
  void raiseChange(std::shared_ptr<sim::Dictionary> definition, int32_t row) {
    auto cell = editor_->cell("FItemID", 1);
    std::vector<Variant> args{automation::ObjectPtr(definition), automation::ObjectPtr(cell),
                              Variant(int32_t{1}), Variant(row), Variant(false)};
    editor_->raise(host::events::kBillChange, args);
  }
  uint64_t billCalls() const {
    uint64_t n = 0;
    for (const auto& [name, count] : callsSinceMark())
      if (name.starts_with("BillEvent.") || name.starts_with("SysInfo.")) n += count;
    return n;
  }
  void useDottedLocale() {
    automation::Locale locale;
    locale.dateSeparator = ".";
    locale.shortDatePattern = "dd.MM.yyyy";
    host().platform().setLocale(locale);
  }
  static std::string shortDate(Date d) { return automation::dateText(d); }

  std::shared_ptr<sim::BillEditor> editor_;
  std::shared_ptr<core::clsMTOChange> plugin_;
  support::InstanceState state_;
};

TEST_F(FieldChangeTest, RowsBelowOneAndKeysOfAnotherCaseDoNothing) {
  editor_->setCell("FItemID", 1, int32_t{0});
  for (int32_t row : {0, -1}) raiseChange(editor_->definition("FItemID"), row);
  auto otherCase = sim::Dictionary::create();
  otherCase->set("FKey", "FItemid");
  raiseChange(otherCase, 1);
  EXPECT_EQ(billCalls(), 0u);
  ASSERT_EQ(env().logScopes.size(), 3u);
  for (const auto& scope : env().logScopes) EXPECT_EQ(scope.code, 0) << "closed normally";
}

TEST_F(FieldChangeTest, ChoosingAMaterialResetsTheRowAndReadsFreeStock) {
  setRow({{"FStockID", demo::kRawMaterials},
          {"FSPID", demo::kRackA1Bin2},
          {"FAuxPropID", demo::kRed},
          {"FFromMTONo", demo::kPlanA},
          {"FToMTONo", "MTO-2026-009"},
          {"FQty", 5.0},
          {"FBaseQty", 5.0},
          {"FSecQty", 1.0},
          {"FChangeQty", 3.0},
          {"FChangeBaseQty", 3.0},
          {"FChangeSecQty", 1.0}});
  editor_->userSetCell("FItemID", 1, demo::kSteelPlate);
  EXPECT_EQ(fld("FAuxPropID"), Variant("")) << "0 finds no auxiliary property";
  EXPECT_EQ(editor_->displayedText("FAuxPropID", 1), "Red") << "written without a refresh";
  for (const char* key : {"FFromMTONo", "FToMTONo", "FChangeQty", "FChangeBaseQty", "FChangeSecQty"})
    EXPECT_EQ(editor_->displayedText(key, 1), "") << key;
  EXPECT_EQ(fld("FQty"), Variant(1000.0)) << "free stock of the steel plate at that place";
  EXPECT_EQ(fld("FSecQty"), Variant(0.0));
  EXPECT_EQ(editor_->cellDecimals("FQty", 1), 2);
}

TEST_F(FieldChangeTest, ShelfLifeMaterialStartsTodayUnlessTheRowHasAStartDate) {
  useDottedLocale();
  host().platform().setNow(makeDate(2026, 3, 15, 10, 30));
  editor_->userSetCell("FItemID", 1, demo::kEpoxyAdhesive);
  EXPECT_EQ(fld("FKFDate"), Variant("2026.03.15"));
  EXPECT_EQ(fld("FPeriodDate"), Variant("11.09.2026")) << "180 days later";

  editor_->addRow();
  editor_->setCell("FKFDate", 2, "2026.01.10");
  editor_->userSetCell("FItemID", 2, demo::kEpoxyAdhesive);
  EXPECT_EQ(fld("FKFDate", 2), Variant("2026.01.10"));
  EXPECT_EQ(fld("FPeriodDate", 2), Variant("09.07.2026"));

  editor_->addRow();
  failMember("SysInfo.GetQty");
  EXPECT_THROW(editor_->userSetCell("FItemID", 3, demo::kLubricatingOil), AutomationError);
  EXPECT_EQ(fld("FKFDate", 3), Variant("2026.03.15"));
  EXPECT_EQ(fld("FPeriodDate", 3), Variant("2027.03.15")) << "bill date format until the stock is read";
}

TEST_F(FieldChangeTest, ClearingTheMaterialBlanksClearableCellsAndReadsNothing) {
  editor_->billTemplate().set("FNote", "FVisible", int32_t{2});
  for (Variant cleared : {Variant(int32_t{0}), Variant("")}) {
    setRow({{"FItemID", demo::kSteelPlate},
            {"FBatchNo", "B-1"},
            {"FToMTONo", "MTO-2026-009"},
            {"FQty", 5.0},
            {"FChangeQty", 3.0},
            {"FChangeBaseQty", 3.0},
            {"FNote", "kept"}});
    editor_->userSetCell("FItemID", 1, cleared);
    for (const char* key : {"FItemID", "FBatchNo", "FToMTONo", "FChangeQty"}) {
      EXPECT_EQ(fld(key), Variant("")) << key;
      EXPECT_EQ(editor_->displayedText(key, 1), "") << key;
    }
    EXPECT_EQ(fld("FQty"), Variant(5.0)) << "no tab index";
    EXPECT_EQ(fld("FChangeBaseQty"), Variant(3.0));
    EXPECT_EQ(fld("FNote"), Variant("kept")) << "visibility bit 0 clear";
  }
  EXPECT_EQ(calls("SysInfo.GetQty") + calls("BillEvent.SetDecimal"), 0u);
}

TEST_F(FieldChangeTest, ShelfLifeDatesMoveTogether) {
  setRow({{"FKFPeriod", "30"}});
  editor_->userSetCell("FKFDate", 1, "2026-04-01");
  EXPECT_EQ(fld("FPeriodDate"), Variant(shortDate(makeDate(2026, 5, 1))));

  setRow({{"FKFPeriod", ""}});
  editor_->userSetCell("FPeriodDate", 1, "2026-06-30");
  EXPECT_EQ(fld("FKFDate"), Variant(makeDate(2026, 6, 30)));
  EXPECT_EQ(fld("FPeriodDate"), Variant(shortDate(makeDate(2026, 6, 30))));

  setRow({{"FKFDate", "2026-04-01"}});
  editor_->userSetCell("FKFPeriod", 1, "");
  EXPECT_EQ(fld("FPeriodDate"), Variant(shortDate(makeDate(2026, 4, 1)))) << "an empty period is 0 days";

  setRow({{"FKFPeriod", "30"}});
  failMember("SysInfo.GetQty");
  EXPECT_THROW(editor_->userSetCell("FKFDate", 1, "2026-04-01"), AutomationError);
  EXPECT_EQ(fld("FPeriodDate"), Variant(makeDate(2026, 5, 1))) << "a date value before the stock is read";
}

TEST_F(FieldChangeTest, ShelfLifeChangesWithoutADateWriteNothingAndOverflowLeavesEmpty) {
  editor_->userSetCell("FKFPeriod", 1, "45");
  editor_->userSetCell("FKFDate", 1, "soon");
  editor_->userSetCell("FPeriodDate", 1, "later");
  EXPECT_EQ(calls("SysInfo.GetQty") + calls("BillEvent.SetText"), 0u);

  setRow({{"FKFPeriod", "60"}});
  editor_->userSetCell("FKFDate", 1, "9999-12-01");
  EXPECT_EQ(fld("FPeriodDate"), Variant(""));
}

TEST_F(FieldChangeTest, QtyDecimalsFollowEachRowsMaterial) {
  ApplyQtyDecimals(state_);
  editor_->removeRow(1);
  startCounting();
  ApplyQtyDecimals(state_);
  EXPECT_EQ(calls("BillEvent.SetDecimal") + calls("BillEvent.SetSumDecimal"), 0u) << "no rows";

  const std::pair<int32_t, int32_t> materials[] = {
      {demo::kSteelPlate, 2}, {demo::kPrecisionShim, 4}, {demo::kHexBolt, 0}, {demo::kSteelPlate, 2}};
  for (auto [item, decimals] : materials) editor_->setCell("FItemID", editor_->addRow(), item);
  editor_->addRow();  // no material: 0 decimals
  editor_->userSetCell("FChangeQty", 1, 2.0);
  EXPECT_EQ(calls("SysInfo.GetQty"), 0u);
  for (const char* key : {"FChangeBaseQty", "FChangeSecQty", "FChangeQty", "FQty", "FSecQty"}) {
    for (int32_t row = 1; row <= 4; ++row)
      EXPECT_EQ(editor_->cellDecimals(key, row), materials[row - 1].second) << key;
    EXPECT_EQ(editor_->cellDecimals(key, 5), 0) << key;
    EXPECT_EQ(editor_->sumDecimals(key), 4) << key;
  }
  EXPECT_EQ(editor_->cellDecimals("FBaseQty", 1), std::nullopt);
  EXPECT_EQ(editor_->sumDecimals("FBaseQty"), std::nullopt);

  // A material without decimals leaves its row as it was, and the totals still count that row.
  host().db().execute("UPDATE t_ICItem SET FQtyDecimal = '' WHERE FItemID = " +
                      std::to_string(demo::kCopperWire));
  int32_t row = editor_->addRow();
  editor_->setCell("FItemID", row, demo::kCopperWire);
  editor_->cell("FQty", row)->set("FDecimal", int32_t{6});
  ApplyQtyDecimals(state_);
  EXPECT_EQ(editor_->cellDecimals("FQty", row), std::nullopt);
  EXPECT_EQ(editor_->sumDecimals("FQty"), 6);
  EXPECT_EQ(editor_->sumDecimals("FSecQty"), 4);
}

}  // namespace
}  // namespace mto::bill
