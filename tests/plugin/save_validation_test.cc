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

TEST_F(SaveValidationTest, TheBillDateComparesByDayAtBothEndsOfTheDateRange) {
  struct Case {
    const char* periodStart;
    automation::Date billDate;
    bool refused;
  };
  using automation::makeDate;
  // Before 1899-12-30 a serial's fraction counts forward into its day: 0100-01-01 12:00 lies
  // within 0100-01-01, not on the day before it.
  const Case cases[] = {
      {"0100-01-01", makeDate(100, 1, 1, 12, 0, 0), false},
      {"0100-01-01", makeDate(100, 1, 1), false},
      {"1899-12-29", makeDate(1899, 12, 29, 23, 59, 59), false},
      {"1899-12-29", makeDate(1899, 12, 28, 23, 0, 0), true},
      {"1899-12-30", makeDate(1899, 12, 29, 12, 0, 0), true},
      {"9999-12-31", makeDate(9999, 12, 31, 23, 59, 59), false},
      {"9999-12-31", makeDate(9999, 12, 30, 23, 59, 59), true},
  };
  for (const auto& c : cases) {
    host().db().query(std::string("UPDATE t_FiscalPeriod SET FStartDate='") + c.periodStart + "'");
    editor_->setCell("FDate", 0, c.billDate);
    EXPECT_EQ(billDateBeforeCurrentPeriod(editor_), c.refused)
        << c.periodStart << " against " << automation::describe(automation::Variant(c.billDate));
  }
}

}  // namespace
}  // namespace mto::bill
