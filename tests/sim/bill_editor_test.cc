#include "sim/editor/bill_editor.h"

#include <gtest/gtest.h>

#include <functional>

#include "automation/convert.h"
#include "common/sim_fixture.h"
#include "host/contract.h"
#include "sim/db/demo_data.h"

namespace mto::sim {
namespace {

using automation::AutomationError;
using automation::call;
using automation::get;
using automation::put;

/// Records the events an object raises; an optional reaction runs inside the event.
class BillEditorTest : public testing::SimTest {
 protected:
  BillEditorTest() : editor_(BillEditor::create(host().db())), bill_(editor_) {}

  Variant definition(std::string_view key) { return call(bill_, "GetFieldInfoByKey", key, "", int32_t{0}); }
  Variant cellAt(std::string_view key, int32_t row) {
    return call(bill_, "GetDataFld", definition(key), row);
  }
  static bool isNothing(const Variant& v) { return v.isObject() && !v.objectValue(); }

  std::shared_ptr<BillEditor> editor_;
  ObjectPtr bill_;
};

TEST_F(BillEditorTest, TemplateTableInfoListsPagesMapAndDefinitions) {
  Variant info = call(bill_, "TableInfo");
  EXPECT_EQ(call(info, "GetValue", "PageCount"), Variant(int32_t{2}));
  EXPECT_TRUE(call(call(bill_, "TableInfo", "Map"), "Lookup", "FChangeQty").boolValue());
  EXPECT_FALSE(call(call(bill_, "TableInfo", "Map"), "Lookup", "FPrice").boolValue());

  // A page's entries, taken as a Vector, are its field keys in template order.
  Variant page2Keys = call(get(info, "", "Page2"), "Items");
  EXPECT_EQ(get(page2Keys, "", 1), Variant("FItemID"));
  EXPECT_EQ(call(page2Keys, "UBound"), Variant(int32_t{23}));
  Variant page1 = get(info, "", "Page1");
  EXPECT_EQ(call(page1, "Key", 1), Variant("FBillNo"));

  // The entry under a field key is the same definition GetFieldInfoByKey hands out.
  Variant item = definition("FItemID");
  EXPECT_EQ(get(info, "", "FItemID").objectValue(), item.objectValue());
  EXPECT_EQ(get(item, "", "FPage"), Variant(int32_t{2}));
  EXPECT_EQ(get(item, "", "FSRCTableName"), Variant("t_ICItem"));
  EXPECT_EQ(get(definition("FUnitID"), "", "FLookUpClassID"), Variant(int32_t{7}));
  EXPECT_EQ(get(definition("FCustID"), "", "FSourceType"), Variant(int32_t{7}));
  EXPECT_EQ(get(definition("FBatchNo"), "", "FCtlType"), Variant(int32_t{8}));

  // The batch look-up's parameters hang on the material field's action 100018.
  Variant actions = get(get(item, "", "Action"), "", "FAction");
  EXPECT_EQ(get(get(actions, "", 1), "", "FID"), Variant("100018"));
  EXPECT_EQ(call(bill_, "TableInfo", "FHSID").objectValue(), definition("FHSID").objectValue());
  EXPECT_EQ(testing::errorNumber([&] { call(bill_, "TableInfo", "Page9"); }), automation::errc::kInvalidCall);
}

TEST_F(BillEditorTest, EveryLookUpFieldAnswersThePlugInsLookUpStatement) {
  Variant dataSrv = get(bill_, "DataSrv");
  int lookUps = 0;
  for (const auto& def : editor_->billTemplate().definitions()) {
    std::string table = automation::toText(def->at("FSRCTableName"));
    if (table.empty()) continue;
    ++lookUps;
    std::string id = automation::toText(def->at("FSRCFieldName"));
    std::string number = table == "t_SubMessage" ? "FID" : "FNumber";
    // The statement the plug-in builds, with the smallest ID of the table.
    Variant first =
        get(get(call(dataSrv, "GetData", "Select Min(" + id + ") From " + table), "", 0), "Value");
    Variant records = call(dataSrv, "GetData",
                           "Select " + number + ",FName From " + table + " Where " + id + "<> 0 AND " + id +
                               "=" + automation::toText(first));
    EXPECT_EQ(get(records, "RecordCount"), Variant(int32_t{1})) << keyOf(*def);
  }
  EXPECT_EQ(lookUps, 10);
}

TEST_F(BillEditorTest, DemoMaterialsCoverDecimalsShelfLifeAndSecondaryUnits) {
  Variant dataSrv = get(bill_, "DataSrv");
  auto count = [&](const std::string& where) {
    return get(call(dataSrv, "GetData", "Select FItemID From t_ICItem Where " + where), "RecordCount");
  };
  EXPECT_EQ(count("1=1"), Variant(int32_t{12}));
  for (int decimals = 0; decimals <= 4; ++decimals)
    EXPECT_NE(count("FQtyDecimal=" + std::to_string(decimals)), Variant(int32_t{0})) << decimals;
  EXPECT_EQ(count("FIsKFPeriod=1 AND FKFPeriod IN (180, 365)"), Variant(int32_t{3}));
  EXPECT_EQ(count("FSecUnitID<>0 AND FSecCoefficient>0"), Variant(int32_t{4}));
  Variant types = call(dataSrv, "GetData",
                       "Select Count(DISTINCT FTypeID) From t_Stock Where FTypeID BETWEEN 500 AND 503");
  EXPECT_EQ(get(get(types, "", 0), "Value"), Variant(int32_t{4}));
}

TEST_F(BillEditorTest, FieldInfoByKeyIgnoresCaseAndGivesNothingForUnknownKeys) {
  EXPECT_TRUE(isNothing(definition("FPrice")));
  EXPECT_EQ(definition("fcustid").objectValue(), definition("FCustID").objectValue());
}

TEST_F(BillEditorTest, TemplateOverridesReachThePlugInsView) {
  editor_->billTemplate().set("FCustID", "FSourceType", int32_t{1});
  EXPECT_EQ(get(definition("FCustID"), "", "FSourceType"), Variant(int32_t{1}));

  editor_->addRow();
  FieldSpec extra;
  extra.key = "FPrice";
  extra.page = 2;
  editor_->billTemplate().addField(extra);
  EXPECT_TRUE(isNothing(cellAt("FPrice", 1)));
  editor_->syncCells();
  EXPECT_FALSE(isNothing(cellAt("FPrice", 1)));
  EXPECT_TRUE(call(call(bill_, "TableInfo", "Map"), "Lookup", "FPrice").boolValue());

  // Moving a field to another page rebuilds the page lists.
  editor_->billTemplate().set("FPrice", "FPage", int32_t{3});
  EXPECT_EQ(call(bill_, "TableInfo", "PageCount"), Variant(int32_t{3}));
  EXPECT_FALSE(call(call(bill_, "TableInfo", "Page2"), "Lookup", "FPrice").boolValue());
}

TEST_F(BillEditorTest, DataHoldsPagesAndFlags) {
  editor_->addRow();
  Variant data = call(bill_, "Data");
  EXPECT_TRUE(call(data, "Lookup", "Page1").boolValue());
  EXPECT_TRUE(call(data, "Lookup", "Page3").boolValue());
  EXPECT_FALSE(call(data, "Lookup", "vctDoAction").boolValue());
  EXPECT_EQ(call(data, "GetValue", "FIsSelBill", int32_t{9}), Variant(int32_t{0}));
  EXPECT_EQ(call(data, "GetValue", "NewBillHasData"), Variant(false));
  EXPECT_EQ(call(call(bill_, "Data", "Page2"), "UBound"), Variant(int32_t{1}));
  EXPECT_EQ(call(call(bill_, "Data", "Page3"), "UBound"), Variant(int32_t{0}));
  EXPECT_EQ(testing::errorNumber([&] { call(bill_, "Data", "Page4"); }), automation::errc::kInvalidCall);

  editor_->setDoActionFields({"FQty", "FChangeQty"});
  EXPECT_EQ(get(call(bill_, "Data", "vctDoAction"), "", 2), Variant("FChangeQty"));
  put(bill_, "Data", "NewBillHasData", true);
  EXPECT_EQ(editor_->data()->at("NewBillHasData"), Variant(true));

  // A new row has a blank cell per entry field.
  Variant cell = get(get(call(bill_, "Data", "Page2"), "", 1), "", "FQty");
  EXPECT_EQ(get(cell, "", "FFLD"), Variant(""));
  EXPECT_EQ(get(cell, "", "FModify"), Variant(int16_t{0}));
  EXPECT_EQ(get(cell, "", "FDecimal"), Variant(int32_t{0}));
}

TEST_F(BillEditorTest, DataFieldOfHeadAndEntryRows) {
  editor_->addRow();
  Variant headCell = cellAt("FDate", 0);
  ASSERT_FALSE(isNothing(headCell));
  EXPECT_EQ(cellAt("FDate", -1).objectValue(), headCell.objectValue());
  EXPECT_TRUE(isNothing(cellAt("FDate", 1)));

  EXPECT_FALSE(isNothing(cellAt("FItemID", 1)));
  EXPECT_TRUE(isNothing(cellAt("FItemID", 0)));
  EXPECT_TRUE(isNothing(cellAt("FItemID", 2)));
  EXPECT_EQ(testing::errorNumber([&] { call(bill_, "GetDataFld", Variant(nullptr), int32_t{1}); }),
            automation::errc::kObjectRequired);
}

TEST_F(BillEditorTest, FieldValuesReadAndWriteAsTheEditorDoes) {
  editor_->addRow();
  editor_->setCell("FDate", 0, "2026-06-15");
  EXPECT_EQ(call(bill_, host::member::kReadFieldValue, "FDate", int32_t{-1}, int32_t{1}),
            Variant("2026-06-15"));
  EXPECT_EQ(call(bill_, "GetFieldValue", "FDate", int32_t{0}), Variant("2026-06-15"));
  EXPECT_EQ(testing::errorNumber([&] { call(bill_, "GetFieldValue", "FPrice", int32_t{1}, int32_t{1}); }),
            automation::errc::kInvalidCall);
  EXPECT_EQ(testing::errorNumber([&] { call(bill_, "GetFieldValue", "FQty", int32_t{2}, int32_t{1}); }),
            automation::errc::kSubscriptOutOfRange);

  // A unit written twice keeps the one before, and shows the unit's name.
  call(bill_, host::member::kWriteFieldValue, "FUnitID", demo::kBox, int32_t{1});
  call(bill_, host::member::kWriteFieldValue, "FUnitID", demo::kGram, int32_t{1});
  auto unit = editor_->cell("FUnitID", 1);
  EXPECT_EQ(unit->at("FLastUnitID"), Variant(demo::kBox));
  EXPECT_EQ(unit->at("FDSP"), Variant("g"));
  EXPECT_EQ(unit->at("FFND"), Variant("G"));
  EXPECT_EQ(unit->at("FModify"), Variant(int16_t{1}));
  EXPECT_EQ(editor_->displayedText("FUnitID", 1), "g");

  call(bill_, host::member::kWriteFieldValue, "FKFDate", "2026/06/01", int32_t{1});
  EXPECT_EQ(editor_->displayedText("FKFDate", 1), "2026/06/01");
}

TEST_F(BillEditorTest, LookupRecordComesFromTheDatabase) {
  editor_->addRow();
  editor_->addRow();
  editor_->setCell("FItemID", 1, demo::kEpoxyAdhesive);
  EXPECT_EQ(editor_->cell("FItemID", 1)->at("FDSP"), Variant("Epoxy adhesive"));

  Variant record = call(bill_, host::member::kGetLookupRecord, "FItemID", int32_t{1});
  EXPECT_EQ(call(record, "GetValue", "FQtyDecimal"), Variant(int32_t{3}));
  EXPECT_TRUE(automation::toBoolean(call(record, "GetValue", "FISKFPeriod", false)));
  EXPECT_EQ(call(record, "GetValue", "FKFPeriod"), Variant(int32_t{180}));
  EXPECT_EQ(call(record, "GetValue", "FNumber"), Variant("01.03.001"));

  // No value: an empty record, never Nothing.
  Variant none = call(bill_, host::member::kGetLookupRecord, "FItemID", int32_t{2});
  EXPECT_EQ(call(none, "Count"), Variant(int32_t{0}));
  editor_->setCell("FItemID", 2, int32_t{0});
  EXPECT_EQ(call(call(bill_, host::member::kGetLookupRecord, "FItemID", int32_t{2}), "Count"),
            Variant(int32_t{0}));
  // A field without a source table has no record either.
  editor_->setCell("FBatchNo", 1, "AL-2611");
  EXPECT_EQ(call(call(bill_, host::member::kGetLookupRecord, "FBatchNo", int32_t{1}), "Count"),
            Variant(int32_t{0}));
  // A stored text ID finds the record as a number would.
  editor_->setCell("FStockID", 1, std::to_string(demo::kRawMaterials));
  EXPECT_EQ(call(call(bill_, host::member::kGetLookupRecord, "FStockID", int32_t{1}), "GetValue", "FTypeID"),
            Variant(demo::kOrdinaryWarehouseType));
}

TEST_F(BillEditorTest, DuplicatedIdsReachTheDataServiceAsTwoRecords) {
  const std::string steel = std::to_string(demo::kSteelPlate);
  host().db().execute("INSERT INTO t_ICItem (FItemID, FNumber, FName, FUnitID) VALUES (" + steel +
                      ", '99.99.999', 'Steel plate copy', 4)");
  Variant records = call(get(bill_, "DataSrv"), "GetData",
                         "Select FNumber,FName From t_ICItem Where FItemID<> 0 AND FItemID=" + steel);
  EXPECT_EQ(get(records, "RecordCount"), Variant(int32_t{2}));

  editor_->addRow();
  editor_->setCell("FItemID", 1, demo::kSteelPlate);
  EXPECT_EQ(call(call(bill_, host::member::kGetLookupRecord, "FItemID", int32_t{1}), "GetValue", "FName"),
            Variant("Steel plate"));
}

TEST_F(BillEditorTest, DataServiceRunsQueriesAndReportsTheClassType) {
  Variant dataSrv = get(bill_, "DataSrv");
  Variant records = call(dataSrv, "GetData",
                         "Select FID,FName From t_SubMessage Where FInterID<> 0 AND FInterID=" +
                             std::to_string(demo::kCustomerTransfer));
  EXPECT_EQ(get(records, "RecordCount"), Variant(int32_t{1}));
  EXPECT_EQ(get(get(records, "", "FID"), "Value"), Variant("02"));

  EXPECT_EQ(get(dataSrv, "ClassTypeID"), Variant(kMtoChangeClassTypeID));
  editor_->setClassTypeID(1007130);
  EXPECT_EQ(get(dataSrv, "ClassTypeID"), Variant(int32_t{1007130}));
  EXPECT_EQ(get(get(bill_, host::member::kClassType), "ID"), Variant(int32_t{1007130}));
  EXPECT_EQ(get(get(bill_, host::member::kEntryClassType), "ID"), Variant(kMtoChangeEntryClassTypeID));
  EXPECT_NE(testing::errorNumber([&] { call(dataSrv, "GetData", "Select nothing From nowhere"); }), 0);
}

TEST_F(BillEditorTest, HostStateObjectsAreNothingUntilSet) {
  EXPECT_EQ(get(bill_, host::member::kOperationMode), Variant(int32_t{1}));
  editor_->setOperationMode(2);
  EXPECT_EQ(get(bill_, host::member::kOperationMode), Variant(int32_t{2}));
  EXPECT_EQ(testing::errorNumber([&] { put(bill_, host::member::kOperationMode, int32_t{0}); }), 383);

  EXPECT_TRUE(isNothing(get(bill_, host::member::kBillMultiCheck)));
  editor_->setMultiCheck(true, false);
  Variant check = get(bill_, host::member::kBillMultiCheck);
  EXPECT_EQ(get(check, "IsRun"), Variant(true));
  EXPECT_EQ(get(check, "ExistMultiCheck"), Variant(false));

  EXPECT_TRUE(isNothing(get(bill_, host::member::kActiveControl)));
  editor_->setActiveControl("grid", 0, 6, 2);
  Variant control = get(bill_, host::member::kActiveControl);
  EXPECT_EQ(get(control, "Name"), Variant("grid"));
  EXPECT_EQ(get(control, "ActiveCol"), Variant(int32_t{6}));
  EXPECT_EQ(get(control, "ActiveRow"), Variant(int32_t{2}));
  EXPECT_EQ(get(bill_, "MenuBar").objectValue(), editor_->menuBar());
}

TEST_F(BillEditorTest, DoActionConvertsQuantitiesThroughTheUnitCoefficient) {
  editor_->addRow();
  editor_->setCell("FUnitID", 1, demo::kBox);  // box of 12
  editor_->setCell("FSecCoefficient", 1, 24.0);
  editor_->setCell("FChangeQty", 1, 3.0);
  Variant billCtl = get(bill_, "BillCtl");
  call(billCtl, "DoAction", definition("FChangeQty"), cellAt("FChangeQty", 1), int32_t{1});
  EXPECT_EQ(editor_->value("FChangeBaseQty", 1), Variant(36.0));
  EXPECT_EQ(editor_->value("FChangeSecQty", 1), Variant(1.5));
  EXPECT_EQ(editor_->displayedText("FChangeBaseQty", 1), "36");
  EXPECT_EQ(editor_->cell("FChangeBaseQty", 1)->at("FModify"), Variant(int16_t{1}));

  // Grams to kilograms; a text quantity counts by its leading number.
  editor_->setCell("FUnitID", 1, demo::kGram);
  editor_->setCell("FQty", 1, "2500");
  call(billCtl, "DoAction", definition("FQty"), cellAt("FQty", 1), int32_t{1});
  EXPECT_EQ(editor_->value("FBaseQty", 1), Variant(2.5));

  // Without a unit the coefficient is 1; a blank quantity blanks the base quantity.
  editor_->setCell("FUnitID", 1, "");
  call(billCtl, "DoAction", definition("FQty"), cellAt("FQty", 1), int32_t{1});
  EXPECT_EQ(editor_->value("FBaseQty", 1), Variant(2500.0));
  editor_->setCell("FQty", 1, "");
  call(billCtl, "DoAction", definition("FQty"), cellAt("FQty", 1), int32_t{1});
  EXPECT_EQ(editor_->value("FBaseQty", 1), Variant(""));

  // Fields without actions of their own are still logged.
  call(billCtl, "DoAction", definition("FNote"), cellAt("FNote", 1), int32_t{1});
  ASSERT_EQ(editor_->doActions().size(), 5u);
  EXPECT_EQ(editor_->doActions()[0], (DoActionRecord{"FChangeQty", 1, {"UnitToBaseQty", "BaseToSecQty"}}));
  EXPECT_EQ(editor_->doActions()[4], (DoActionRecord{"FNote", 1, {}}));
}

TEST_F(BillEditorTest, SetSumDataTotalsAColumn) {
  for (int i = 0; i < 3; ++i) editor_->addRow();
  editor_->setCell("FQty", 1, 1.5);
  editor_->setCell("FQty", 2, "2");
  call(get(bill_, "BillCtl"), "SetSumData", definition("FQty"));
  EXPECT_EQ(editor_->columnTotal("FQty"), 3.5);
  EXPECT_EQ(editor_->columnTotal("FSecQty"), std::nullopt);
}

TEST_F(BillEditorTest, DisplayCallsAreRecordedPerCellAndColumn) {
  editor_->addRow();
  call(bill_, "SetText", definition("FQty"), 12.5, int32_t{1});
  call(bill_, "SetText", definition("FBillNo"), "MTO-0001", int32_t{-1});
  EXPECT_EQ(editor_->displayedText("FQty", 1), "12.5");
  EXPECT_EQ(editor_->displayedText("FBillNo", 0), "MTO-0001");
  EXPECT_EQ(testing::errorNumber([&] { call(bill_, "SetText", definition("FQty"), "", int32_t{2}); }),
            automation::errc::kSubscriptOutOfRange);

  call(bill_, "ShowHideField", definition("FSecQty"), false);
  call(bill_, "ShowHideGrid", definition("FBaseQty"), false);
  call(bill_, "ShowHideField", definition("FNote"), true);
  EXPECT_EQ(editor_->hiddenFields(), std::vector<std::string>{"FSecQty"});
  EXPECT_EQ(editor_->hiddenGridColumns(), std::vector<std::string>{"FBaseQty"});
  EXPECT_EQ(editor_->fieldVisible("FNote"), true);
  EXPECT_EQ(editor_->gridVisible("FNote"), std::nullopt);

  call(bill_, "SetDecimal", definition("FChangeQty"), int32_t{1}, int32_t{3});
  call(bill_, "SetSumDecimal", definition("FChangeQty"), 3.0);
  EXPECT_EQ(editor_->cellDecimals("FChangeQty", 1), 3);
  EXPECT_EQ(editor_->sumDecimals("FChangeQty"), 3);
}

TEST_F(BillEditorTest, UserEntryResolvesFillsLinkedFieldsAndRaisesChange) {
  editor_->addRow();
  auto sink = std::make_shared<testing::RecordingSink>();
  sink->react = [](std::string_view, Args args) { args[4].assign(true); };
  bill_->advise(sink);

  EXPECT_TRUE(editor_->userSetCell("FItemID", 1, demo::kLubricatingOil));
  ASSERT_EQ(sink->events.size(), 1u);
  const auto& change = sink->events[0];
  EXPECT_EQ(change.name, "Change");
  ASSERT_EQ(change.args.size(), 5u);
  EXPECT_EQ(change.args[0].objectValue(), definition("FItemID").objectValue());
  EXPECT_EQ(change.args[1].objectValue(), cellAt("FItemID", 1).objectValue());
  EXPECT_EQ(change.args[2], Variant(int32_t{1}));
  EXPECT_EQ(change.args[3], Variant(int32_t{1}));
  EXPECT_EQ(change.byRef, (std::vector<bool>{false, false, false, false, true}));

  auto item = editor_->cell("FItemID", 1);
  EXPECT_EQ(item->at("FDSP"), Variant("Lubricating oil"));
  EXPECT_EQ(item->at("FFND"), Variant("01.03.002"));
  EXPECT_EQ(item->at("FModify"), Variant(int16_t{1}));
  EXPECT_EQ(editor_->displayedText("FItemID", 1), "Lubricating oil");
  // The editor fills the material's units, coefficient and shelf life.
  EXPECT_EQ(editor_->value("FUnitID", 1), Variant(demo::kLitre));
  EXPECT_EQ(editor_->cell("FUnitID", 1)->at("FDSP"), Variant("L"));
  EXPECT_EQ(editor_->cell("FSecUnitID", 1)->at("FDSP"), Variant("drum"));
  EXPECT_EQ(editor_->value("FSecCoefficient", 1), Variant(200.0));
  EXPECT_EQ(editor_->value("FKFPeriod", 1), Variant(int32_t{365}));

  // Without a handler that sets it, Cancel comes back False.
  sink->react = nullptr;
  EXPECT_FALSE(editor_->userSetCell("FBatchNo", 1, "LO-2609"));
  EXPECT_EQ(sink->events[1].args[2], Variant(int32_t{6}));
}

TEST_F(BillEditorTest, UserAddRowRaisesAddNewRowAfterTheRowExists) {
  auto sink = std::make_shared<testing::RecordingSink>();
  int32_t rowsSeen = 0;
  sink->react = [&](std::string_view, Args) { rowsSeen = editor_->rowCount(); };
  bill_->advise(sink);
  EXPECT_EQ(editor_->userAddRow(), 1);
  ASSERT_EQ(sink->events.size(), 1u);
  EXPECT_EQ(sink->events[0].name, "AddNewRow");
  EXPECT_EQ(sink->events[0].args, (std::vector<Variant>{Variant(int16_t{0}), Variant(int32_t{1})}));
  EXPECT_EQ(rowsSeen, 1);

  std::vector<Variant> args{Variant(false)};
  sink->react = [](std::string_view, Args a) { a[0].assign(true); };
  editor_->raise(host::events::kBillBeforeSave, args);
  EXPECT_EQ(args[0], Variant(true)) << "the declared by-reference Cancel comes back";
  EXPECT_EQ(sink->events.back().name, "BeforeSave");
}

TEST_F(BillEditorTest, UserMenuClickPassesTheToolAndReturnsCancel) {
  auto sink = std::make_shared<testing::RecordingSink>();
  sink->react = [](std::string_view, Args a) {
    if (automation::toText(get(a[0].value(), "Name")) == "mnuBatchFillField") a[1].assign(true);
  };
  bill_->advise(sink);
  EXPECT_TRUE(editor_->userClickMenu("mnuBatchFillField"));
  EXPECT_FALSE(editor_->userClickMenu("mnuFileSave"));
  EXPECT_EQ(sink->events.back().args[0].objectValue(), editor_->menuBar()->tool("mnuFileSave"));
  EXPECT_EQ(testing::errorNumber([&] { editor_->userClickMenu("mnuNoSuchCommand"); }),
            automation::errc::kInvalidCall);
}

TEST_F(BillEditorTest, EditorMembersAreCountedAsHostCalls) {
  editor_->addRow();
  definition("FQty");
  cellAt("FQty", 1);
  cellAt("FQty", 1);
  call(get(bill_, "BillCtl"), "SetSumData", definition("FQty"));
  EXPECT_EQ(calls("BillEvent.GetFieldInfoByKey"), 4u);
  EXPECT_EQ(calls("BillEvent.GetDataFld"), 2u);
  EXPECT_EQ(calls("BillEvent.BillCtl"), 1u);
  EXPECT_EQ(calls("BillCtl.SetSumData"), 1u);
  // The editor's own work through C++ is not a host call.
  editor_->userSetCell("FItemID", 1, demo::kSteelPlate);
  EXPECT_EQ(calls("BillEvent.GetDataFld"), 2u);

  failMember("BillEvent.GetDataFld", static_cast<int32_t>(0x80040065u));
  EXPECT_EQ(testing::errorNumber([&] { cellAt("FQty", 1); }), static_cast<int32_t>(0x80040065u));
}

}  // namespace
}  // namespace mto::sim
