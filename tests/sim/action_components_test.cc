#include "sim/components/action_components.h"

#include <string>
#include <vector>

#include "automation/convert.h"
#include "automation/platform.h"
#include "common/sim_fixture.h"
#include "host/collections.h"
#include "sim/components/stock_status_filter.h"
#include "sim/editor/bill_editor.h"

namespace mto::sim {
namespace {

using automation::call;
using automation::createObject;
using automation::Variant;
using Condition = StockStatusQuery::Condition;

// --- The stock-status filter -----------------------------------------------------------------------

TEST(StockStatusFilter, ReadsConditionsJoinedByAndInAnyCase) {
  struct Case {
    std::string text;
    StockStatusQuery want;
  };
  const std::vector<Case> cases = {
      {"t1.FItemID IN(12,12)", {{Condition{StockColumn::ItemId, {int64_t{12}, int64_t{12}}}}}},
      {"  fitemid = -3 ", {{Condition{StockColumn::ItemId, {int64_t{-3}}}}}},
      {"T1 . FStockID in ( 31 , 32 ) and t1.FMTONo='MTO-2026-001' AND FSPID=41",
       {{Condition{StockColumn::StockId, {int64_t{31}, int64_t{32}}},
         Condition{StockColumn::MtoNo, {std::string("MTO-2026-001")}},
         Condition{StockColumn::StockPlaceId, {int64_t{41}}}}}},
      {"FBatchNo IN('O''Hara', '', 2611)",
       {{Condition{StockColumn::BatchNo, {std::string("O'Hara"), std::string(""), std::string("2611")}}}}},
      {"FAUXPROPID=51", {{Condition{StockColumn::AuxPropId, {int64_t{51}}}}}},
      {"   ", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(parseStockStatusFilter(c.text), c.want) << c.text;
}

TEST(StockStatusFilter, RefusesAnythingElseNamingTheFilter) {
  for (std::string text :
       {"t1.FItemID IN(12) OR 1=1 --", "t1.FItemID IN(12,12) OR 1=1 --", "12,13", "t1.FItemID 12,13",
        "t1.FItemID = 12,13", "t1.FPrice = 3", "t2.FItemID = 12", "t1.FItemID IN(12", "t1.FItemID IN 12)",
        "t1.FItemID IN()", "t1.FItemID = '12'", "t1.FMTONo = 'MTO", "t1.FItemID = 12.5", "t1.FItemID = 12abc",
        "t1.FItemID = 99999999999999999999", "t1.FItemID = 12 AND", "t1.FItemID = 12; DROP",
        "t1.FItemID = 12\nAND x"}) {
    try {
      parseStockStatusFilter(text);
      ADD_FAILURE() << "accepted: " << text;
    } catch (const automation::AutomationError& e) {
      EXPECT_EQ(e.number(), 5) << text;
      EXPECT_EQ(e.info().source, "T8StockStatus.SSFace") << text;
      EXPECT_NE(e.info().description.find("Bad stock filter"), std::string::npos) << text;
      EXPECT_EQ(e.info().description.find('\n'), std::string::npos) << "one line: " << text;
    }
  }
}

// --- The window and the runners over a bill ------------------------------------------------------

class ActionComponentsTest : public testing::SimTest {
 protected:
  ActionComponentsTest() : editor_(BillEditor::create(host().db())) {}

  /// A row with these cells (stored data, no events); returns its number.
  int32_t addRow(const std::vector<std::pair<std::string, Variant>>& cells) {
    int32_t row = editor_->addRow();
    for (const auto& [key, value] : cells) editor_->setCell(key, row, value);
    return row;
  }

  /// Runs an action through a runner handed the editor, as the plug-in does; returns the results.
  host::DictionaryRef run(std::string_view progId, std::string_view action,
                          const std::vector<std::pair<std::string, Variant>>& parameters) {
    auto runner = createObject(progId);
    call(runner, "SetInterface", Variant(automation::ObjectPtr(editor_)));
    automation::putRef(runner, "DataSrv", Variant(automation::ObjectPtr(editor_->dataSrv())));
    auto dict = host::DictionaryRef::create();
    for (const auto& [key, value] : parameters) dict.setItem(key, value);
    auto results = host::DictionaryRef::create();
    call(runner, "DoAction", std::string(action), dict.object(), results.object());
    return results;
  }
  host::DictionaryRef pickBatch(std::string paramenters = {}) {
    std::vector<std::pair<std::string, Variant>> p;
    if (!paramenters.empty()) p.emplace_back("Paramenters", paramenters);
    return run("D8OduruverRunAction.clsDoAction", "Batch_F7Action", p);
  }
  const HostActionRecord& last() { return env().hostActions.back(); }

  std::shared_ptr<BillEditor> editor_;
};

TEST_F(ActionComponentsTest, StockStatusWindowListsTheStockTheFilterSelects) {
  call(createObject("T8StockStatus.SSFace"), "ShowByBill", "t1.FItemID IN(12,12)");
  ASSERT_EQ(env().hostActions.size(), 1u);
  EXPECT_EQ(last().detail, "t1.FItemID IN(12,12)");
  EXPECT_EQ(last().outcome, "4 rows");
  ASSERT_EQ(last().stockRows.size(), 4u);
  EXPECT_EQ(last().stockRows[0], (StockStatusLine{12, "01.01.001", "Steel plate", "Raw material warehouse",
                                                  "A-01-01", "", "MTO-2026-001", 500, "kg"}));
  EXPECT_EQ(last().stockRows[2].stockPlace, "A-01-02");
  EXPECT_EQ(last().stockRows[3].stock, "Finished goods warehouse");

  call(createObject("T8StockStatus.SSFace"), "Show");
  EXPECT_EQ(last().call, "Show");
  EXPECT_EQ(last().outcome, "20 rows");
  EXPECT_EQ(last().stockRows.front().itemNumber, "01.01.001");
  EXPECT_EQ(last().stockRows.back().itemNumber, "04.01.001");
}

TEST_F(ActionComponentsTest, StockStatusWindowRefusesABadFilterWithoutListing) {
  auto window = createObject("T8StockStatus.SSFace");
  try {
    call(window, "ShowByBill", "t1.FItemID IN(12) OR 1=1 --");
    ADD_FAILURE() << "a widened filter was accepted";
  } catch (const automation::AutomationError& e) {
    EXPECT_EQ(e.number(), 5);
  }
  ASSERT_EQ(env().hostActions.size(), 1u);
  EXPECT_TRUE(last().stockRows.empty());
  EXPECT_NE(last().outcome.find("Bad stock filter"), std::string::npos);
}

TEST_F(ActionComponentsTest, BatchActionWritesTheFirstBatchToExpireAsTheEditorStoresIt) {
  host().db().execute(R"sql(INSERT INTO t_ICInventory (FItemID, FStockID, FSPID, FBatchNo, FMTONo, FKFDate,
    FKFPeriod, FQty) VALUES (15, 32, 44, 'EP-2610', 'MTO-2026-001', '2026-10-01', 180, 3),
                            (15, 32, 44, 'EP-2501', 'MTO-2026-001', '', 0, 5))sql");
  addRow({{"FItemID", 13}, {"FFromMTONo", "MTO-2026-002"}});
  int32_t row = addRow({{"FItemID", 15}, {"FFromMTONo", "MTO-2026-001"}, {"FStockID", 31}});
  editor_->setActiveControl("grid", 0, 1, row);
  startCounting();

  // Without BatchFilter the tracking number alone narrows: the batch in the other warehouse wins.
  auto results = pickBatch();
  EXPECT_EQ(last().outcome, "row 2: batch EP-2610");
  EXPECT_EQ(results.item("FBatchNo").stringValue(), "EP-2610");
  EXPECT_EQ(automation::toDouble(results.item("FQty")), 3);
  EXPECT_EQ(editor_->value("FStockID", row).longValue(), 32);
  EXPECT_EQ(editor_->value("FSPID", row).longValue(), 44);
  EXPECT_EQ(editor_->value("FKFDate", row).stringValue(), "2026-10-01");
  EXPECT_EQ(editor_->value("FKFPeriod", row).longValue(), 180);
  EXPECT_EQ(editor_->value("FPeriodDate", row).stringValue(), "2027-03-30");
  EXPECT_EQ(editor_->cell("FBatchNo", row)->at("FModify").integerValue(), 1);
  EXPECT_EQ(editor_->displayedText("FStockID", row), "Finished goods warehouse");
  EXPECT_TRUE(editor_->value("FBatchNo", 1).stringValue().empty()) << "only the active row";

  // The bill's warehouse named by BatchFilter keeps the choice in it.
  editor_->setCell("FStockID", row, 31);
  pickBatch("BatchFilter=FStockID,FFromMTONo;QtyField=FChangeQty");
  EXPECT_EQ(editor_->value("FBatchNo", row).stringValue(), "EP-2611");
  EXPECT_EQ(editor_->value("FPeriodDate", row).stringValue(), "2027-04-30");

  for (const auto& [member, count] : callsSinceMark())
    EXPECT_EQ(member.rfind("BillEvent.", 0), std::string::npos) << member << " was called " << count;
}

TEST_F(ActionComponentsTest, BatchActionWritesNothingWithoutActiveRowMaterialOrBatch) {
  int32_t withoutMaterial = addRow({{"FFromMTONo", "MTO-2026-001"}});
  int32_t unbatched = addRow({{"FItemID", 12}, {"FFromMTONo", "MTO-2026-001"}});
  int32_t elsewhere = addRow({{"FItemID", 13}, {"FFromMTONo", "MTO-2026-009"}});

  pickBatch();
  EXPECT_EQ(last().outcome, "no active entry row: nothing written");
  editor_->setActiveControl("EditPlus", 3, 0, unbatched);
  pickBatch();
  EXPECT_EQ(last().outcome, "no active entry row: nothing written") << "a head field is active";
  editor_->setActiveControl("grid", 0, 1, withoutMaterial);
  pickBatch();
  EXPECT_EQ(last().outcome, "row 1 has no material: nothing written");
  editor_->setActiveControl("grid", 0, 1, unbatched);
  pickBatch();
  EXPECT_EQ(last().outcome, "no batch of material 12 in stock under MTO-2026-001: nothing written");
  editor_->setActiveControl("grid", 0, 1, elsewhere);
  auto results = pickBatch();
  EXPECT_EQ(last().outcome, "no batch of material 13 in stock under MTO-2026-009: nothing written");
  EXPECT_EQ(results.count(), 0);
  run("D8OduruverRunAction.clsDoAction", "WEXSer_GetStockQtyAndSecurityQty", {});
  EXPECT_NE(last().outcome.find("nothing done"), std::string::npos);

  for (int32_t row = 1; row <= 3; ++row) {
    EXPECT_TRUE(editor_->value("FBatchNo", row).stringValue().empty());
    EXPECT_EQ(editor_->cell("FStockID", row)->at("FModify").integerValue(), 0);
  }
  EXPECT_EQ(env().hostActions.size(), 6u) << "every call recorded";
}

TEST_F(ActionComponentsTest, StockQtyActionWritesStockAndSafetyStockInTheRowsUnit) {
  addRow({{"FItemID", 12}});
  int32_t row = addRow({{"FItemID", 14},
                        {"FUnitID", 2},
                        {"FStockID", 31},
                        {"FSPID", 42},
                        {"FFromMTONo", "MTO-2026-001"},
                        {"FAuxPropID", 51}});
  auto results = run("T8WEXSerRunAction.clsDoAction", "WEXSer_GetStockQtyAndSecurityQty",
                     {{"Index", 0}, {"NewRow", std::to_string(row)}});
  EXPECT_EQ(last().outcome, "row 2: stock 200, safety stock 100") << "2400 and 1200 pcs in boxes of 12";
  EXPECT_EQ(automation::toDouble(editor_->value("FStockQty", row)), 200);
  EXPECT_EQ(automation::toDouble(editor_->value("FSecurityQty", row)), 100);
  EXPECT_EQ(automation::toDouble(results.item("StockQty")), 200);
  EXPECT_EQ(automation::toDouble(results.item("SecurityQty")), 100);
  EXPECT_TRUE(editor_->value("FStockQty", 1).stringValue().empty());
  EXPECT_EQ(last().parameterKeys, (std::vector<std::string>{"Index", "NewRow"}));
  EXPECT_TRUE(last().interfaceSet);
  EXPECT_TRUE(last().dataSrvSet);

  run("T8WEXSerRunAction.clsDoAction", "WEXSer_GetStockQtyAndSecurityQty", {{"NewRow", "3"}});
  EXPECT_EQ(last().outcome, "row \"3\" is not an entry row of the bill: nothing written");
  addRow({});
  run("T8WEXSerRunAction.clsDoAction", "WEXSer_GetStockQtyAndSecurityQty", {{"NewRow", "3"}});
  EXPECT_EQ(last().outcome, "row 3 has no material: nothing written");
  EXPECT_TRUE(editor_->value("FSecurityQty", 3).stringValue().empty());
}

TEST_F(ActionComponentsTest, StockQtyActionOnATemplateWithoutItsFieldsOnlyAnswers) {
  editor_->billTemplate().removeField("FStockQty");
  editor_->billTemplate().removeField("FSecurityQty");
  int32_t row = addRow({{"FItemID", 13},
                        {"FStockID", 31},
                        {"FSPID", 43},
                        {"FBatchNo", "AL-2611"},
                        {"FFromMTONo", "MTO-2026-001"},
                        {"FUnitID", 8}});
  auto results = run("T8WEXSerRunAction.clsDoAction", "WEXSer_GetStockQtyAndSecurityQty", {{"NewRow", "1"}});
  EXPECT_EQ(automation::toDouble(results.item("StockQty")), 24000) << "240 m in cm";
  EXPECT_EQ(automation::toDouble(results.item("SecurityQty")), 5000);
  EXPECT_EQ(editor_->cell("FStockQty", row), nullptr);
}

TEST_F(ActionComponentsTest, RunnerWithoutBillRecordsTheCallAndDoesNothing) {
  auto runner = createObject("T8WEXSerRunAction.clsDoAction");
  auto parameters = host::DictionaryRef::create();
  parameters.setItem("NewRow", "1");
  call(runner, "DoAction", "WEXSer_GetStockQtyAndSecurityQty", parameters.object(),
       host::DictionaryRef::create().object());
  ASSERT_EQ(env().hostActions.size(), 1u);
  EXPECT_FALSE(last().interfaceSet);
  EXPECT_EQ(last().parameterValues[0].stringValue(), "1");
  EXPECT_EQ(last().outcome, "no bill was handed to SetInterface: nothing done");
}

TEST_F(ActionComponentsTest, MissingComponentsCannotBeCreated) {
  host().removeComponent("D8OduruverRunAction.clsDoAction");
  EXPECT_THROW(createObject("D8OduruverRunAction.clsDoAction"), automation::AutomationError);
}

}  // namespace
}  // namespace mto::sim
