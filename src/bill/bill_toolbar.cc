#include "bill/bill_toolbar.h"

#include <map>
#include <string>

#include "automation/convert.h"
#include "automation/error.h"
#include "automation/platform.h"
#include "bill/bill_events.h"
#include "host/contract.h"
#include "support/bill_fields.h"
#include "support/event_answers.h"
#include "support/login_environment.h"

namespace mto::bill {

using automation::call;
using automation::get;
using automation::put;
using automation::Variant;
namespace member = host::member;

namespace {

/// A tool's kind that marks a separator.
constexpr int32_t kSeparator = 5;

bool isSeparator(const Variant& tool) {
  return automation::toLong(get(tool, member::kToolType)) == kSeparator;
}

/// Calls `visit(band tools)` for every band of a toolbar control, in collection order.
template <typename Visit>
void forEachBand(const ObjectPtr& bar, Visit visit) {
  Variant bands = get(bar, "Bands");
  int32_t count = automation::toLong(get(bands, "Count"));
  for (int32_t b = 0; b < count; ++b) visit(get(get(bands, "", b), "Tools"));
}

/// The position of the first tool of a band's list for which `matches(tool)` holds; -1 for none.
template <typename Matches>
int32_t findTool(const Variant& tools, Matches matches) {
  int32_t count = automation::toInteger(get(tools, "Count"));
  for (int32_t i = 0; i < count; ++i)
    if (matches(get(tools, "", i))) return i;
  return -1;
}

}  // namespace

void InsertSepTool(const ObjectPtr& oABar, const ObjectPtr& oTool) {
  try {
    // One free-standing separator; each band stores its own copy of it.
    ObjectPtr separator = automation::createObject(host::progid::kToolbarTool);
    put(separator, member::kToolType, kSeparator);
    std::string name = automation::toText(get(oTool, "Name"));
    forEachBand(oABar, [&](const Variant& tools) {
      int32_t at =
          findTool(tools, [&](const Variant& t) { return automation::toText(get(t, "Name")) == name; });
      if (at < 0) return;
      if (at > 0 && isSeparator(get(tools, "", at - 1))) return;
      call(tools, "Insert", at, separator);
    });
  } catch (...) {
    // Stops at the first failure without a word; bands not yet visited stay as they were.
  }
}

void RemoveSepTool(const ObjectPtr& oABar, const ObjectPtr& oTool) {
  try {
    Variant id = get(oTool, "ID");
    forEachBand(oABar, [&](const Variant& tools) {
      int32_t at = findTool(tools, [&](const Variant& t) {
        auto order = automation::compareVariants(get(t, "ID"), id);
        return order && *order == 0;
      });
      if (at > 1 && isSeparator(get(tools, "", at - 1))) call(tools, member::kRemoveTool, at - 1);
    });
  } catch (...) {
    // Stops at the first failure without a word, as InsertSepTool does.
  }
}

void m_BillInterface_BarInitialize(InstanceState& self, const ObjectPtr& oActiveBar) {
  try {
    if (support::multiCheckInForce(self.m_BillInterface, member::kBillMultiCheck)) return;
    auto tool = [&](std::string_view key) { return get(oActiveBar, "Tools", key); };
    InsertSepTool(oActiveBar, tool("mnuEditCopy").objectValue());
    int32_t save = support::FindToolIndex(oActiveBar, "BandToolBar", "mnuFileSave");
    put(tool("mnuEditCopy"), "Description", support::GetResText("复制"));
    Variant buttons = get(get(oActiveBar, "Bands", "BandToolBar"), "Tools");
    call(buttons, "Insert", save + 1, tool("mnuEditCopy"));
    int32_t preview = support::FindToolIndex(oActiveBar, "BandToolBar", "mnuFilePreview");
    put(tool("mnuEditAddRow"), "Description", support::GetResText("添加"));
    put(tool("mnuEditDelRow"), "Description", support::GetResText("删除"));
    call(buttons, "Insert", preview + 1, tool("mnuEditAddRow"));
    call(buttons, "Insert", preview + 2, tool("mnuEditDelRow"));
    put(tool("mnuBatchFillField"), "Visible", false);
    put(tool("mnuOptionLinkBill"), "Visible", false);
    call(oActiveBar, "RecalcLayout");
  } catch (...) {
    automation::ErrorInfo error = automation::errorFromException(std::current_exception());
    support::ShowMessage(error.description + "\r\n" + std::to_string(error.number));
  }
}

void m_BillInterface_MenuBarInitialize(InstanceState&, const ObjectPtr& oMenuBar) {
  Variant data = get(oMenuBar, member::kWexBands, "mnuData");
  Variant tools = get(oMenuBar, member::kWexTools);
  put(call(tools, member::kToolByName, "mnuSupplyInfoQuery"), member::kMenuToolFlag, true);
  Variant stockStatus = call(tools, member::kToolByName, "mnuStockStatusQuery");
  put(stockStatus, "Caption", support::GetResText("库存状态查询"));
  put(stockStatus, member::kMenuToolNumber, int32_t{59});
  call(get(data, member::kWexTools), member::kInsertTool, stockStatus, "mnuStockQuery");
}

void SetToolStates(InstanceState& self, const int32_t& mode) {
  const ObjectPtr& bill = self.m_BillInterface;
  Variant menuBar;
  // Each step stands alone: one that fails (a command the bar lacks, say) is skipped.
  auto step = [&](auto&& action) {
    try {
      if (menuBar.isEmpty()) menuBar = support::BillMenuBar(bill);
      action();
    } catch (...) {
    }
  };
  // A command's tool is asked of the bar once, though two of its states may be set.
  std::map<std::string_view, Variant> tools;
  auto set = [&](std::string_view key, std::string_view state, bool value) {
    step([&] {
      Variant& tool = tools[key];
      if (tool.isEmpty()) tool = get(menuBar, member::kWexTools, key);
      put(tool, state, value);
    });
  };
  set("mnuOptionBatchFull", "Enabled", false);
  set("mnuBatchFillField", "Visible", false);
  set("mnuBatchFillField", "Enabled", false);
  set("mnuOptionLinkBill", "Visible", false);
  set("mnuOptionLinkBill", "Enabled", false);
  switch (mode) {
    case 1:
      set("mnuFileNew", "Enabled", true);
      set("mnuFileSave", "Enabled", true);
      set("mnuEditCheck", "Visible", false);
      set("mnuEditUnCheck", "Visible", false);
      break;
    case 2:
      set("mnuEditCheck", "Visible", true);
      set("mnuEditUnCheck", "Visible", true);
      break;
    case 0:
      set("mnuEditCheck", "Visible", true);
      set("mnuEditUnCheck", "Visible", true);
      set("mnuDataLookUp", "Visible", false);
      break;
    default:
      break;
  }
  step([&] { call(menuBar, member::kRefresh); });
}

}  // namespace mto::bill
