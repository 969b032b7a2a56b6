#include "sim/components/connection.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "automation/dates.h"
#include "host/contract.h"
#include "sim/components/list_server.h"

namespace mto::sim {
namespace {

using automation::AutomationError;
using automation::makeDate;

/// The plug-in's system-profile statement, line for line as it sends it.
std::string systemProfileStatement() {
  const char* lines[] = {
      "SELECT FValue, FCateGory, FKey FROM t_RP_SystemProfile WHERE FKey IN ('FCheckAccount', "
      "'FFinishInitAP', 'FFinishInitAR')",
      "UNION ALL ",
      "SELECT FValue, FCateGory, FKey FROM t_SystemProfile ",
      "WHERE FCateGory = 'IC' AND FKey  IN "
      "('IsUsePurPrcMgr','PrecisionOfDiscountRate','ISUsePriceManage','SecUnit','PurHPriceControl','"
      "PurHPricePSW','PurHPriceZero','PurHPriceContrlPoint','ApplyMapInPurchase','ApplyMapInSale','"
      "PurTaxRateOption','POOrderTaxInPrice','CQtyLargerSEQty','SaveBeforePrint','SEOrderTaxInPrice','"
      "SaleTaxRateOption','AlertHighPriceWhenCheck','AllowPurchase','BillStatus','IsOkToModAfterClose','"
      "EditSelfBill','DoubleUnit','EnableMtoPlanMode','PrecisionOfDiscountRate','BillDiscount','"
      "DisCountIncludeTax','StrictAccordRequest','CalCostByBatch')",
      "UNION ALL ",
      "SELECT FValue, FCateGory, FKey FROM ICPrcOpt ",
      "WHERE FCategory = 'LowPrcCtrl' AND FKey='CtrlTime'",
  };
  std::string sql;
  for (const char* line : lines) sql += (sql.empty() ? "" : "\r\n") + std::string(line);
  return sql;
}

/// The option rows' filter texts in load order (the same key twice for the two precision fields).
std::vector<std::string> optionFilters() {
  const char* ic[] = {"BillDiscount", "PrecisionOfDiscountRate", "EnableMtoPlanMode",   "PurHPriceControl",
                      "PurHPricePSW", "PurHPriceZero",           "PurHPriceContrlPoint"};
  const char* ic2[] = {"IsUsePurPrcMgr",
                       "PrecisionOfDiscountRate",
                       "SecUnit",
                       "ApplyMapInPurchase",
                       "ApplyMapInSale",
                       "PurTaxRateOption",
                       "POOrderTaxInPrice",
                       "CQtyLargerSEQty",
                       "SaveBeforePrint",
                       "SaleTaxRateOption",
                       "SEOrderTaxInPrice",
                       "AlertHighPriceWhenCheck",
                       "BillStatus",
                       "AllowPurchase",
                       "IsOkToModAfterClose",
                       "EditSelfBill",
                       "DoubleUnit",
                       "ISUsePriceManage",
                       "DisCountIncludeTax"};
  auto spaced = [](const std::string& key, const std::string& category) {
    return " FKey='" + key + "' AND FCateGory = '" + category + "'";
  };
  std::vector<std::string> filters;
  for (const char* key : ic) filters.push_back(spaced(key, "IC"));
  for (const char* key : {"FFinishInitAP", "FFinishInitAR", "FCheckAccount"})
    filters.push_back(spaced(key, "ARP"));
  for (const char* key : ic2) filters.push_back(spaced(key, "IC"));
  filters.push_back(spaced("CtrlTime", "LowPrcCtrl"));
  filters.push_back("FKey='StrictAccordRequest' AND FCateGory='IC'");
  filters.push_back("FKey='CalCostByBatch' AND FCateGory='IC'");
  return filters;
}

class DataComponentsTest : public ::testing::Test {
 protected:
  DataComponentsTest() : db_(Database::openInMemory()) { registerDataComponents(platform_, *db_); }
  ObjectPtr connection() { return platform_.createObject(host::progid::kConnection); }
  ObjectPtr listServer() { return platform_.createObject(host::progid::kListServer); }

  std::unique_ptr<Database> db_;
  automation::RegistryPlatform platform_;
};

TEST_F(DataComponentsTest, SystemProfileStatementFindsEveryOption) {
  ObjectPtr conn = connection();
  EXPECT_EQ(conn->typeName(), "AppConnection");
  Variant rs = call(conn, "GetAnyRecordset", systemProfileStatement());
  EXPECT_EQ(typeNameOf(rs), "Recordset");
  // 3 receivables rows, 27 distinct inventory keys, 1 low-price row; the other seeded rows stay out.
  EXPECT_EQ(get(rs, "RecordCount"), Variant(int32_t{31}));

  auto filters = optionFilters();
  ASSERT_EQ(filters.size(), 32u);
  for (const auto& filter : filters) {
    put(rs, "Filter", filter);
    EXPECT_EQ(get(rs, "EOF"), Variant(false)) << filter;
    EXPECT_EQ(get(rs, "RecordCount"), Variant(int32_t{1})) << filter;
    EXPECT_TRUE(get(get(rs, "Fields", "FValue"), "Value").isString()) << filter;
  }
  put(rs, "Filter", " FKey='SecUnit' AND FCateGory = 'IC'");
  EXPECT_EQ(get(get(rs, "", "FValue"), "Value"), Variant("1"));
  EXPECT_EQ(get(get(rs, "Fields", int32_t{1}), "Value"), Variant("IC"));
}

TEST_F(DataComponentsTest, ExecuteReturnsRowsOnlyForQueries) {
  ObjectPtr conn = connection();
  Variant none = call(conn, "Execute", "INSERT INTO t_SystemProfile VALUES ('IC', 'X', NULL)");
  ASSERT_TRUE(none.isObject());
  EXPECT_FALSE(none.objectValue());

  Variant rs = call(conn, "Execute", "SELECT FValue FROM t_SystemProfile WHERE FKey = 'X'");
  EXPECT_TRUE(get(get(rs, "", "FValue"), "Value").isNull());
  Variant empty = call(conn, "Execute", "SELECT FValue FROM t_SystemProfile WHERE FKey = 'nothing'");
  EXPECT_EQ(get(empty, "EOF"), Variant(true));

  // Several statements: the last query's rows.
  Variant last = call(conn, "GetAnyRecordset",
                      "UPDATE t_SystemProfile SET FValue = 'y' WHERE FKey = 'X'; "
                      "SELECT FValue FROM t_SystemProfile WHERE FKey = 'X';");
  EXPECT_EQ(get(get(last, "", int32_t{0}), "Value"), Variant("y"));
  // A statement without rows still gives GetAnyRecordset a record set, with nothing in it.
  Variant bare = call(conn, "GetAnyRecordset", "DELETE FROM t_SystemProfile WHERE FKey = 'X'");
  EXPECT_EQ(get(bare, "EOF"), Variant(true));
  EXPECT_EQ(get(get(bare, "Fields"), "Count"), Variant(int32_t{0}));
}

TEST_F(DataComponentsTest, SqlErrorsAreAutomationErrors) {
  ObjectPtr conn = connection();
  for (const char* member : {"GetAnyRecordset", "Execute"}) {
    try {
      call(conn, member, "SELECT FValue FROM t_NoSuchTable");
      ADD_FAILURE() << member;
    } catch (const AutomationError& e) {
      EXPECT_EQ(e.number(), kSqlError);
      EXPECT_EQ(e.info().source, host::progid::kConnection);
      EXPECT_NE(e.info().description.find("no such table: t_NoSuchTable"), std::string::npos);
      EXPECT_NE(e.info().description.find("SELECT FValue FROM t_NoSuchTable"), std::string::npos);
    }
  }
  EXPECT_THROW(call(conn, "GetAnyRecordset"), AutomationError);
}

TEST_F(DataComponentsTest, GetCurPeriodFillsTheFourVariables) {
  ObjectPtr server = listServer();
  EXPECT_EQ(server->typeName(), "clsListServer");
  Variant year, period, start, end;
  call(server, "GetCurPeriod", "UserID=16394;LANGUAGE=en;", byRef(year), byRef(period), byRef(start),
       byRef(end));
  EXPECT_EQ(year, Variant(int32_t{2026}));
  EXPECT_EQ(period, Variant(int32_t{6}));
  EXPECT_EQ(start, Variant(makeDate(2026, 6, 1)));
  EXPECT_EQ(end, Variant(makeDate(2026, 6, 30)));

  db_->setCurrentPeriod(2027, 2);
  call(server, "GetCurPeriod", byRef(year), byRef(period), byRef(start), byRef(end));
  EXPECT_EQ(year, Variant(int32_t{2027}));
  EXPECT_EQ(end, Variant(makeDate(2027, 2, 28)));

  EXPECT_THROW(call(server, "GetCurPeriod", byRef(year)), AutomationError);
}

TEST_F(DataComponentsTest, GetCurPeriodWithoutCurrentPeriodRaisesAndLeavesTheVariables) {
  for (const char* breakIt :
       {"DELETE FROM t_SystemProfile WHERE FKey = 'CurrentPeriod'",
        "UPDATE t_SystemProfile SET FValue = '2031' WHERE FCateGory = 'IC' AND FKey = 'CurrentYear'",
        "DELETE FROM t_FiscalPeriod"}) {
    auto db = Database::openInMemory();
    db->execute(breakIt);
    ListServer server(*db);
    Variant year, period, start, end;
    Arg args[] = {Arg("props"), byRef(year), byRef(period), byRef(start), byRef(end)};
    try {
      server.invoke("GetCurPeriod", CallKind::Method, args);
      ADD_FAILURE() << breakIt;
    } catch (const AutomationError& e) {
      EXPECT_EQ(e.number(), kNoCurrentPeriod) << breakIt;
      EXPECT_NE(e.info().description.find("No current accounting period"), std::string::npos);
    }
    EXPECT_TRUE(year.isEmpty());
    EXPECT_TRUE(start.isEmpty());
  }
}

}  // namespace
}  // namespace mto::sim
