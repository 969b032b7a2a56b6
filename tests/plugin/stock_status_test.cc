#include "bill/stock_status.h"

#include "automation/convert.h"
#include "bill/bill_events.h"
#include "common/sim_fixture.h"
#include "host/contract.h"
#include "plugin/top_of_range_vector.h"
#include "sim/components/collections.h"
#include "sim/editor/bill_editor.h"

namespace mto::bill {
namespace {

using automation::Array;
using automation::AutomationError;
using automation::Variant;

/// The texts of an array result, element 0 included.
std::vector<std::string> texts(const Variant& v) {
  std::vector<std::string> out;
  for (const auto& e : v.arrayValue()) out.push_back(e.stringValue());
  return out;
}

class StockStatusTest : public testing::SimTest {
 protected:
  StockStatusTest() : editor_(sim::BillEditor::create(host().db())) { state_.m_BillInterface = editor_; }

  void addRows(std::initializer_list<Variant> materials) {
    for (const auto& m : materials) editor_->setCell("FItemID", editor_->addRow(), m);
  }
  /// What an event handler returned to the host.
  automation::ErrorInfo errorOf(const std::function<void()>& f) {
    try {
      f();
    } catch (const AutomationError& e) {
      return e.info();
    }
    ADD_FAILURE() << "no error";
    return {};
  }
  std::vector<std::string> lastLogScopes(size_t n) {
    std::vector<std::string> out;
    for (size_t i = env().logScopes.size() - std::min(n, env().logScopes.size()); i < env().logScopes.size(); ++i)
      out.push_back(env().logScopes[i].name + ":" +
                    (env().logScopes[i].code ? std::to_string(*env().logScopes[i].code) : "open"));
    return out;
  }

  std::shared_ptr<sim::BillEditor> editor_;
  support::InstanceState state_;
};

TEST_F(StockStatusTest, TheWindowIsFilteredToTheRowsMaterialsDuplicatesKept) {
  addRows({12, Variant(""), 12, 13});
  ViewStockStatus(state_);
  ASSERT_EQ(env().hostActions.size(), 1u);
  EXPECT_EQ(env().hostActions[0].call, "ShowByBill");
  EXPECT_EQ(env().hostActions[0].detail, "t1.FItemID IN(12,12,13)");

  editor_->removeRow(4);
  editor_->removeRow(3);
  editor_->removeRow(1);
  ViewStockStatus(state_);
  EXPECT_EQ(env().hostActions.back().call, "Show") << "no material: the window opens unfiltered";
}

TEST_F(StockStatusTest, OnlyPlainWholeNumbersReachTheFilter) {
  struct Case {
    std::vector<Variant> items;
    std::string expected;  // "" for the unfiltered window
  };
  const Case cases[] = {
      {{Variant("12) OR 1=1 --"), Variant("13")}, "t1.FItemID IN(13)"},
      {{Variant("12,13")}, ""},
      {{Variant("'12'"), Variant("12'"), Variant("\"12\"")}, ""},
      {{Variant("-7"), Variant(" 12"), Variant("12.5"), Variant(int32_t{14})}, "t1.FItemID IN(-7,14)"},
      {{Variant::null(), Variant(), Variant("")}, ""},
  };
  for (const auto& c : cases) {
    auto list = host::VectorRef::create();
    for (const auto& item : c.items) list.add(item);
    EXPECT_TRUE(ShowStockStatus(list));
    const auto& shown = env().hostActions.back();
    if (c.expected.empty()) {
      EXPECT_EQ(shown.call, "Show") << describe(c.items[0]);
    } else {
      EXPECT_EQ(shown.detail, c.expected) << describe(c.items[0]);
    }
  }
}

TEST_F(StockStatusTest, AMaterialListAtTheTopOfTheRangeIsReadOnce) {
  auto materials = std::make_shared<testing::TopOfRangeVector>(Variant("12"));
  EXPECT_TRUE(ShowStockStatus(host::VectorRef(automation::ObjectPtr(materials))));
  EXPECT_EQ(materials->reads, 1);
  ASSERT_EQ(env().hostActions.size(), 1u);
  EXPECT_EQ(env().hostActions[0].detail, "t1.FItemID IN(12)");
  EXPECT_TRUE(host().platform().messageBoxes().empty());
}

TEST_F(StockStatusTest, AMissingWindowIsShownInABoxAndGivesFalse) {
  host().removeComponent(host::progid::kStockStatus);
  addRows({12});
  ViewStockStatus(state_);  // the failure stops at the box, nothing reaches the host
  const auto& boxes = host().platform().messageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text.rfind("429 (", 0), 0u) << boxes[0].text;
  EXPECT_EQ(boxes[0].text.back(), ')');
  EXPECT_EQ(boxes[0].style, 0);
  EXPECT_FALSE(boxes[0].title.empty());
  EXPECT_FALSE(ShowStockStatus(host::VectorRef::create()));
}

TEST_F(StockStatusTest, AFailingRowReadReachesTheHostUnderTheProceduresName) {
  addRows({12});
  failMember("BillEvent.ReadFieldValue", 13, "bad cell");
  auto error = errorOf([&] { ViewStockStatus(state_); });
  EXPECT_EQ(error.number, 13);
  EXPECT_EQ(error.source.rfind("T8MTOChange.clsMTOChange.ViewStockStatus\r\n", 0), 0u) << error.source;
  EXPECT_EQ(error.description, "\r\nbad cell");
  EXPECT_TRUE(env().hostActions.empty());
}

TEST_F(StockStatusTest, FieldsAreFoundByTheirTemplateProperties) {
  auto& tmpl = editor_->billTemplate();
  tmpl.set("FBatchNo", "CtlIndex", Variant("3"));  // the same index as FUnitID's 3, stored as text
  tmpl.set("FNote", "FCaption", Variant("BATCH"));
  tmpl.set("FBatchNo", "FCaption", Variant("batch"));
  struct Case {
    Variant properties, values;
    int32_t page;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {"CtlIndex", int32_t{3}, 2, {"", "FUnitID", "FBatchNo"}},
      {"CtlIndex", "3", 2, {"", "FUnitID", "FBatchNo"}},
      {"CtlIndex", int32_t{3}, 1, {"", "FHSID"}},
      {"CtlIndex", int32_t{3}, 0, {"", "FHSID", "FUnitID", "FBatchNo"}},
      {"FCaption", "Batch", 2, {"", "FBatchNo", "FNote"}},
      {"CtlIndex FCaption", "3 BATCH", 2, {"", "FBatchNo"}},
      {Variant(Array{Variant("CtlIndex"), Variant("FCaption")}), Variant(Array{Variant(int32_t{3}), Variant("batch")}),
       2, {"", "FBatchNo"}},
      {"CtlIndex", int32_t{3}, -1, {""}},
      {"CtlIndex", int32_t{99}, 2, {""}},
      {"CtlIndex FCaption", "3", 2, {""}},  // fewer values than properties: the first field fails
      {int32_t{5}, "3", 2, {""}},           // neither a text nor an array of names
  };
  for (const auto& c : cases)
    EXPECT_EQ(texts(GetFieldByProperty(state_, c.properties, c.values, c.page)), c.expected)
        << describe(c.properties) << " = " << describe(c.values) << " on page " << c.page;
  EXPECT_TRUE(GetFieldByProperty(state_, "CtlIndex", int32_t{3}, 3).isEmpty()) << "beyond the last page";
}

TEST_F(StockStatusTest, FieldSearchLogsUnderItsOwnNameAndReportsNothing) {
  GetFieldByProperty(state_, "CtlIndex", int32_t{3}, 2);
  GetFieldByProperty(state_, "CtlIndex", int32_t{3}, 9);
  failMember("BillEvent.TableInfo");
  EXPECT_EQ(texts(GetFieldByProperty(state_, "CtlIndex", int32_t{3}, 2)), std::vector<std::string>{""});
  EXPECT_EQ(lastLogScopes(3), (std::vector<std::string>{"T8WEXSerRunAction.clsDoAction.GetFieldByProperty:1",
                                                        "T8WEXSerRunAction.clsDoAction.GetFieldByProperty:0",
                                                        "T8WEXSerRunAction.clsDoAction.GetFieldByProperty:1"}));
}

TEST_F(StockStatusTest, PageActionParametersComeFromTheMaterialLookUpsAction) {
  auto& tmpl = editor_->billTemplate();
  host::DictionaryRef info(Variant(tmpl.tableInfo()));
  std::string batch = GetPageActionParameters(2, info);
  EXPECT_NE(batch.find("FBatchNo=FBatchNo"), std::string::npos) << batch;
  EXPECT_EQ(GetPageActionParameters(1, info), "") << "the head has no material look-up";

  tmpl.set("FItemID", "FLookUpClassID", Variant("4"));  // a class stored as text still matches
  EXPECT_EQ(GetPageActionParameters(2, info), batch);
  tmpl.definition("FItemID")->set("Action", Variant(sim::Dictionary::create()));
  auto error = errorOf([&] { GetPageActionParameters(2, info); });
  EXPECT_EQ(error.source.rfind("T8ExpWEXPlug.ClsBoxUp_Bill::GetParameters\r\n", 0), 0u) << error.source;

  tmpl.set("FItemID", "FLookUpType", int32_t{2});
  EXPECT_EQ(GetPageActionParameters(2, info), "") << "no field of look-up type 1 and class 4";
}

TEST_F(StockStatusTest, PageActionParametersNeedActionOneHundredThousandEighteen) {
  auto& tmpl = editor_->billTemplate();
  sim::FieldSpec item;
  item.key = "FItemID";
  item.lookUpType = 1;
  item.lookUpClassID = 4;
  item.actions = {{"200011", "Other", "x"}, {"100018 ", "Padded", "y"}};
  tmpl.addField(item);
  EXPECT_EQ(GetPageActionParameters(2, host::DictionaryRef(Variant(tmpl.tableInfo()))), "");
  item.actions.push_back({"100018", "Batch", "z"});
  tmpl.addField(item);
  EXPECT_EQ(GetPageActionParameters(2, host::DictionaryRef(Variant(tmpl.tableInfo()))), "z");
}

TEST_F(StockStatusTest, EntryGridRowHandsTheBillsContextToTheStockAction) {
  addRows({12, 13, 14});
  m_BillInterface_EntryGridRow(state_, 0, 3, 2, false, true, true, 0, false);
  ASSERT_EQ(env().hostActions.size(), 1u);
  const auto& run = env().hostActions[0];
  EXPECT_EQ(run.component, "T8WEXSerRunAction.clsDoAction");
  EXPECT_EQ(run.detail, "WEXSer_GetStockQtyAndSecurityQty");
  EXPECT_EQ(run.parameterKeys,
            (std::vector<std::string>{"ClassType", "ClassTypeEntry", "TableInfo", "Data", "NewRow", "Paramenters"}));
  for (size_t i = 0; i < 4; ++i) EXPECT_TRUE(run.parameterValues[i].isObject()) << run.parameterKeys[i];
  EXPECT_EQ(run.parameterValues[4], Variant("3"));
  EXPECT_EQ(run.parameterValues[5],
            Variant(GetPageActionParameters(2, host::DictionaryRef(Variant(editor_->billTemplate().tableInfo())))));
  EXPECT_TRUE(run.interfaceSet);
  EXPECT_TRUE(run.dataSrvSet);

  auto error = errorOf([&] { m_BillInterface_EntryGridRow(state_, 5, 4, 0, true, false, false, 1, false); });
  EXPECT_EQ(error.number, 424) << "a grid whose page the template lacks";
  EXPECT_EQ(env().hostActions.size(), 1u);
}

TEST_F(StockStatusTest, EntryGridRowFailuresReachTheHostPrefixed) {
  host().removeComponent(host::progid::kStockQtyAction);
  auto missing = errorOf([&] { m_BillInterface_EntryGridRow(state_, 0, 1, 0, false, false, false, 0, false); });
  EXPECT_EQ(missing.number, 429);
  EXPECT_EQ(missing.source.rfind("T8ExpWEXPlug.ClsBoxUp_Bill::m_BillInterface_EntryGridRow\r\n", 0), 0u);

  host().installComponent(host::progid::kStockQtyAction);
  editor_->billTemplate().definition("FItemID")->set("Action", Variant(int32_t{0}));
  auto nested = errorOf([&] { m_BillInterface_EntryGridRow(state_, 0, 1, 0, false, false, false, 0, false); });
  EXPECT_EQ(nested.source.rfind("T8ExpWEXPlug.ClsBoxUp_Bill::m_BillInterface_EntryGridRow\r\n"
                                "T8ExpWEXPlug.ClsBoxUp_Bill::GetParameters\r\n",
                                0),
            0u)
      << nested.source;
  EXPECT_EQ(nested.description.rfind("\r\n\r\n", 0), 0u) << "one line break per procedure";
  EXPECT_TRUE(env().hostActions.empty());
}

TEST_F(StockStatusTest, BatchLookUpHandsTheClassTypesParametersToTheBatchAction) {
  addRows({13});
  DoBatchF7Action(state_);
  const auto& run = env().hostActions.back();
  EXPECT_EQ(run.component, "D8OduruverRunAction.clsDoAction");
  EXPECT_EQ(run.detail, "Batch_F7Action");
  EXPECT_EQ(run.parameterKeys,
            (std::vector<std::string>{"ClassType", "ClassTypeEntry", "TableInfo", "Data", "Paramenters"}));
  EXPECT_EQ(run.parameterValues[0], Variant(sim::kMtoChangeClassTypeID));
  EXPECT_EQ(run.parameterValues[4], Variant("BatchFilter=FStockID,FFromMTONo;QtyField=FChangeQty"));
  EXPECT_EQ(lastLogScopes(1), std::vector<std::string>{"T8MTOChange.clsMTOChange.DoBatchF7Action:0"});

  host().removeComponent(host::progid::kBatchAction);
  auto error = errorOf([&] { DoBatchF7Action(state_); });
  EXPECT_EQ(error.number, 429);
  EXPECT_EQ(error.source.rfind("T8MTOChange.clsMTOChange::DoBatchF7Action\r\n", 0), 0u) << error.source;
  EXPECT_EQ(lastLogScopes(1), std::vector<std::string>{"T8MTOChange.clsMTOChange.DoBatchF7Action:1"});
}

}  // namespace
}  // namespace mto::bill
