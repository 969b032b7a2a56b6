#include "sim/editor/bill_list.h"

#include <gtest/gtest.h>

#include <functional>

#include "automation/convert.h"
#include "automation/dates.h"
#include "common/sim_fixture.h"
#include "host/contract.h"
#include "sim/db/demo_data.h"

namespace mto::sim {
namespace {

using automation::AutomationError;
using automation::call;
using automation::get;
using automation::put;

std::string columnName(Args args) {
  return automation::toText(call(args[2].value(), "GetValue", "FColName"));
}

class BillListTest : public testing::SimTest {
 protected:
  BillListTest()
      : list_(BillList::create(host().db())),
        object_(list_),
        sink_(std::make_shared<testing::RecordingSink>()) {
    list_->advise(sink_);
  }

  /// Two columns over two rows; the second row lacks the quantity decimals.
  void useSmallGrid() {
    list_->setColumns({{"FBillNo", "Bill no."}, {"FSecCoefficient", "Conversion rate"}});
    list_->setRows({{{"FBillNo", Variant("B1")},
                     {"FSecCoefficient", Variant(2.5)},
                     {"FItemID_FQtyDecimal", Variant(int32_t{3})}},
                    {{"FBillNo", Variant("B2")}, {"FSecCoefficient", Variant(7.0)}}});
  }

  std::shared_ptr<BillList> list_;
  ObjectPtr object_;
  std::shared_ptr<testing::RecordingSink> sink_;
};

TEST_F(BillListTest, MembersResolveWithoutCaseAndAreCounted) {
  EXPECT_EQ(object_->typeName(), "ListEvents");
  EXPECT_EQ(get(object_, "raiselistfillrow"), Variant(false));
  put(object_, "RAISELISTFILLROW", true);
  EXPECT_TRUE(list_->fillRowSwitch());
  EXPECT_EQ(calls("ListEvents.RaiseListFillRow"), 2u);

  EXPECT_EQ(get(get(object_, "listdisplay"), "showmode"), Variant(int32_t{0}));
  list_->setShowMode(3);
  EXPECT_EQ(get(get(object_, host::member::kListDisplay), "ShowMode"), Variant(int32_t{3}));
  EXPECT_EQ(calls("ListEvents.ListDisplay"), 2u);
  EXPECT_EQ(calls("ListDisplay.ShowMode"), 2u);

  EXPECT_EQ(get(object_, "menubar").objectValue(), ObjectPtr(list_->menuBar()));
  EXPECT_EQ(testing::errorNumber([&] { put(object_, "ListDisplay", int32_t{1}); }), 383);
  EXPECT_EQ(testing::errorNumber([&] { get(object_, "ToolBar"); }), 438);
}

TEST_F(BillListTest, TemplateAndMultiCheckFollowTheHostState) {
  auto callByCalculate = [&] {
    return call(get(get(object_, host::member::kListTemplate), "TableInfo"), "GetValue", "CallByCalculate",
                false);
  };
  EXPECT_EQ(callByCalculate(), Variant(false));
  list_->setCallByCalculate(true);
  EXPECT_EQ(callByCalculate(), Variant(true));
  list_->setCallByCalculate(int32_t{1});
  EXPECT_EQ(callByCalculate(), Variant(int32_t{1}));
  list_->clearCallByCalculate();
  EXPECT_EQ(callByCalculate(), Variant(false));
  EXPECT_EQ(testing::errorNumber([&] { get(get(object_, "ListTemplate"), "TableInfo", "CallByCalculate"); }),
            5);

  Variant none = get(object_, host::member::kListMultiCheck);
  EXPECT_TRUE(none.isObject() && !none.objectValue());
  list_->setMultiCheck(true, false);
  Variant check = get(object_, "multicheck");
  EXPECT_EQ(get(check, "IsRun"), Variant(true));
  EXPECT_EQ(get(check, "ExistMultiCheck"), Variant(false));
}

TEST_F(BillListTest, DrawingWithoutTheSwitchRaisesNothingAndShowsHostTexts) {
  const auto& cells = list_->drawRows();
  EXPECT_TRUE(sink_->events.empty());
  ASSERT_EQ(cells.size(), list_->columns().size() * static_cast<size_t>(list_->rowCount()));
  for (const auto& cell : cells) {
    EXPECT_FALSE(cell.raised);
    EXPECT_EQ(cell.text, cell.hostText);
  }

  // Row 6 stored a Null coefficient, row 5 a negative one; quantities are the runtime's text.
  EXPECT_EQ(list_->drawnCell(6, "FSecCoefficient")->text, "");
  EXPECT_EQ(list_->drawnCell(5, "FSecCoefficient")->text, "-12");
  EXPECT_EQ(list_->drawnCell(2, "FChangeQty")->text, "12.25");
  EXPECT_EQ(list_->cellTexts().size(), static_cast<size_t>(list_->rowCount()));
  EXPECT_EQ(list_->cellTexts()[0][0], "MTO000001");
}

TEST_F(BillListTest, DemoRowsCarryTheMaterialsDecimalsAndCoefficients) {
  const auto& rows = list_->rows();
  ASSERT_GE(rows.size(), 5u);
  ASSERT_LE(rows.size(), 8u);
  bool zero = false, negative = false, empty = false;
  for (const auto& row : rows) {
    for (const auto& column : list_->columns()) EXPECT_TRUE(row.contains(column.field)) << column.field;
    EXPECT_TRUE(row.contains("FItemID_FQtyDecimal"));
    const Variant& coefficient = row.at("FSecCoefficient");
    if (coefficient.isNull()) {
      empty = true;
    } else {
      double value = automation::toDouble(coefficient);
      zero = zero || value == 0;
      negative = negative || value < 0;
    }
  }
  EXPECT_TRUE(zero && negative && empty);
  // The lubricating oil (demo::kLubricatingOil): two quantity decimals, 200 litres a drum.
  EXPECT_EQ(rows[1].at("FItemName"), Variant("Lubricating oil"));
  EXPECT_EQ(rows[1].at("FItemID_FQtyDecimal"), Variant(int32_t{2}));
  EXPECT_EQ(rows[1].at("FSecCoefficient"), Variant(200.0));
}

TEST_F(BillListTest, StoredBillsReplaceTheDemoRowsWithOneLinePerEntry) {
  auto& db = host().db();
  std::vector<SqlValue> head(kMtoChangeHeadColumns.size());
  head[0] = std::string("MTO-A");
  head[1] = std::string("2026-12-06");
  std::vector<SqlValue> entry(kMtoChangeEntryColumns.size());
  entry[0] = int64_t{demo::kHexBolt};
  entry[3] = int64_t{demo::kRawMaterials};
  entry[14] = 240.0;
  std::vector<std::vector<SqlValue>> entries = {entry, entry};
  db.insertMtoChange(head, entries);
  head[0] = std::string("MTO-B");
  head[1] = std::string("2026-13-01");  // not a day: shown as stored
  db.insertMtoChange(head, std::vector<std::vector<SqlValue>>{entry});

  list_->showStoredBills();
  EXPECT_EQ(list_->columns(), BillList::storedBillColumns());
  ASSERT_EQ(list_->rowCount(), 3);
  EXPECT_EQ(list_->rows()[0].at("FDate"), Variant(automation::makeDate(2026, 12, 6)));
  EXPECT_EQ(list_->rows()[2].at("FDate"), Variant("2026-13-01"));
  for (const auto& row : list_->rows())
    for (const auto& column : list_->columns()) EXPECT_TRUE(row.contains(column.field)) << column.field;

  // The plug-in reads the material's decimals from the row it is handed, beside the shown columns.
  list_->setFillRowSwitch(true);
  std::vector<Variant> decimals;
  sink_->react = [&](std::string_view, Args args) {
    if (columnName(args) == "FSecCoefficient")
      decimals.push_back(get(get(args[1].value(), "", "FItemID_FQtyDecimal"), "Value"));
  };
  list_->drawRows();
  EXPECT_EQ(decimals, std::vector<Variant>(3, Variant(int32_t{0})));
  EXPECT_EQ(list_->cellTexts()[1], (std::vector<std::string>{"MTO-A", automation::toText(list_->rows()[1].at("FDate")),
                                                             "01.02.001", "Hex bolt", "Raw material warehouse", "",
                                                             "", "", "240", "12"}));
  EXPECT_EQ(list_->cellTexts()[2][1], "2026-13-01");

  // Showing again reads the database again.
  db.insertMtoChange(head, std::vector<std::vector<SqlValue>>{entry});
  list_->showStoredBills();
  EXPECT_EQ(list_->rowCount(), 4);
}

TEST_F(BillListTest, SwitchedOnEveryCellRaisesListFillRowAndKeepsWhatTheSinkWrites) {
  useSmallGrid();
  list_->setFillRowSwitch(true);
  sink_->react = [](std::string_view, Args args) {
    if (columnName(args) != "FSecCoefficient") return;
    Variant decimals = get(get(args[1].value(), "", "FItemID_FQtyDecimal"), "Value");
    args[3].assign("coef/" + automation::toText(decimals));
    args[5].assign(true);
  };
  list_->drawRows();

  ASSERT_EQ(sink_->events.size(), 4u);  // one per cell
  const auto& first = sink_->events[0];
  EXPECT_EQ(first.name, "ListFillRow");
  EXPECT_EQ(first.args[0], Variant(int32_t{1}));
  EXPECT_EQ(first.byRef, (std::vector<bool>{false, false, false, true, true, true}));
  EXPECT_EQ(first.args[3], Variant("B1"));
  EXPECT_EQ(first.args[4], Variant(kListDefaultBackColor));
  EXPECT_EQ(first.args[5], Variant(false));
  EXPECT_EQ(call(first.args[2], "GetValue", "FCaption"), Variant("Bill no."));
  EXPECT_EQ(sink_->events[2].args[0], Variant(int32_t{2}));

  const ListCellDraw* billNo = list_->drawnCell(1, "FBillNo");
  EXPECT_TRUE(billNo->raised);
  EXPECT_EQ(billNo->text, "B1");
  EXPECT_FALSE(billNo->continueRaise);
  const ListCellDraw* coefficient = list_->drawnCell(1, "FSecCoefficient");
  EXPECT_EQ(coefficient->hostText, "2.5");
  EXPECT_EQ(coefficient->text, "coef/3");
  EXPECT_TRUE(coefficient->continueRaise);
}

TEST_F(BillListTest, AnErrorInOneCellKeepsTheHostTextAndDrawingGoesOn) {
  useSmallGrid();
  list_->setColumns({{"FSecCoefficient", "Conversion rate"}, {"FBillNo", "Bill no."}});
  list_->setFillRowSwitch(true);
  sink_->react = [](std::string_view, Args args) {
    args[3].assign("changed");
    args[4].assign(int32_t{255});
    // A row without the decimals field fails here, after CellData was written.
    if (columnName(args) == "FSecCoefficient") get(get(args[1].value(), "", "FItemID_FQtyDecimal"), "Value");
    args[5].assign(true);
  };
  list_->drawRows();

  EXPECT_EQ(sink_->events.size(), 4u);
  auto errors = list_->drawErrors();
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].row, 2);
  EXPECT_EQ(errors[0].field, "FSecCoefficient");
  EXPECT_EQ(errors[0].error.number, recordset_errc::kItemNotFound);
  EXPECT_FALSE(errors[0].error.description.empty());

  const ListCellDraw* failed = list_->drawnCell(2, "FSecCoefficient");
  EXPECT_EQ(failed->text, "7");
  EXPECT_EQ(failed->backColor, kListDefaultBackColor);
  EXPECT_FALSE(failed->continueRaise);
  EXPECT_EQ(list_->cellTexts(),
            (std::vector<std::vector<std::string>>{{"changed", "changed"}, {"7", "changed"}}));
  EXPECT_EQ(list_->drawnCell(2, "FBillNo")->backColor, 255);

  // CellData the list cannot show as text fails the cell the same way.
  sink_->react = [](std::string_view, Args args) { args[3].assign(ObjectPtr(Dictionary::create())); };
  list_->drawRows();
  EXPECT_EQ(list_->drawErrors().size(), 4u);
  EXPECT_EQ(list_->drawnCell(1, "FBillNo")->text, "B1");
}

TEST_F(BillListTest, CommandEventsCarryTheListSurfaces) {
  list_->barInitialize();
  list_->menuBarInitialize();
  ASSERT_EQ(sink_->events.size(), 2u);
  EXPECT_EQ(sink_->events[0].name, "BarInitialize");
  EXPECT_EQ(sink_->events[0].args[0].objectValue(), ObjectPtr(list_->toolbar()));
  EXPECT_EQ(sink_->events[1].args[0].objectValue(), ObjectPtr(list_->menuBar()));

  sink_->react = [](std::string_view event, Args args) {
    if (event == "MenuBarClick" && get(args[0].value(), "Name") == Variant("mnuEditCopy"))
      args[1].assign(true);
  };
  EXPECT_TRUE(list_->userClickMenu("mnuEditCopy"));
  EXPECT_FALSE(list_->userClickMenu("mnuDataViewNextBill"));
  EXPECT_EQ(testing::errorNumber([&] { list_->userClickMenu("mnuNoSuchCommand"); }), 5);
}

}  // namespace
}  // namespace mto::sim
