#include <string>

#include "automation/convert.h"
#include "automation/error.h"
#include "host/contract.h"
#include "list/list_events.h"
#include "support/bill_fields.h"
#include "support/frm_bar.h"
#include "support/login_environment.h"

namespace mto::list {

using automation::call;
using automation::get;
using automation::put;
using automation::Variant;
namespace member = host::member;

namespace {

/// Runs one step of a surface's set-up; a step that fails (a band or tool the host does not have,
/// a missing template) is skipped and the next one runs.
template <typename Step>
void tryStep(Step step) {
  try {
    step();
  } catch (...) {
  }
}

/// The access right a user needs to copy a bill from the list.
constexpr int32_t kCopyRightObjectType = 1088;
constexpr int32_t kCopyRightObjectId = 54;
constexpr int32_t kCopyRightMask = 0x2000000;

}  // namespace

void m_LstInterface_BarInitialize(InstanceState& self, const ObjectPtr& oActiveBar) {
  const ObjectPtr& list = self.m_LstInterface;
  auto tool = [&](std::string_view key) { return get(oActiveBar, "Tools", key); };
  auto bandTools = [&](std::string_view band) { return get(get(oActiveBar, "Bands", band), "Tools"); };
  auto bandTool = [&](std::string_view band, std::string_view key) {
    return get(get(oActiveBar, "Bands", band), "Tools", key);
  };
  auto templateTool = [](std::string_view key) {
    return get(get(get(support::frmBar(), "abInstall"), "Tools"), "", key);
  };
  auto hide = [&](auto&& target) { tryStep([&] { put(target(), "Visible", false); }); };

  int32_t mode = 0;
  tryStep([&] { mode = automation::toLong(get(get(list, member::kListDisplay), "ShowMode")); });
  if (mode == 3) {
    // The reduced list: no editing commands.
    for (std::string_view key : {"mnuFileNew", "mnuEditModify", "mnuEditDelete", "mnuEditCopy", "mnuDataFilter",
                                 "mnuDataAccessory", "mnuCaculate", "Check"})
      hide([&] { return tool(key); });
    hide([&] { return bandTool("menu", "mnuPushBill"); });
    hide([&] { return bandTool("mnuEdit", "mnuEditCopyEntry"); });
    hide([&] { return tool("mnuEdit"); });
  } else {
    tryStep([&] { put(tool("mnuEditCopy"), "BeginGroup", true); });
    tryStep([&] { put(tool("mnuEditCopy"), "Description", support::GetResText("复制")); });
    tryStep([&] { call(bandTools("BandToolBar"), "Insert", 5, tool("mnuEditCopy")); });

    tryStep([&] { put(templateTool("Check"), "BeginGroup", false); });
    tryStep([&] { call(get(oActiveBar, "Tools"), "Insert", 0, templateTool("Check")); });
    tryStep([&] { put(tool("Check"), "Caption", support::GetResText("审核")); });
    tryStep([&] { put(tool("Check"), "Description", support::GetResText("审核")); });
    tryStep([&] { call(bandTools("BandToolBar"), "Insert", 6, tool("Check")); });
    tryStep([&] { call(get(oActiveBar, "Tools"), "Insert", 0, templateTool("UnCheck")); });
    tryStep([&] { put(tool("UnCheck"), "Caption", support::GetResText("反审核")); });
    tryStep([&] { put(tool("UnCheck"), "Description", support::GetResText("反审")); });

    // The check commands join the Edit and pop-up menus; the button bar gets only check.
    for (std::string_view menu : {"mnuEdit", "mnuPop"}) {
      tryStep([&] { call(bandTools(menu), "Insert", 4, tool("Check")); });
      tryStep([&] { call(bandTools(menu), "Insert", 5, tool("UnCheck")); });
      tryStep([&] { put(bandTool(menu, "Check"), "BeginGroup", true); });
      hide([&] { return bandTool(menu, "mnuEditCopyEntry"); });
    }
    hide([&] { return bandTool("mnuView", "mnuViewToolBar"); });
    hide([&] { return bandTool("mnuView", "mnuViewToolCaption"); });
    hide([&] { return bandTool("menu", "mnuPushBill"); });

    bool checkInForce = false;
    tryStep([&] { checkInForce = support::multiCheckInForce(list, member::kListMultiCheck); });
    if (checkInForce) {
      hide([&] { return tool("Check"); });
      hide([&] { return tool("UnCheck"); });
      tryStep([&] { put(tool("UnCheck"), "Enabled", false); });
    }
  }
  tryStep([&] { call(oActiveBar, "RecalcLayout"); });
}

void m_LstInterface_MenuBarInitialize(InstanceState& self, const ObjectPtr& oMenuBar) {
  auto disable = [&](std::string_view key) {
    tryStep([&] { put(get(oMenuBar, member::kWexTools, key), "Enabled", false); });
  };
  disable("mnuDataViewNextBill");
  disable("mnuDataViewPrvBill");
  bool fromCalculation = false;
  tryStep([&] {
    Variant info = get(get(self.m_LstInterface, member::kListTemplate), "TableInfo");
    // Only the Boolean True counts, as the language's comparison with True takes it.
    fromCalculation = automation::equalsNumber(call(info, "GetValue", "CallByCalculate", false), -1);
  });
  if (fromCalculation)
    for (std::string_view key :
         {"mnuEditCheck", "mnuEditUnMultiCheck", "mnuBackData", "mnuEditStartMultiCheck", "mnuEditMultiCheck"})
      disable(key);
}

void m_LstInterface_MenuBarClick(InstanceState&, const ObjectPtr& WEXTool, Arg& Cancel) {
  if (automation::toText(get(WEXTool, "Name")) != "mnuEditCopy") return;
  // The access check has told the user already when the right is missing.
  if (!support::CheckAccess(kCopyRightObjectType, kCopyRightObjectId, kCopyRightMask)) Cancel.assign(true);
}

}  // namespace mto::list
