#include "core/cls_mto_change.h"

#include "support/frm_bar.h"
#include "host/contract.h"
#include "common/sim_fixture.h"
#include "support/system_profile.h"

namespace mto::core {
namespace {

using automation::Args;
using automation::CallKind;
using automation::Variant;

/// A bindable host object of any type name that records subscriptions and property puts.
class Bindable : public sim::HostObjectBase {
 public:
  explicit Bindable(std::string type) : type_(std::move(type)) {}
  std::string typeName() const override { return type_; }
  Variant invoke(std::string_view member, CallKind kind, Args args) override {
    if (kind == CallKind::PropertyPut) puts.emplace_back(std::string(member), args[0].value());
    return {};
  }
  uint32_t advise(std::shared_ptr<automation::EventSink> sink) override {
    ++advised;
    return HostObjectBase::advise(std::move(sink));
  }
  void unadvise(uint32_t cookie) override {
    ++unadvised;
    HostObjectBase::unadvise(cookie);
  }
  int advised = 0;
  int unadvised = 0;
  std::vector<std::pair<std::string, Variant>> puts;

 private:
  std::string type_;
};

class ClsMtoChangeTest : public testing::SimTest {};

TEST_F(ClsMtoChangeTest, ShowBindsOnlyExactTypeNames) {
  auto plugin = clsMTOChange::create();
  auto wrongCase = std::make_shared<Bindable>("billevent");
  automation::call(automation::ObjectPtr(plugin), "show", automation::ObjectPtr(wrongCase));
  plugin->Show(nullptr);
  plugin->Show(Variant("BillEvent"));
  EXPECT_EQ(wrongCase->advised, 0);
  EXPECT_FALSE(plugin->state().m_BillInterface);
  EXPECT_FALSE(plugin->state().m_LstInterface);
  EXPECT_EQ(calls("clsListServer.GetCurPeriod"), 0u) << "nothing bound, no profile load";
}

TEST_F(ClsMtoChangeTest, EveryBillBindReloadsTheProfileAndReplacesTheSubscription) {
  auto plugin = clsMTOChange::create();
  auto first = std::make_shared<Bindable>("BillEvent");
  auto second = std::make_shared<Bindable>("BillEvent");
  plugin->Show(automation::ObjectPtr(first));
  host().db().execute("UPDATE t_SystemProfile SET FValue = '0' WHERE FKey = 'SecUnit'");
  plugin->Show(automation::ObjectPtr(second));
  EXPECT_EQ(calls("AppConnection.GetAnyRecordset"), 2u);
  EXPECT_FALSE(support::systemProfile().SecUnit);
  EXPECT_EQ(first->unadvised, 1);
  EXPECT_FALSE(first->hasSinks());
  EXPECT_TRUE(second->hasSinks());
  EXPECT_EQ(plugin->state().m_BillInterface, second);
}

TEST_F(ClsMtoChangeTest, ListBindSetsItsSwitchAndLoadsNoProfile) {
  auto plugin = clsMTOChange::create();
  auto list = std::make_shared<Bindable>("ListEvents");
  plugin->Show(automation::ObjectPtr(list));
  ASSERT_EQ(list->puts.size(), 1u);
  EXPECT_EQ(list->puts[0].first, host::member::kListSwitch);
  EXPECT_EQ(list->puts[0].second, Variant(true));
  EXPECT_EQ(calls("AppConnection.GetAnyRecordset"), 0u);
}

TEST_F(ClsMtoChangeTest, TerminationReleasesBothBindings) {
  auto bill = std::make_shared<Bindable>("BillEvent");
  auto list = std::make_shared<Bindable>("ListEvents");
  {
    auto plugin = clsMTOChange::create();
    plugin->Show(automation::ObjectPtr(bill));
    plugin->Show(automation::ObjectPtr(list));
    EXPECT_EQ(plugin->state().m_BillInterface, bill);
    EXPECT_EQ(plugin->state().m_LstInterface, list);
  }
  EXPECT_FALSE(bill->hasSinks());
  EXPECT_FALSE(list->hasSinks());
  { auto unbound = clsMTOChange::create(); }  // quiet
}

TEST_F(ClsMtoChangeTest, EventsAfterTerminationReachNobody) {
  auto bill = std::make_shared<Bindable>("BillEvent");
  auto plugin = clsMTOChange::create();
  plugin->Show(automation::ObjectPtr(bill));
  plugin.reset();
  automation::Arg args[] = {Variant(true)};
  bill->raiseEvent("BeforeSave", args);  // no sink left: nothing happens
  EXPECT_FALSE(bill->hasSinks());
}

TEST_F(ClsMtoChangeTest, UnknownMembersAndBadArgumentsRaiseAutomationErrors) {
  automation::ObjectPtr plugin = clsMTOChange::create();
  EXPECT_EQ(plugin->typeName(), "clsMTOChange");
  try {
    automation::call(plugin, "Hide");
    FAIL();
  } catch (const automation::AutomationError& e) {
    EXPECT_EQ(e.number(), automation::errc::kMemberNotFound);
  }
  EXPECT_THROW(automation::call(plugin, "Show"), automation::AutomationError);
  EXPECT_THROW(automation::call(plugin, "InsertSepTool", 1, 2), automation::AutomationError);
}

TEST_F(ClsMtoChangeTest, TemplateToolStoreHandsOutCheckAndUnCheck) {
  auto form = support::frmBar();
  EXPECT_EQ(support::frmBar(), form) << "loaded once per thread";
  ASSERT_EQ(env().formFontCalls.size(), 1u);
  EXPECT_EQ(env().formFontCalls[0].first, "frmBar");
  EXPECT_EQ(env().formFontCalls[0].second, "en");
  auto tools = automation::get(automation::get(form, "abInstall"), "Tools");
  auto check = automation::get(tools, "", "Check");
  EXPECT_EQ(automation::get(check, "Caption"), Variant("审核(&C)"));
  EXPECT_EQ(automation::get(check, "Category"), Variant("Tools"));
  auto uncheck = automation::get(tools, "", "UnCheck");
  EXPECT_EQ(automation::get(uncheck, "Caption"), Variant("反审核(&U)"));
  EXPECT_EQ(automation::get(uncheck, "Category"), Variant("Menus"));
  EXPECT_THROW(automation::get(tools, "", "mnuFileNew"), automation::AutomationError);
}

}  // namespace
}  // namespace mto::core
