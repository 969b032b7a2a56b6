#include "sim/components/action_components.h"

#include "automation/platform.h"
#include "common/sim_fixture.h"
#include "host/collections.h"

namespace mto::sim {
namespace {

using automation::call;
using automation::createObject;
using automation::Variant;

class ActionComponentsTest : public testing::SimTest {};

TEST_F(ActionComponentsTest, StockStatusWindowRecordsItsFilter) {
  auto window = createObject("T8StockStatus.SSFace");
  call(window, "ShowByBill", "t1.FItemID IN(12,12)");
  call(createObject("T8StockStatus.SSFace"), "Show");
  ASSERT_EQ(env().hostActions.size(), 2u);
  EXPECT_EQ(env().hostActions[0].call, "ShowByBill");
  EXPECT_EQ(env().hostActions[0].detail, "t1.FItemID IN(12,12)");
  EXPECT_EQ(env().hostActions[1].call, "Show");
}

TEST_F(ActionComponentsTest, ActionRunnerRecordsTheActionItsParametersAndWhatWasSetBefore) {
  auto runner = createObject("T8WEXSerRunAction.clsDoAction");
  auto parameters = host::DictionaryRef::create();
  parameters.setItem("Index", 0);
  parameters.setItem("NewRow", 2);
  call(runner, "DoAction", "WEXSer_GetStockQtyAndSecurityQty", parameters.object(),
       host::DictionaryRef::create().object());
  auto bill = host::DictionaryRef::create();  // any object stands for the bill here
  call(runner, "SetInterface", Variant(bill.object()));
  automation::putRef(runner, "DataSrv", Variant(bill.object()));
  call(runner, "DoAction", "Batch_F7Action", parameters.object(), host::DictionaryRef::create().object());
  ASSERT_EQ(env().hostActions.size(), 2u);
  EXPECT_EQ(env().hostActions[0].detail, "WEXSer_GetStockQtyAndSecurityQty");
  EXPECT_EQ(env().hostActions[0].parameterKeys, (std::vector<std::string>{"Index", "NewRow"}));
  ASSERT_EQ(env().hostActions[0].parameterValues.size(), 2u);
  EXPECT_EQ(env().hostActions[0].parameterValues[1].longValue(), 2) << "values follow their keys";
  EXPECT_FALSE(env().hostActions[0].interfaceSet);
  EXPECT_TRUE(env().hostActions[1].interfaceSet);
  EXPECT_TRUE(env().hostActions[1].dataSrvSet);
  EXPECT_EQ(env().hostActions[1].component, "T8WEXSerRunAction.clsDoAction");
}

TEST_F(ActionComponentsTest, MissingComponentsCannotBeCreated) {
  host().removeComponent("D8OduruverRunAction.clsDoAction");
  EXPECT_THROW(createObject("D8OduruverRunAction.clsDoAction"), automation::AutomationError);
}

}  // namespace
}  // namespace mto::sim
