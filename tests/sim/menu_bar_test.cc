#include "sim/editor/menu_bar.h"

#include <gtest/gtest.h>

#include <functional>

#include "automation/convert.h"
#include "automation/property_object.h"
#include "common/error_number.h"
#include "sim/components/toolbar.h"

namespace mto::sim {
namespace {

using automation::AutomationError;
using automation::call;
using automation::get;
using automation::put;
using testing::errorNumber;

std::vector<std::string> names(const std::vector<MenuToolState>& tools) {
  std::vector<std::string> out;
  for (const auto& t : tools) out.push_back(t.name);
  return out;
}

TEST(MenuBarTest, BandToolsInsertAtAKeyedToolsPlace) {
  auto bar = MenuBar::billEditorMenus();
  ObjectPtr menus = bar;
  Variant dataBand = get(menus, "WEXBands", "mnuData");
  Variant tool = call(get(menus, "WEXTools"), "ToolByName", "mnuStockStatusQuery");
  put(tool, "Caption", "Stock Status");
  put(tool, "ImageIndex", int32_t{59});
  call(get(dataBand, "WEXTools"), "InsertTool", tool, "mnuStockQuery");

  EXPECT_EQ(names(bar->bandStates()[3].tools),
            (std::vector<std::string>{"mnuDataLookUp", "mnuStockStatusQuery", "mnuStockQuery",
                                      "mnuSupplyInfoQuery", "mnuDataViewPrvBill", "mnuDataViewNextBill"}));
  EXPECT_EQ(get(get(dataBand, "WEXTools", "mnuStockStatusQuery"), "ImageIndex"), Variant(int32_t{59}));

  // Inserting a tool the band holds moves it; an unknown anchor refuses.
  call(get(dataBand, "WEXTools"), "InsertTool", tool, "mnuDataLookUp");
  EXPECT_EQ(names(bar->bandStates()[3].tools)[0], "mnuStockStatusQuery");
  EXPECT_EQ(bar->bandStates()[3].tools.size(), 6u);
  EXPECT_EQ(errorNumber([&] { call(get(dataBand, "WEXTools"), "InsertTool", tool, "mnuNone"); }),
            automation::errc::kInvalidCall);
  // Tools are placed on bands, not on the bar's own list.
  EXPECT_EQ(errorNumber([&] { call(get(menus, "WEXTools"), "InsertTool", tool, "mnuFileNew"); }),
            automation::errc::kInvalidCall);
}

TEST(MenuBarTest, ToolsByKeyOrNameAreOneObjectAcrossBands) {
  auto bar = MenuBar::billEditorMenus();
  ObjectPtr menus = bar;
  Variant viaBar = get(menus, "WEXTools", "mnuOptionBatchFull");
  Variant viaBand = get(get(menus, "WEXBands", "mnuOption"), "WEXTools", "mnuOptionBatchFull");
  EXPECT_EQ(viaBar.objectValue(), viaBand.objectValue());
  put(viaBand, "Enabled", false);
  EXPECT_EQ(get(viaBar, "Enabled"), Variant(false));
  EXPECT_FALSE(bar->tool("mnuOptionBatchFull")->state().enabled);

  put(call(get(menus, "WEXTools"), "ToolByName", "mnuSupplyInfoQuery"), "BeginGroup", true);
  EXPECT_TRUE(bar->tool("mnuSupplyInfoQuery")->state().beginGroup);

  // Only the bar's list creates a missing tool; keys are exact.
  size_t before = bar->toolStates().size();
  call(get(menus, "WEXTools"), "ToolByName", "mnuNew");
  EXPECT_EQ(bar->toolStates().size(), before + 1);
  EXPECT_EQ(
      errorNumber([&] { call(get(get(menus, "WEXBands", "mnuData"), "WEXTools"), "ToolByName", "mnuNew2"); }),
      automation::errc::kInvalidCall);
  EXPECT_EQ(errorNumber([&] { get(menus, "WEXTools", "mnufilesave"); }), automation::errc::kInvalidCall);
  EXPECT_EQ(errorNumber([&] { get(menus, "WEXBands", "mnuHelp"); }), automation::errc::kInvalidCall);
  EXPECT_EQ(errorNumber([&] { put(viaBar, "Name", "x"); }), 383);

  EXPECT_EQ(get(get(menus, "WEXTools", 1), "Name"), Variant("mnuFileNew"));
  call(menus, "Refresh");
  EXPECT_EQ(bar->refreshCount(), 1);
}

TEST(MenuBarTest, ListMenusHoldTheCommandsTheListDisables) {
  auto bar = MenuBar::billListMenus();
  for (const char* key : {"mnuDataViewNextBill", "mnuDataViewPrvBill", "mnuEditCheck", "mnuEditUnMultiCheck",
                          "mnuBackData", "mnuEditStartMultiCheck", "mnuEditMultiCheck", "mnuEditCopy"})
    EXPECT_NE(bar->tool(key), nullptr) << key;
}

class ToolbarTest : public ::testing::Test {
 protected:
  std::shared_ptr<Toolbar> bar_ = Toolbar::billEditorToolbar();
  ObjectPtr control_ = bar_;
  Variant bandTools(std::string_view band) { return get(get(control_, "Bands", band), "Tools"); }
};

TEST_F(ToolbarTest, BandToolsByZeroBasedIndexAndInsertMovesLaterOnes) {
  Variant tools = bandTools("BandToolBar");
  EXPECT_EQ(get(tools, "Count"), Variant(int16_t{12}));
  EXPECT_EQ(get(get(tools, "", 0), "Name"), Variant("mnuFileNew"));
  EXPECT_EQ(get(get(tools, "", 1), "Name"), Variant("mnuFileSave"));
  EXPECT_EQ(get(get(tools, "", 4), "ControlType"), Variant(kToolSeparator));
  EXPECT_EQ(errorNumber([&] { get(tools, "", 12); }), automation::errc::kSubscriptOutOfRange);

  call(tools, "Insert", int32_t{2}, get(control_, "Tools", "mnuEditCopy"));
  EXPECT_EQ(bar_->bandToolNames("BandToolBar")[2], "mnuEditCopy");
  EXPECT_EQ(bar_->bandToolNames("BandToolBar")[3], "mnuFilePrint");
  call(tools, "Insert", int32_t{99}, get(control_, "Tools", "mnuEditDelRow"));
  EXPECT_EQ(bar_->bandToolNames("BandToolBar").back(), "mnuEditDelRow");
  call(tools, "Remove", int32_t{2});
  EXPECT_EQ(bar_->bandToolNames("BandToolBar")[2], "mnuFilePrint");

  Variant bands = get(control_, "Bands");
  EXPECT_EQ(get(get(bands, "", 0), "Name"), Variant("menu"));
  EXPECT_EQ(get(bands, "Count"), Variant(int16_t{8}));
  EXPECT_EQ(errorNumber([&] { get(control_, "Bands", "mnuHelp"); }), automation::errc::kInvalidCall);
  call(control_, "RecalcLayout");
  EXPECT_EQ(bar_->recalcCount(), 1);
}

TEST_F(ToolbarTest, MasterPropertiesReachBandCopiesButNotTheOtherWay) {
  Variant master = get(control_, "Tools", "mnuEditCopy");
  put(master, "Description", "Copy");
  call(bandTools("BandToolBar"), "Insert", int32_t{2}, master);
  Variant onToolbar = get(bandTools("BandToolBar"), "", 2);
  Variant onEdit = get(bandTools("mnuEdit"), "", "mnuEditCopy");
  EXPECT_NE(onToolbar.objectValue(), master.objectValue());
  EXPECT_EQ(get(onToolbar, "Description"), Variant("Copy"));
  EXPECT_EQ(get(onToolbar, "ID"), get(master, "ID"));

  put(onEdit, "BeginGroup", true);
  EXPECT_EQ(get(onToolbar, "BeginGroup"), Variant(false));
  EXPECT_EQ(get(master, "BeginGroup"), Variant(false));

  put(master, "Visible", false);
  EXPECT_EQ(get(onToolbar, "Visible"), Variant(false));
  EXPECT_EQ(get(onEdit, "Visible"), Variant(false));
  EXPECT_FALSE(bar_->bandStates()[7].tools[0].visible);  // the pop-up menu's copy
}

TEST_F(ToolbarTest, ControlToolsTakeACopyOfAToolFromAnotherControl) {
  auto foreign = std::make_shared<automation::PropertyObject>("Tool");
  foreign->set("Name", "Check");
  foreign->set("Caption", "&Check");
  foreign->set("Category", "Tools");
  foreign->set("Description", "Check");
  foreign->set("BeginGroup", false);
  foreign->set("Visible", true);
  foreign->set("Enabled", true);
  call(get(control_, "Tools"), "Insert", int32_t{0}, ObjectPtr(foreign));

  Variant check = get(control_, "Tools", "Check");
  EXPECT_NE(check.objectValue(), ObjectPtr(foreign));
  EXPECT_EQ(get(get(control_, "Tools"), "", 0).objectValue(), check.objectValue());
  EXPECT_EQ(get(check, "Caption"), Variant("&Check"));
  EXPECT_EQ(get(check, "Category"), Variant("Tools"));
  EXPECT_GT(automation::toLong(get(check, "ID")), 0);
  foreign->set("Caption", "changed");
  EXPECT_EQ(get(check, "Caption"), Variant("&Check"));

  // Placed on a band it is a copy of the new master.
  call(bandTools("mnuEdit"), "Insert", int32_t{4}, check);
  put(check, "Visible", false);
  EXPECT_EQ(get(get(bandTools("mnuEdit"), "", "Check"), "Visible"), Variant(false));
  EXPECT_EQ(errorNumber([&] { call(get(control_, "Tools"), "Insert", int32_t{0}, ObjectPtr(foreign)); }),
            automation::errc::kInvalidCall);
}

TEST_F(ToolbarTest, FreeStandingSeparatorGoesOntoSeveralBands) {
  Variant separator = call(control_, "CreateTool");
  put(separator, "ControlType", kToolSeparator);
  call(bandTools("mnuEdit"), "Insert", int32_t{2}, separator);
  call(bandTools("mnuPop"), "Insert", int32_t{0}, separator);
  EXPECT_EQ(get(get(bandTools("mnuEdit"), "", 2), "ControlType"), Variant(kToolSeparator));
  EXPECT_EQ(get(get(bandTools("mnuPop"), "", 0), "ControlType"), Variant(kToolSeparator));
  EXPECT_EQ(get(get(bandTools("mnuPop"), "", 1), "Name"), Variant("mnuEditCopy"));
  EXPECT_EQ(get(get(bandTools("mnuPop"), "", 0), "ID"), Variant(int32_t{0}));
}

TEST(ToolbarListTest, ListControlHasTheBandsTheListAdapts) {
  auto bar = Toolbar::billListToolbar();
  for (const char* band : {"BandToolBar", "mnuEdit", "mnuPop", "mnuView", "menu"})
    EXPECT_NE(bar->band(band), nullptr) << band;
  EXPECT_EQ(bar->bandToolNames("menu").back(), "mnuPushBill");
  EXPECT_EQ(bar->tool("mnuEdit")->state().category, "Menus");
}

}  // namespace
}  // namespace mto::sim
