#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "automation/convert.h"
#include "automation/dates.h"
#include "common/sim_fixture.h"
#include "sim/db/demo_data.h"
#include "sim/editor/bill_editor.h"
#include "sim/editor/bill_store.h"

namespace mto::sim {
namespace {

using automation::get;

/// The names of the recorded events, in order.
std::vector<std::string> namesOf(const testing::RecordingSink& sink) {
  std::vector<std::string> names;
  for (const auto& e : sink.events) names.push_back(e.name);
  return names;
}

/// Whether two stored values are the same value (a Long 5 and a Double 5 are).
bool sameValue(const Variant& a, const Variant& b) {
  auto order = automation::compareVariants(a, b);
  return order && *order == 0;
}

class BillLifecycleTest : public testing::SimTest {
 protected:
  BillLifecycleTest()
      : editor_(BillEditor::create(host().db())), sink_(std::make_shared<testing::RecordingSink>()) {
    editor_->advise(sink_);
  }

  /// A bill as a user leaves it before saving: head cells, two rows, flags of a generated bill.
  void fillSampleBill(BillEditor& bill) {
    bill.setCell("FBillNo", 0, "MTO000123");
    bill.setCell("FDate", 0, automation::makeDate(2026, 12, 6));
    bill.setCell("FHSID", 0, demo::kOrdinaryChange);
    bill.setCell("FExplanation", 0, "move to plan B");
    int32_t row = bill.addRow();
    bill.setCell("FItemID", row, demo::kSteelPlate);
    bill.setCell("FStockID", row, demo::kRawMaterials);
    bill.setCell("FFromMTONo", row, std::string(demo::kPlanA));
    bill.setCell("FToMTONo", row, std::string(demo::kPlanB));
    bill.setCell("FQty", row, 12.5);
    row = bill.addRow();
    bill.setCell("FItemID", row, demo::kHexBolt);
    bill.setCell("FKFDate", row, automation::makeDate(2026, 11, 30));
    bill.setCell("FQty", row, int32_t{40});
  }

  std::shared_ptr<BillEditor> editor_;
  std::shared_ptr<testing::RecordingSink> sink_;
};

TEST_F(BillLifecycleTest, NewBillEmptiesTheBillBeforeItsEventsAndHandsOverTheWindowsBars) {
  fillSampleBill(*editor_);
  editor_->setOperationMode(3);
  editor_->setDataEntry("NewBillHasData", true);
  editor_->setDoActionFields({"FQty"});
  int32_t rowsSeen = -1;
  sink_->react = [&](std::string_view event, Args) {
    if (event == "AfterNewBill") rowsSeen = editor_->rowCount();
  };
  editor_->newBill();

  EXPECT_EQ(namesOf(*sink_),
            (std::vector<std::string>{"AfterNewBill", "BarInitialize", "MenuBarInitialize"}));
  EXPECT_EQ(rowsSeen, 0) << "the bill is empty when AfterNewBill arrives";
  EXPECT_EQ(sink_->events[1].args.at(0).objectValue(), editor_->toolbar());
  EXPECT_EQ(sink_->events[2].args.at(0).objectValue(), editor_->menuBar());
  EXPECT_EQ(editor_->operationMode(), 1);
  EXPECT_EQ(editor_->value("FBillNo", 0), Variant(""));
  EXPECT_EQ(editor_->value("FHSID", 0), Variant(""));
  EXPECT_EQ(editor_->data()->at("NewBillHasData"), Variant(false));
  EXPECT_FALSE(editor_->data()->contains("vctDoAction"));
  EXPECT_FALSE(editor_->displayedText("FBillNo", 0)) << "nothing of the old bill is shown";
}

// What the save stored comes back as the editor held it: values (numbers as numbers, dates as
// dates), look-ups resolved again, nothing marked modified and no Change raised.
TEST_F(BillLifecycleTest, LoadedBillRoundTripsWhatTheSaveStored) {
  auto saved = BillEditor::create(host().db());
  fillSampleBill(*saved);
  int64_t id = storeBill(host().db(), *saved);

  int32_t modeSeen = 0;
  int32_t rowsSeen = 0;
  sink_->react = [&](std::string_view, Args) {
    modeSeen = editor_->operationMode();
    rowsSeen = editor_->rowCount();
  };
  editor_->loadBill(id);
  EXPECT_EQ(namesOf(*sink_), std::vector<std::string>{"AfterLoadBill"});
  EXPECT_EQ(modeSeen, 2);
  EXPECT_EQ(rowsSeen, 2) << "the rows are there when AfterLoadBill arrives";

  for (auto column : kMtoChangeHeadColumns) {
    EXPECT_TRUE(sameValue(editor_->value(column, 0), saved->value(column, 0))) << column;
    EXPECT_EQ(editor_->cell(column, 0)->at("FModify"), Variant(int16_t{0})) << column;
  }
  ASSERT_EQ(editor_->rowCount(), 2);
  for (int32_t row = 1; row <= 2; ++row)
    for (auto column : kMtoChangeEntryColumns) {
      EXPECT_TRUE(sameValue(editor_->value(column, row), saved->value(column, row))) << column << row;
      EXPECT_EQ(editor_->cell(column, row)->at("FDSP"), saved->cell(column, row)->at("FDSP"))
          << column << row;
    }
  EXPECT_TRUE(editor_->value("FDate", 0).isDate());
  EXPECT_TRUE(editor_->value("FKFDate", 2).isDate());
  EXPECT_EQ(editor_->value("FKFDate", 1), Variant("")) << "a NULL column is an empty cell";

  editor_->loadBill(id, 3);
  EXPECT_EQ(editor_->operationMode(), 3);
}

TEST_F(BillLifecycleTest, UnknownBillIsRefusedBeforeAnythingChanges) {
  fillSampleBill(*editor_);
  editor_->setOperationMode(1);
  auto dataBefore = editor_->data();
  try {
    editor_->loadBill(999);
    FAIL() << "no error";
  } catch (const automation::AutomationError& e) {
    EXPECT_EQ(e.info().number, automation::errc::kInvalidCall);
    EXPECT_EQ(e.info().description, "No MTO change bill with FInterID 999");
  }
  EXPECT_TRUE(sink_->events.empty());
  EXPECT_EQ(editor_->data(), dataBefore);
  EXPECT_EQ(editor_->rowCount(), 2);
  EXPECT_EQ(editor_->value("FBillNo", 0), Variant("MTO000123"));
  EXPECT_EQ(editor_->operationMode(), 1);
}

// The copy is a new bill of its own: cells the old bill's handlers may still hold stay as they
// were, the copy's marks are cleared and its bill number emptied.
TEST_F(BillLifecycleTest, CopyBillKeepsTheCellsAsANewUnmarkedBill) {
  fillSampleBill(*editor_);
  editor_->userSetCell("FQty", 1, 20);
  editor_->setOperationMode(2);
  auto oldQty = editor_->cell("FQty", 1);
  Variant boltName = editor_->cell("FItemID", 2)->at("FDSP");
  sink_->events.clear();
  std::string billNoSeen;
  sink_->react = [&](std::string_view, Args) {
    billNoSeen = automation::toText(editor_->value("FBillNo", 0));
  };

  editor_->copyBill();
  EXPECT_EQ(namesOf(*sink_), std::vector<std::string>{"AfterCopyBill"});
  EXPECT_EQ(billNoSeen, "");
  EXPECT_EQ(editor_->operationMode(), 1);
  ASSERT_EQ(editor_->rowCount(), 2);
  EXPECT_EQ(editor_->value("FQty", 1), Variant(int32_t{20}));
  EXPECT_EQ(editor_->value("FItemID", 2), Variant(demo::kHexBolt));
  EXPECT_EQ(editor_->cell("FItemID", 2)->at("FDSP"), boltName);
  EXPECT_EQ(editor_->value("FExplanation", 0), Variant("move to plan B"));
  for (int32_t row = 1; row <= 2; ++row)
    for (const auto& key : editor_->billTemplate().pageKeys(2))
      EXPECT_EQ(editor_->cell(key, row)->at("FModify"), Variant(int16_t{0})) << key << row;
  EXPECT_NE(editor_->cell("FQty", 1), oldQty);
  EXPECT_EQ(oldQty->at("FModify"), Variant(int16_t{1})) << "the old bill's cell is not touched";
}

TEST_F(BillLifecycleTest, FillBillRaisesAfterFillRowPerRowWithThatRowsData) {
  std::vector<FillRow> rows = {
      {{"FItemID", demo::kSteelPlate, {}, {}}, {"FQty", 7.5, {}, {}}},
      {{"FItemID", demo::kAluminiumBar, {}, {}}, {"FBatchNo", std::string(demo::kAluminiumBatch), {}, {}}}};
  std::vector<Variant> qtySeen;
  sink_->react = [&](std::string_view, Args args) {
    qtySeen.push_back(get(get(args[2].value(), "", "FQty"), "", "FFLD"));
  };
  EXPECT_EQ(editor_->fillBill(rows, std::vector<std::string>{"FQty", "FBaseQty"}),
            (std::vector<int32_t>{1, 2}));

  ASSERT_EQ(namesOf(*sink_), (std::vector<std::string>{"AfterFillRow", "AfterFillRow"}));
  for (int32_t row = 1; row <= 2; ++row) {
    const auto& args = sink_->events[static_cast<size_t>(row - 1)].args;
    ASSERT_EQ(args.size(), 4u);
    EXPECT_EQ(args[0], Variant(row));
    EXPECT_EQ(args[1].objectValue(), editor_->rows());
    EXPECT_EQ(args[2].objectValue(), editor_->rows()->at(row).objectValue());
    auto link = std::dynamic_pointer_cast<Dictionary>(args[3].objectValue());
    ASSERT_TRUE(link);
    EXPECT_EQ(link->size(), 0u);
  }
  EXPECT_NE(sink_->events[0].args[3].objectValue(), sink_->events[1].args[3].objectValue());
  EXPECT_EQ(qtySeen, (std::vector<Variant>{Variant(7.5), Variant("")}))
      << "each row is stored before its event";
  EXPECT_EQ(editor_->data()->at("NewBillHasData"), Variant(true));
  auto doAction = std::dynamic_pointer_cast<Vector>(editor_->data()->at("vctDoAction").objectValue());
  ASSERT_TRUE(doAction);
  EXPECT_EQ(doAction->items(), (std::vector<Variant>{Variant("FQty"), Variant("FBaseQty")}));
  EXPECT_NE(automation::toText(editor_->cell("FItemID", 1)->at("FDSP")), "") << "look-ups are resolved";
  EXPECT_EQ(editor_->cell("FQty", 1)->at("FModify"), Variant(int16_t{0}));

  // A key the template lacks stops the fill at its row.
  EXPECT_EQ(testing::errorNumber([&] {
              editor_->fillBill({{{"FNoSuchField", int32_t{1}, {}, {}}}});
            }),
            automation::errc::kInvalidCall);
}

TEST_F(BillLifecycleTest, CopyRowAppendsAMarkedCopyUnlessTheClickIsCancelled) {
  fillSampleBill(*editor_);
  editor_->setCell("FQty", 1, 12.5);
  EXPECT_EQ(editor_->userCopyRow(1), 3);
  ASSERT_EQ(namesOf(*sink_), (std::vector<std::string>{"MenuBarClick", "AddNewRow"}));
  EXPECT_EQ(sink_->events[0].args[0].objectValue(), editor_->menuBar()->tool("mnuCopyRow"));
  EXPECT_EQ(sink_->events[1].args, (std::vector<Variant>{Variant(int16_t{0}), Variant(int32_t{3})}));
  for (const auto& key : editor_->billTemplate().pageKeys(2)) {
    EXPECT_EQ(editor_->value(key, 3), editor_->value(key, 1)) << key;
    EXPECT_EQ(editor_->cell(key, 3)->at("FDSP"), editor_->cell(key, 1)->at("FDSP")) << key;
    EXPECT_EQ(editor_->cell(key, 3)->at("FModify"), Variant(int16_t{1})) << key;
  }
  EXPECT_EQ(editor_->displayedText("FItemID", 3), editor_->displayedText("FItemID", 1));
  editor_->setCell("FQty", 3, 1);
  EXPECT_EQ(editor_->value("FQty", 1), Variant(12.5)) << "the copy has cells of its own";

  sink_->events.clear();
  sink_->react = [](std::string_view event, Args args) {
    if (event == "MenuBarClick") args[1].assign(true);
  };
  EXPECT_EQ(editor_->userCopyRow(1), std::nullopt);
  EXPECT_EQ(namesOf(*sink_), std::vector<std::string>{"MenuBarClick"});
  EXPECT_EQ(editor_->rowCount(), 3);

  sink_->events.clear();
  EXPECT_EQ(testing::errorNumber([&] { editor_->userCopyRow(4); }), automation::errc::kSubscriptOutOfRange);
  EXPECT_TRUE(sink_->events.empty());
}

}  // namespace
}  // namespace mto::sim
