#include "support/bill_fields.h"

#include <limits>
#include <ostream>

#include "automation/convert.h"
#include "automation/platform.h"
#include "common/sim_fixture.h"
#include "plugin/top_of_range_vector.h"
#include "sim/components/toolbar.h"
#include "sim/db/demo_data.h"
#include "sim/editor/bill_editor.h"
#include "support/event_answers.h"

namespace mto::support {
namespace {

using automation::Variant;
namespace demo = sim::demo;

class BillFieldsTest : public testing::SimTest {
 protected:
  BillFieldsTest() : editor_(sim::BillEditor::create(host().db())), bill_(editor_) {}

  void set(std::string_view key, int32_t row, const Variant& value, bool refresh = true) {
    SetBillField(bill_, key, row, value, refresh, false, "");
  }
  Variant entry(std::string_view key, int32_t row, std::string_view name) const {
    return editor_->cell(key, row)->at(name);
  }
  Variant fld(std::string_view key, int32_t row) const { return entry(key, row, "FFLD"); }
  int64_t itemRows() {
    return host().db().query("SELECT COUNT(*) FROM t_ICItem")->rows.at(0).at(0).longValue();
  }
  void expectCleared(std::string_view key, int32_t row) {
    EXPECT_EQ(fld(key, row), Variant(""));
    EXPECT_EQ(entry(key, row, "FDSP"), Variant(""));
    EXPECT_EQ(entry(key, row, "FFND"), Variant(""));
  }

  std::shared_ptr<sim::BillEditor> editor_;
  automation::ObjectPtr bill_;
};

TEST_F(BillFieldsTest, RowMinusOneWritesEveryEntryRowButTheHeadOnce) {
  for (int i = 0; i < 3; ++i) editor_->addRow();
  set("FNote", -1, "all");
  set("FNote", 2, "two");
  for (int32_t row : {1, 3}) EXPECT_EQ(editor_->displayedText("FNote", row), "all") << row;
  EXPECT_EQ(fld("FNote", 2), Variant("two"));

  startCounting();
  set("FExplanation", -1, "head");
  EXPECT_EQ(fld("FExplanation", 0), Variant("head"));
  EXPECT_EQ(calls("BillEvent.SetText"), 1u);
  EXPECT_EQ(calls("BillEvent.GetDataFld"), 1u);
}

TEST_F(BillFieldsTest, ARowAtTheTopOfTheRangeIsOneRowWithoutACell) {
  editor_->addRow();
  startCounting();
  set("FAuxPropID", std::numeric_limits<int32_t>::max(), int16_t{0}, false);
  EXPECT_EQ(calls("BillEvent.GetDataFld"), 1u) << "one row looked at, and the loop ended";
  EXPECT_EQ(fld("FAuxPropID", 1), Variant("")) << "row 1 untouched";
}

TEST_F(BillFieldsTest, ModifiedMarksOfAPageAtTheTopOfTheRangeAreClearedOnce) {
  editor_->addRow();
  editor_->setCell("FNote", 1, "typed");
  auto note = editor_->cell("FNote", 1);
  note->set("FModify", int16_t{1});
  auto page = std::make_shared<testing::TopOfRangeVector>(editor_->rows()->at(1));
  editor_->setDataEntry("Page2", automation::ObjectPtr(page));
  ClearModifyFlags(bill_);
  EXPECT_EQ(page->reads, 1) << "the one row read, and the loop ended";
  EXPECT_EQ(note->at("FModify"), Variant(int16_t{0}));
}

TEST_F(BillFieldsTest, EqualNumbersChangeNothingButStillRefresh) {
  editor_->addRow();
  editor_->setCell("FChangeQty", 1, 5.0);
  set("FChangeQty", 1, "5", false);
  set("FChangeQty", 1, "5");
  EXPECT_EQ(fld("FChangeQty", 1), Variant(5.0));
  EXPECT_EQ(entry("FChangeQty", 1, "FModify"), Variant(int16_t{0}));
  EXPECT_EQ(calls("BillEvent.SetText"), 1u);
  set("FChangeQty", 1, 6);
  EXPECT_EQ(entry("FChangeQty", 1, "FModify"), Variant(int16_t{1}));
}

TEST_F(BillFieldsTest, UnitFieldKeepsItsPreviousUnitOnlyOnAChange) {
  editor_->addRow();
  editor_->setCell("FUnitID", 1, demo::kKilogram);
  set("FUnitID", 1, demo::kPieces);
  EXPECT_EQ(entry("FUnitID", 1, "FLastUnitID"), Variant(demo::kKilogram));
  set("FUnitID", 1, std::to_string(demo::kPieces));
  EXPECT_EQ(entry("FUnitID", 1, "FLastUnitID"), Variant(demo::kKilogram));
}

TEST_F(BillFieldsTest, LookUpResolvesOneRecordAndClearsOnNoneOrSeveral) {
  editor_->addRow();
  set("FItemID", 1, demo::kSteelPlate);
  EXPECT_EQ(entry("FItemID", 1, "FFND"), Variant("01.01.001"));
  EXPECT_EQ(editor_->displayedText("FItemID", 1), "Steel plate");
  set("FItemID", 1, int32_t{999});
  expectCleared("FItemID", 1);

  set("FItemID", 1, demo::kSteelPlate);
  host().db().execute("INSERT INTO t_ICItem (FItemID, FNumber, FName, FUnitID) VALUES (" +
                      std::to_string(demo::kHexBolt) + ", '09.99.999', 'Duplicate', 1)");
  set("FItemID", 1, demo::kHexBolt);
  expectCleared("FItemID", 1);
}

TEST_F(BillFieldsTest, SubMessageReadsItsCodeAndSelectedBillsShowTheBusinessTypeCode) {
  editor_->billTemplate().set("FHSID", "FSRCTableName", "T_SUBMESSAGE");
  set("FHSID", 0, demo::kCustomerTransfer);
  EXPECT_EQ(entry("FHSID", 0, "FFND"), Variant("02"));
  editor_->setDataEntry("FIsSelBill", int32_t{1});
  set("FHSID", 0, demo::kOrdinaryChange);
  EXPECT_EQ(entry("FHSID", 0, "FDSP"), Variant("Ordinary change")) << "class type 1007105";

  editor_->setClassTypeID(kNumberShownClassType);
  set("fhsid", 0, demo::kPlanMerge);
  EXPECT_EQ(editor_->displayedText("FHSID", 0), "03");
}

TEST_F(BillFieldsTest, AccountFieldShowsItsKeptDisplayOnlyUnderItsExactKey) {
  editor_->setCell("FCustID", 0, demo::kEastlakeMotors, std::string("Eastlake Motors"));
  set("FCustID", 0, demo::kNorthwindMachinery);
  EXPECT_EQ(editor_->displayedText("FCustID", 0), "Eastlake Motors") << "no look-up for source kind 7";
  set("fcustid", 0, demo::kHarborPumps);
  EXPECT_EQ(editor_->displayedText("FCustID", 0), std::to_string(demo::kHarborPumps));
}

TEST_F(BillFieldsTest, HostileLookUpValuesNeverReachTheStatement) {
  editor_->addRow();
  int64_t before = itemRows();
  for (const Variant& hostile : {Variant("1 OR 1=1"), Variant("0; DELETE FROM t_ICItem"), Variant("12abc"),
                                 Variant("1.5"), Variant(""), Variant(1.5)}) {
    editor_->setCell("FItemID", 1, demo::kAluminiumBar);
    startCounting();
    set("FItemID", 1, hostile);
    EXPECT_EQ(calls("DataSrv.GetData"), 0u) << describe(hostile);
    expectCleared("FItemID", 1);
  }
  EXPECT_EQ(itemRows(), before);

  for (const Variant& plain : {Variant("12"), Variant(int32_t{12}), Variant(12.0), Variant(int32_t{-1})}) {
    editor_->setCell("FItemID", 1, demo::kAluminiumBar);
    startCounting();
    set("FItemID", 1, plain);
    EXPECT_EQ(calls("DataSrv.GetData"), 1u) << describe(plain);
  }
}

TEST_F(BillFieldsTest, FieldHasValueNeedsANonZeroNonEmptyValue) {
  editor_->addRow();
  EXPECT_FALSE(FieldHasValue(bill_, "FItemID", 1));
  editor_->setCell("FItemID", 1, demo::kSteelPlate);
  EXPECT_TRUE(FieldHasValue(bill_, "FItemID", 1));
  EXPECT_FALSE(FieldHasValue(bill_, "FNoSuchField", 1));
  failMember("BillEvent.GetFieldValue", kFieldValuePresentError);
  EXPECT_TRUE(FieldHasValue(bill_, "FChangeQty", 1));
  failMember("BillEvent.GetFieldValue", kFieldValuePresentError + 1);
  EXPECT_FALSE(FieldHasValue(bill_, "FItemID", 1));
}

TEST_F(BillFieldsTest, FieldHasValueReadsTheCellOnce) {
  editor_->addRow();
  editor_->setCell("FItemID", 1, demo::kSteelPlate);
  startCounting();
  EXPECT_TRUE(FieldHasValue(bill_, "FItemID", 1));
  EXPECT_EQ(calls("BillEvent.GetFieldValue"), 1u);
}

TEST_F(BillFieldsTest, AnEventAsksForEachDefinitionMapControlAndMenuBarOnce) {
  startCounting();
  {
    EventScope event;
    EXPECT_EQ(FieldInfoByKey(bill_, "FQty"), FieldInfoByKey(bill_, "FQty"));
    FieldInfoByKey(bill_, "FSecQty");
    {
      EventScope nested;  // an event raised during a call of the plug-in's shares what is kept
      FieldInfoByKey(bill_, "FQty");
    }
    for (int i = 0; i < 3; ++i) {
      TemplateMap(bill_);
      BillControl(bill_);
      BillMenuBar(bill_);
    }
    // Another bill in the same event is asked every time.
    auto other = sim::BillEditor::create(host().db());
    FieldInfoByKey(other, "FQty");
    FieldInfoByKey(other, "FQty");
  }
  EXPECT_EQ(calls("BillEvent.GetFieldInfoByKey"), 4u);
  EXPECT_EQ(calls("BillEvent.TableInfo"), 1u);
  EXPECT_EQ(calls("BillEvent.BillCtl"), 1u);
  EXPECT_EQ(calls("BillEvent.MenuBar"), 1u);

  // After the event, and outside any, every request goes to the host.
  startCounting();
  FieldInfoByKey(bill_, "FQty");
  FieldInfoByKey(bill_, "FQty");
  EXPECT_EQ(calls("BillEvent.GetFieldInfoByKey"), 2u);
}

TEST_F(BillFieldsTest, AFailedAnswerIsNotKept) {
  EventScope event;
  failMember("BillEvent.GetFieldInfoByKey", 13);
  startCounting();
  for (int i = 0; i < 2; ++i) EXPECT_THROW(FieldInfoByKey(bill_, "FQty"), automation::AutomationError);
  EXPECT_EQ(calls("BillEvent.GetFieldInfoByKey"), 2u);
}

TEST_F(BillFieldsTest, ToolIndexIsZeroForTheFirstAndForAMissingTool) {
  auto bar = std::make_shared<sim::Toolbar>();
  for (const char* name : {"mnuFirst", "mnuSecond", "mnuThird"}) bar->addTool(name, name);
  bar->addBand("BandToolBar", "Tools");
  for (const char* name : {"mnuFirst", "mnuSecond", "mnuThird"}) bar->place("BandToolBar", name);
  automation::ObjectPtr toolbar = bar;
  EXPECT_EQ(FindToolIndex(toolbar, "BandToolBar", "mnuFirst"), 0);
  EXPECT_EQ(FindToolIndex(toolbar, "BandToolBar", "MNUTHIRD"), 2);
  EXPECT_EQ(FindToolIndex(toolbar, "BandToolBar", "mnuMissing"), 0);
}

TEST_F(BillFieldsTest, DateFormatIsBuiltOnceFromTheLocaleSeparator) {
  automation::Locale locale;
  locale.dateSeparator = std::string("-\0x", 3);
  host().platform().setLocale(locale);
  EXPECT_EQ(GetDateSeparator(), "-");
  EXPECT_EQ(GetDateFormatString(), "YYYY-MM-DD");
  locale.dateSeparator = "/";
  host().platform().setLocale(locale);
  EXPECT_EQ(GetDateFormatString(), "YYYY-MM-DD");
}

TEST_F(BillFieldsTest, DecimalsSetTheCellAndTheLargestOfTheColumnOnTheTotal) {
  for (int i = 0; i < 3; ++i) editor_->addRow();
  int32_t row = 2;
  SetFieldDecimals(bill_, "FQty", 3, true, row);
  EXPECT_EQ(editor_->cellDecimals("FQty", 2), 3);
  row = 1;
  SetFieldDecimals(bill_, "FQty", 1, true, row);
  EXPECT_EQ(editor_->cellDecimals("FQty", 1), 1);
  EXPECT_EQ(editor_->sumDecimals("FQty"), 3);
  row = 2;
  SetFieldDecimals(bill_, "FQty", 0, true, row);
  EXPECT_EQ(editor_->sumDecimals("FQty"), 1);
  SetFieldDecimals(bill_, "FSecQty", 4, false, row);
  EXPECT_EQ(editor_->sumDecimals("FSecQty"), std::nullopt);

  std::dynamic_pointer_cast<sim::Dictionary>(editor_->rows()->at(3).objectValue())->remove("FQty");
  row = 1;
  EXPECT_THROW(SetFieldDecimals(bill_, "FQty", 2, true, row), automation::AutomationError)
      << "a row without the field's cell fails the column pass";
}

}  // namespace
}  // namespace mto::support
