#include "bill/bill_toolbar.h"

#include "bill/bill_events.h"
#include "common/sim_fixture.h"
#include "sim/components/toolbar.h"
#include "sim/editor/bill_editor.h"
#include "sim/editor/menu_bar.h"

namespace mto::bill {
namespace {

using automation::ObjectPtr;

/// A control with one band per entry, each holding the given tools in order ("-" a separator).
std::shared_ptr<sim::Toolbar> controlWith(const std::vector<std::vector<std::string>>& bands) {
  auto bar = std::make_shared<sim::Toolbar>();
  for (const char* name : {"a", "b", "x"}) bar->addTool(name, name);
  for (size_t i = 0; i < bands.size(); ++i) {
    std::string band = "band" + std::to_string(i);
    bar->addBand(band, band);
    for (const auto& tool : bands[i]) bar->place(band, tool);
  }
  return bar;
}

std::vector<std::string> namesOn(const sim::Toolbar& bar, size_t band) {
  std::vector<std::string> names;
  auto states = bar.bandStates();
  for (const auto& tool : states.at(band).tools)
    names.push_back(tool.controlType == sim::kToolSeparator ? "-" : tool.name);
  return names;
}

class BillToolbarTest : public testing::SimTest {
 protected:
  BillToolbarTest() : editor_(sim::BillEditor::create(host().db())) { state_.m_BillInterface = editor_; }
  std::shared_ptr<sim::BillEditor> editor_;
  support::InstanceState state_;
};

TEST_F(BillToolbarTest, SeparatorsGoInFrontOfTheToolOnEveryBandThatLacksOne) {
  struct Case {
    std::vector<std::string> before, after;
  };
  const Case cases[] = {
      {{"x", "a"}, {"-", "x", "a"}},            // at position 0: in front of it
      {{"a", "x"}, {"a", "-", "x"}},            //
      {{"a", "-", "x"}, {"a", "-", "x"}},       // already preceded by a separator
      {{"a", "b"}, {"a", "b"}},                 // a band without the tool
      {{"a", "x", "b", "x"}, {"a", "-", "x", "b", "x"}},  // the first match only
  };
  std::vector<std::vector<std::string>> bands;
  for (const auto& c : cases) bands.push_back(c.before);
  auto bar = controlWith(bands);
  InsertSepTool(bar, bar->tool("x"));
  for (size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(namesOn(*bar, i), cases[i].after) << "band " << i;
}

TEST_F(BillToolbarTest, SeparatorsInFrontOfTheToolAreRemovedFromPositionTwoOn) {
  struct Case {
    std::vector<std::string> before, after;
  };
  const Case cases[] = {
      {{"-", "x"}, {"-", "x"}},            // position 1 removes nothing
      {{"a", "-", "x"}, {"a", "x"}},       // position 2: the separator goes
      {{"x", "-", "a"}, {"x", "-", "a"}},  // position 0
      {{"a", "b", "x"}, {"a", "b", "x"}},  // no separator in front
  };
  std::vector<std::vector<std::string>> bands;
  for (const auto& c : cases) bands.push_back(c.before);
  auto bar = controlWith(bands);
  RemoveSepTool(bar, bar->tool("x"));
  for (size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(namesOn(*bar, i), cases[i].after) << "band " << i;
}

TEST_F(BillToolbarTest, SeparatorProceduresStopQuietlyAtAFailure) {
  auto bar = controlWith({{"a", "x"}, {"b", "x"}});
  failMember("Tools.Insert");
  EXPECT_NO_THROW(InsertSepTool(bar, bar->tool("x")));
  EXPECT_NO_THROW(InsertSepTool(bar, nullptr));
  EXPECT_NO_THROW(RemoveSepTool(bar, nullptr));
  EXPECT_EQ(namesOn(*bar, 1), (std::vector<std::string>{"b", "x"})) << "later bands untouched";
  EXPECT_TRUE(env().messages.empty());
}

TEST_F(BillToolbarTest, TheButtonBarGetsCopyAfterSaveAndRowButtonsAfterPreview) {
  auto bar = sim::Toolbar::billEditorToolbar();
  m_BillInterface_BarInitialize(state_, bar);
  EXPECT_EQ(bar->bandToolNames("BandToolBar"),
            (std::vector<std::string>{"mnuFileNew", "mnuFileSave", "mnuEditCopy", "mnuFilePrint", "mnuFilePreview",
                                      "mnuEditAddRow", "mnuEditDelRow", "", "mnuEditCheck", "mnuEditUnCheck", "",
                                      "mnuDataLookUp", "mnuStockQuery", "", "mnuFileExit"}));
  EXPECT_EQ(bar->bandToolNames("mnuPop").front(), "") << "a separator in front of copy where it already was";
  EXPECT_EQ(bar->tool("mnuEditCopy")->state().description, "Copy");
  EXPECT_FALSE(bar->tool("mnuBatchFillField")->state().visible);
  EXPECT_FALSE(bar->tool("mnuOptionLinkBill")->state().visible);
  EXPECT_EQ(bar->recalcCount(), 1);
  EXPECT_TRUE(env().messages.empty());
}

TEST_F(BillToolbarTest, MissingAnchorsCountAsPositionZero) {
  auto bar = sim::Toolbar::billEditorToolbar();
  bar->removeFromBand("BandToolBar", "mnuFileSave");
  bar->removeFromBand("BandToolBar", "mnuFilePreview");
  m_BillInterface_BarInitialize(state_, bar);
  auto names = bar->bandToolNames("BandToolBar");
  EXPECT_EQ(names[1], "mnuEditAddRow");
  EXPECT_EQ(names[2], "mnuEditDelRow");
  EXPECT_EQ(names[3], "mnuEditCopy") << "copy went to 1 first, then the row buttons in front of it";
}

TEST_F(BillToolbarTest, AMultiLevelCheckInForceLeavesTheToolbarAsBuilt) {
  auto bar = sim::Toolbar::billEditorToolbar();
  auto before = bar->bandStates();
  editor_->setMultiCheck(true, true);
  startCounting();
  m_BillInterface_BarInitialize(state_, bar);
  EXPECT_EQ(bar->recalcCount(), 0);
  EXPECT_EQ(calls("ActiveBar3.Tools") + calls("ActiveBar3.Bands"), 0u);
  editor_->setMultiCheck(true, false);
  m_BillInterface_BarInitialize(state_, bar);
  EXPECT_EQ(bar->recalcCount(), 1) << "a check that exists but is not running does not hold the toolbar";
}

TEST_F(BillToolbarTest, AFailingStepIsShownAsDescriptionLineBreakNumber) {
  auto bar = sim::Toolbar::billEditorToolbar();
  failMember("Tool.Description", 70, "Permission denied");
  m_BillInterface_BarInitialize(state_, bar);
  ASSERT_EQ(env().messages.size(), 1u);
  EXPECT_EQ(env().messages[0].text, "Permission denied\r\n70");
  EXPECT_EQ(bar->recalcCount(), 0);
  EXPECT_EQ(bar->bandToolNames("BandToolBar")[2], "mnuFilePrint") << "the copy button was not placed";
}

TEST_F(BillToolbarTest, ToolStatesFollowTheOperationMode) {
  struct Case {
    int32_t mode;
    std::map<std::string, std::pair<bool, bool>> states;  // key -> (enabled, visible)
  };
  const Case cases[] = {
      {1, {{"mnuFileNew", {true, true}}, {"mnuEditCheck", {true, false}}, {"mnuDataLookUp", {true, true}}}},
      {2, {{"mnuEditCheck", {true, true}}, {"mnuEditUnCheck", {true, true}}, {"mnuDataLookUp", {true, true}}}},
      {0, {{"mnuEditCheck", {true, true}}, {"mnuDataLookUp", {true, false}}}},
      {3, {{"mnuEditCheck", {true, false}}, {"mnuDataLookUp", {true, true}}}},
  };
  for (const auto& c : cases) {
    auto bar = sim::MenuBar::billEditorMenus();
    bar->tool("mnuFileNew")->state().enabled = false;
    bar->tool("mnuEditCheck")->state().visible = false;
    editor_->setMenuBar(bar);
    SetToolStates(state_, c.mode);
    for (const auto& [key, expected] : c.states) {
      const auto& s = bar->tool(key)->state();
      EXPECT_EQ(std::make_pair(s.enabled, s.visible), expected) << key << " in mode " << c.mode;
    }
    EXPECT_FALSE(bar->tool("mnuOptionBatchFull")->state().enabled);
    EXPECT_FALSE(bar->tool("mnuBatchFillField")->state().visible);
    EXPECT_FALSE(bar->tool("mnuOptionLinkBill")->state().enabled);
    EXPECT_EQ(bar->refreshCount(), 1);
  }
}

TEST_F(BillToolbarTest, ToolStatesSkipWhatTheMenuBarLacks) {
  auto bar = std::make_shared<sim::MenuBar>();
  bar->addBand("mnuOption", "Options");
  bar->addTool("mnuOption", "mnuOptionLinkBill", "Link bill");
  bar->addBand("mnuEdit", "Edit");
  bar->addTool("mnuEdit", "mnuEditUnCheck", "Uncheck");
  editor_->setMenuBar(bar);
  SetToolStates(state_, 1);
  EXPECT_FALSE(bar->tool("mnuOptionLinkBill")->state().visible);
  EXPECT_FALSE(bar->tool("mnuEditUnCheck")->state().visible);
  EXPECT_EQ(bar->refreshCount(), 1);
}

TEST_F(BillToolbarTest, TheStockStatusCommandJoinsTheDataMenuAtTheStockQuery) {
  auto bar = sim::MenuBar::billEditorMenus();
  m_BillInterface_MenuBarInitialize(state_, bar);
  std::vector<std::string> data;
  for (const auto& tool : bar->band("mnuData")->tools()->tools()) data.push_back(tool->name());
  EXPECT_EQ(data[1], "mnuStockStatusQuery");
  EXPECT_EQ(data[2], "mnuStockQuery");
  const auto& added = bar->tool("mnuStockStatusQuery")->state();
  EXPECT_EQ(added.caption, "Stock Status");
  EXPECT_EQ(added.imageIndex, 59);
  EXPECT_TRUE(bar->tool("mnuSupplyInfoQuery")->state().beginGroup);

  auto bare = sim::MenuBar::billEditorMenus();
  bare->removeBand("mnuData");
  EXPECT_THROW(m_BillInterface_MenuBarInitialize(state_, bare), automation::AutomationError)
      << "nothing is trapped: a missing band reaches the host";
}

}  // namespace
}  // namespace mto::bill
