#include "support/system_profile.h"

#include "common/sim_fixture.h"

namespace mto::support {
namespace {

class SystemProfileTest : public testing::SimTest {
 protected:
  void setIc(const char* key, const char* value) {
    host().db().execute(
        std::string("INSERT OR REPLACE INTO t_SystemProfile (FCateGory, FKey, FValue) VALUES ('IC', '") +
        key + "', " + value + ")");
  }
  void dropIc(const char* key) {
    host().db().execute(std::string("DELETE FROM t_SystemProfile WHERE FCateGory = 'IC' AND FKey = '") + key +
                        "'");
  }
  void setArp(const char* key, const char* value) {
    host().db().execute(
        std::string("INSERT OR REPLACE INTO t_RP_SystemProfile (FCateGory, FKey, FValue) VALUES "
                    "('ARP', '") +
        key + "', " + value + ")");
  }
};

TEST_F(SystemProfileTest, StatementIsSevenLinesJoinedByCrLf) {
  const std::string& s = systemProfileStatement();
  EXPECT_EQ(std::count(s.begin(), s.end(), '\n'), 6);
  EXPECT_NE(s.find("UNION ALL \r\nSELECT FValue, FCateGory, FKey FROM t_SystemProfile \r\nWHERE"),
            std::string::npos);
  EXPECT_NE(s.find("FKey  IN ('IsUsePurPrcMgr'"), std::string::npos);
  EXPECT_TRUE(s.ends_with("WHERE FCategory = 'LowPrcCtrl' AND FKey='CtrlTime'"));
}

TEST_F(SystemProfileTest, DemoProfileLoadsEveryOption) {
  LoadSystemProfile();
  EXPECT_TRUE(env().messages.empty());
  const SystemProfile& p = systemProfile();
  EXPECT_TRUE(p.SecUnit);
  EXPECT_TRUE(p.DoubleUnit);
  EXPECT_TRUE(p.EnableMtoPlanMode);
  EXPECT_EQ(p.PrecisionOfDiscountRate, 6);
  EXPECT_EQ(p.DiscountRatePrecision, 6);
  EXPECT_TRUE(p.DisCountIncludeTax);
  EXPECT_EQ(calls("clsListServer.GetCurPeriod"), 1u);
}

TEST_F(SystemProfileTest, MissingRowsTakeTheirStartValues) {
  dropIc("SecUnit");
  dropIc("DoubleUnit");
  LoadSystemProfile();
  EXPECT_FALSE(systemProfile().SecUnit);
  EXPECT_TRUE(systemProfile().DoubleUnit);
}

TEST_F(SystemProfileTest, DoubleUnitFollowsItsNumber) {
  for (auto [value, expected] :
       {std::pair{"'0'", false}, {"'1'", true}, {"'-1'", true}, {"'False'", false}}) {
    setIc("DoubleUnit", value);
    LoadSystemProfile();
    EXPECT_EQ(systemProfile().DoubleUnit, expected) << value;
  }
}

TEST_F(SystemProfileTest, UnconvertibleValueEndsTheLoadThroughShowError) {
  setIc("PurHPriceZero", "'abc'");
  LoadSystemProfile();
  ASSERT_EQ(env().messages.size(), 1u);
  ASSERT_TRUE(env().messages[0].error);
  EXPECT_EQ(env().messages[0].error->number, 13);
  EXPECT_FALSE(systemProfile().SecUnit) << "rows after the failing one are not read";
  EXPECT_TRUE(systemProfile().DoubleUnit);
  EXPECT_EQ(calls("clsListServer.GetCurPeriod"), 0u);
  EXPECT_EQ(automation::err().number, 0);
}

TEST_F(SystemProfileTest, NullValueIsAConversionErrorEvenForText) {
  setIc("PurHPricePSW", "NULL");
  LoadSystemProfile();
  ASSERT_EQ(env().messages.size(), 1u);
  EXPECT_EQ(env().messages[0].error->number, 94);
}

TEST_F(SystemProfileTest, LeadingNumberOptionsNeverFail) {
  setIc("PurTaxRateOption", "'x'");
  setIc("SaleTaxRateOption", "'2.5 percent'");
  LoadSystemProfile();
  EXPECT_TRUE(env().messages.empty());
  EXPECT_EQ(systemProfile().PurTaxRateOption, 0);
  EXPECT_EQ(systemProfile().SaleTaxRateOption, 2);
}

TEST_F(SystemProfileTest, CheckAccountIsReadOnlyAfterFinishedInitialisation) {
  setArp("FCheckAccount", "'1'");
  setArp("FFinishInitAP", "'0'");
  setArp("FFinishInitAR", "'0'");
  LoadSystemProfile();
  EXPECT_FALSE(systemProfile().FCheckAccount);
  setArp("FFinishInitAR", "'1'");
  LoadSystemProfile();
  EXPECT_TRUE(systemProfile().FCheckAccount);
  EXPECT_FALSE(systemProfile().FFinishInitAP);
}

TEST_F(SystemProfileTest, FailingPeriodQueryShowsTheTwoLineMessageAfterLoading) {
  failMember("clsListServer.GetCurPeriod");
  LoadSystemProfile();
  ASSERT_EQ(env().messages.size(), 1u);
  EXPECT_EQ(env().messages[0].kind, sim::MessageRecord::Kind::Message);
  EXPECT_NE(env().messages[0].text.find("\r\n"), std::string::npos);
  EXPECT_TRUE(systemProfile().SecUnit) << "all options are loaded by then";
}

TEST_F(SystemProfileTest, MissingConnectionIsReported) {
  host().removeComponent("T8Connection.AppConnection");
  LoadSystemProfile();
  ASSERT_EQ(env().messages.size(), 1u);
  EXPECT_EQ(env().messages[0].error->number, automation::errc::kCannotCreateObject);
}

}  // namespace
}  // namespace mto::support
