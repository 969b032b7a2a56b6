#include "list/list_events.h"

#include "common/sim_fixture.h"
#include "core/cls_mto_change.h"
#include "sim/components/toolbar.h"
#include "sim/editor/bill_list.h"
#include "sim/editor/menu_bar.h"

namespace mto::list {
namespace {

using automation::Variant;

class ListTest : public testing::SimTest {
 protected:
  ListTest() : list_(sim::BillList::create(host().db())) {
    plugin_->Show(ObjectPtr(list_));
    list_->setColumns({{"FBillNo", "Bill no."}, {"FSecCoefficient", "Coefficient"}, {"FQty", "Qty"}});
  }

  /// Draws one row and returns what the coefficient cell shows.
  const sim::ListCellDraw& drawCoefficient(Variant coefficient, Variant decimals) {
    sim::ListRow row{{"FBillNo", Variant("MTO000001")}, {"FSecCoefficient", coefficient}, {"FQty", 5.5}};
    if (!decimals.isMissing()) row["FItemID_FQtyDecimal"] = decimals;
    list_->setRows({row});
    list_->drawRows();
    return *list_->drawnCell(1, "FSecCoefficient");
  }

  std::shared_ptr<sim::BillList> list_;
  std::shared_ptr<core::clsMTOChange> plugin_ = core::clsMTOChange::create();
};

TEST_F(ListTest, TheCoefficientShowsTheMaterialsQuantityDecimals) {
  struct Case {
    Variant coefficient, decimals;
    std::string text;
  };
  const Case cases[] = {
      {2.5, int32_t{3}, "2.500"},
      {1234.5, int32_t{2}, "1,234.50"},
      {7, int32_t{0}, "7."},
      {1234, int32_t{0}, "1,234."},
      {Variant("12.25"), Variant("1"), "12.3"},  // texts as the record may hold them; halves away from zero
      {0.0, int32_t{2}, ""},
      {-3, int32_t{2}, ""},
      {Variant::null(), int32_t{2}, ""},
      {Variant(), Variant::missing(), ""},  // no coefficient: the decimals are not read
  };
  for (const auto& c : cases) {
    const auto& cell = drawCoefficient(c.coefficient, c.decimals);
    EXPECT_EQ(cell.text, c.text) << describe(c.coefficient) << " with " << describe(c.decimals);
    EXPECT_TRUE(cell.continueRaise) << describe(c.coefficient);
    EXPECT_FALSE(cell.error.has_value());
  }
}

TEST_F(ListTest, TheUsersLocaleSeparatorsAreUsed) {
  automation::Locale german;
  german.thousandsSeparator = ".";
  german.decimalSeparator = ",";
  host().platform().setLocale(german);
  EXPECT_EQ(drawCoefficient(1234.5, int32_t{2}).text, "1.234,50");
}

TEST_F(ListTest, DecimalsThatAreNoWholeNumberFailTheCellAndLeaveItsText) {
  for (const Variant& decimals : {Variant("two"), Variant::null(), Variant(int32_t{-1}), Variant::missing()}) {
    const auto& cell = drawCoefficient(2.5, decimals);
    ASSERT_TRUE(cell.error.has_value()) << describe(decimals);
    EXPECT_EQ(cell.text, cell.hostText) << "the host's text stays";
    EXPECT_FALSE(cell.continueRaise);
  }
}

TEST_F(ListTest, OtherColumnsAreLeftToTheHostAfterOneReadOfTheColumnName) {
  drawCoefficient(2.5, int32_t{3});
  for (const char* field : {"FBillNo", "FQty"}) {
    const auto* cell = list_->drawnCell(1, field);
    EXPECT_TRUE(cell->raised);
    EXPECT_EQ(cell->text, cell->hostText);
    EXPECT_FALSE(cell->continueRaise);
  }
  startCounting();
  list_->setColumns({{"FBillNo", "Bill no."}});
  list_->drawRows();
  EXPECT_EQ(calls("Dictionary."), 1u) << "HeadDict(\"FColName\")";
  EXPECT_EQ(calls("Recordset."), 0u);
}

TEST_F(ListTest, ReducedModeHidesTheEditingCommandsAndAddsNoCheckTools) {
  list_->setShowMode(3);
  list_->barInitialize();
  const auto& bar = *list_->toolbar();
  for (const char* key : {"mnuFileNew", "mnuEditModify", "mnuEditDelete", "mnuEditCopy", "mnuDataFilter",
                          "mnuDataAccessory", "mnuCaculate", "mnuEdit"})
    EXPECT_FALSE(bar.tool(key)->state().visible) << key;
  EXPECT_EQ(bar.tool("Check"), nullptr);
  EXPECT_EQ(bar.recalcCount(), 1);
}

TEST_F(ListTest, AMultiLevelCheckStillAddsTheToolsThenHidesThem) {
  list_->setMultiCheck(true, true);
  list_->barInitialize();
  const auto& bar = *list_->toolbar();
  ASSERT_NE(bar.tool("Check"), nullptr);
  EXPECT_FALSE(bar.tool("Check")->state().visible);
  EXPECT_FALSE(bar.tool("UnCheck")->state().visible);
  EXPECT_FALSE(bar.tool("UnCheck")->state().enabled);
  auto buttons = bar.bandToolNames("BandToolBar");
  EXPECT_EQ(buttons[5], "mnuEditCopy");
  EXPECT_EQ(buttons[6], "Check");
  EXPECT_EQ(std::count(buttons.begin(), buttons.end(), "UnCheck"), 0) << "uncheck stays off the button bar";
  EXPECT_EQ(bar.tool("Check")->state().caption, "Check");
  EXPECT_EQ(bar.recalcCount(), 1);
}

TEST_F(ListTest, CalculationListsLoseTheirCheckCommands) {
  struct Case {
    std::optional<Variant> callByCalculate;
    bool disabled;
  };
  const Case cases[] = {{Variant(true), true}, {Variant(int32_t{1}), false}, {Variant("True"), false}, {{}, false}};
  for (const auto& c : cases) {
    list_->setMenuBar(sim::MenuBar::billListMenus());
    if (c.callByCalculate) list_->setCallByCalculate(*c.callByCalculate);
    else list_->clearCallByCalculate();
    list_->menuBarInitialize();
    const auto& bar = *list_->menuBar();
    EXPECT_FALSE(bar.tool("mnuDataViewNextBill")->state().enabled);
    for (const char* key : {"mnuEditCheck", "mnuEditUnMultiCheck", "mnuBackData", "mnuEditStartMultiCheck",
                            "mnuEditMultiCheck"})
      EXPECT_EQ(bar.tool(key)->state().enabled, !c.disabled)
          << key << " with " << (c.callByCalculate ? describe(*c.callByCalculate) : "none");
    EXPECT_EQ(bar.refreshCount(), 0);
  }
}

TEST_F(ListTest, CopyNeedsTheUsersPermissionOtherCommandsNeverCheck) {
  EXPECT_FALSE(list_->userClickMenu("mnuEditCopy")) << "user 16394 may copy";
  host().setPropsString("UserID=16395;LANGUAGE=en;");
  EXPECT_FALSE(list_->userClickMenu("mnuEditModify"));
  EXPECT_TRUE(env().messages.empty());
  EXPECT_TRUE(list_->userClickMenu("mnuEditCopy")) << "user 16395 is refused the copy";
  EXPECT_EQ(env().messages.size(), 1u);
}

}  // namespace
}  // namespace mto::list
