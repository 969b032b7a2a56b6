#include "bill/save_validation.h"

#include "automation/dates.h"
#include "bill/bill_events.h"
#include "common/sim_fixture.h"
#include "sim/components/collections.h"
#include "sim/db/demo_data.h"
#include "sim/editor/bill_editor.h"

namespace mto::bill {
namespace {

namespace demo = sim::demo;

class SaveValidationTest : public testing::SimTest {
 protected:
  SaveValidationTest() : editor_(sim::BillEditor::create(host().db())) { self_.m_BillInterface = editor_; }
  std::shared_ptr<sim::BillEditor> editor_;
  support::InstanceState self_;
};

TEST_F(SaveValidationTest, OnlyTheWarehouseLookUpIsFiltered) {
  for (const char* key : {"FStockID", "FItemID", "FStockId"}) {
    auto context = sim::Dictionary::create();
    context->set("FKey", key);
    m_BillInterface_BeginEdit(self_, context, 4, 1);
    bool filtered = std::string_view(key) == "FStockID";
    EXPECT_EQ(context->contains("FFilter"), filtered) << key;
    if (filtered) {
      EXPECT_EQ(context->at("FFilter"), automation::Variant("x2.FTypeID not in (501,502,503)"));
    }
  }
}

TEST_F(SaveValidationTest, CurrentPeriodComesFromTheListServerWithThePropertyString) {
  LoadCurrentPeriod();
  EXPECT_EQ(currentPeriod().year, demo::kCurrentYear);
  EXPECT_EQ(currentPeriod().period, demo::kCurrentPeriod);
  EXPECT_EQ(currentPeriod().first, automation::makeDate(demo::kCurrentYear, demo::kCurrentPeriod, 1));
  EXPECT_EQ(currentPeriod().last, automation::makeDate(demo::kCurrentYear, demo::kCurrentPeriod, 30));
  host().removeComponent("T8ListServer.clsListServer");
  EXPECT_THROW(LoadCurrentPeriod(), automation::AutomationError);
}

TEST_F(SaveValidationTest, AMissingBillDateNeverRefusesTheUnCheck) {
  automation::Variant send = true, cancel = false;
  automation::Arg sendArg = automation::Arg::byRef(send), cancelArg = automation::Arg::byRef(cancel);
  editor_->setCell("FDate", 0, automation::Variant::null());
  m_BillInterface_UnMultiCheck(self_, 1, 2, 1, 1, 1, 2, sendArg, cancelArg);
  EXPECT_EQ(cancel, automation::Variant(false));
  EXPECT_EQ(send, automation::Variant(true)) << "bSendMessage is left as the host passed it";
  editor_->setCell("FDate", 0, "2026-05-31");  // the day before the current period
  m_BillInterface_UnMultiCheck(self_, 1, 2, 1, 1, 1, 2, sendArg, cancelArg);
  EXPECT_EQ(cancel, automation::Variant(true));
}

}  // namespace
}  // namespace mto::bill
