#include "sim/db/database.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "sim/db/demo_data.h"
#include "sim/db/sql_error.h"
#include "sim/db/transaction.h"

namespace mto::sim {
namespace {

using automation::AutomationError;
using automation::Variant;

/// The rows of a query that must yield columns.
std::vector<QueryResult::Row> rowsOf(Database& db, std::string_view sql) {
  auto result = db.query(sql);
  if (!result) ADD_FAILURE() << "no result columns: " << sql;
  return result ? result->rows : std::vector<QueryResult::Row>{};
}

TEST(Database, InMemoryHasTheSeedAndHelpers) {
  auto db = Database::openInMemory();
  EXPECT_TRUE(db->wasSeeded());

  auto period = db->currentPeriod();
  ASSERT_TRUE(period);
  EXPECT_EQ(*period, (FiscalPeriod{2026, 6, "2026-06-01", "2026-06-30"}));
  EXPECT_EQ(rowsOf(*db, "SELECT COUNT(*), MIN(FStartDate), MAX(FEndDate) FROM t_FiscalPeriod"),
            (std::vector<QueryResult::Row>{{int32_t{24}, "2026-01-01", "2027-12-31"}}));

  db->setCurrentPeriod(2027, 2);
  EXPECT_EQ(db->currentPeriod(), (FiscalPeriod{2027, 2, "2027-02-01", "2027-02-28"}));
  db->setCurrentPeriod(2030, 1);
  EXPECT_FALSE(db->currentPeriod());

  EXPECT_EQ(db->resourceText("读取系统参数失败！", "en"), "Failed to read the system parameters!");
  EXPECT_EQ(db->resourceText("单据日期不能小于当前期间,请重新输入。", "en"),
            "The bill date cannot be earlier than the current period, please enter it again.");
  EXPECT_FALSE(db->resourceText("读取系统参数失败!", "en"));  // ASCII "!" is another key
  EXPECT_FALSE(db->resourceText("复制", "fr"));

  EXPECT_TRUE(db->isAllowed(demo::kAdministrator, 1088, 54, 33554432));
  EXPECT_FALSE(db->isAllowed(demo::kStockClerk, 1088, 54, 33554432));
  EXPECT_FALSE(db->isAllowed(99999, 1088, 54, 33554432));

  db->execute("INSERT INTO t_AccessRight VALUES (99999, 1088, 54, 33554432, 1)");
  EXPECT_TRUE(db->isAllowed(99999, 1088, 54, 33554432));
}

TEST(DatabaseQuery, TypesEachValueByItsStorageClass) {
  auto db = Database::openInMemory();
  auto result = db->query(
      "SELECT NULL AS n, 42 AS small, -2147483648 AS lowest, 2147483648 AS big, 2.5 AS real, 'text' AS t, "
      "x'414243' AS b");
  ASSERT_TRUE(result);
  EXPECT_EQ(result->columns, (std::vector<std::string>{"n", "small", "lowest", "big", "real", "t", "b"}));
  ASSERT_EQ(result->rows.size(), 1u);
  const auto& row = result->rows[0];
  EXPECT_TRUE(row[0].isNull());
  EXPECT_EQ(row[1], Variant(int32_t{42}));
  EXPECT_EQ(row[2], Variant(int32_t{-2147483647 - 1}));
  EXPECT_EQ(row[3], Variant(2147483648.0));
  EXPECT_EQ(row[4], Variant(2.5));
  EXPECT_EQ(row[5], Variant("text"));
  EXPECT_EQ(row[6], Variant("ABC"));
}

TEST(DatabaseQuery, RunsEveryStatementAndKeepsTheLastResultWithColumns) {
  auto db = Database::openInMemory();
  // The last statement with columns wins even when it finds nothing; later writes still run.
  auto result = db->query(
      "CREATE TEMP TABLE q (a);\r\nINSERT INTO q VALUES (1);\r\nSELECT a FROM q;\r\n"
      "SELECT a AS other FROM q WHERE a = 2;\r\nINSERT INTO q VALUES (3)");
  ASSERT_TRUE(result);
  EXPECT_EQ(result->columns, std::vector<std::string>{"other"});
  EXPECT_TRUE(result->rows.empty());
  EXPECT_EQ(rowsOf(*db, "SELECT COUNT(*) FROM q"), (std::vector<QueryResult::Row>{{int32_t{2}}}));

  EXPECT_FALSE(db->query("DELETE FROM q WHERE a = 1"));
  EXPECT_FALSE(db->query("  -- nothing\r\n;"));

  // A failure stops at the failing statement and keeps what ran before it.
  EXPECT_THROW(db->query("INSERT INTO q VALUES (4); SELECT nope FROM q; INSERT INTO q VALUES (5)"),
               sqlite::Error);
  EXPECT_EQ(rowsOf(*db, "SELECT a FROM q ORDER BY a"),
            (std::vector<QueryResult::Row>{{int32_t{3}}, {int32_t{4}}}));
}

TEST(SqlError, KeepsNumberDescriptionAndSource) {
  sqlite::Error failure(1, "no such table: t_X", "SELECT 1 FROM t_X");
  try {
    raiseSqlError(failure, "T8Connection.AppConnection", "SELECT 1\r\nFROM t_X");
    ADD_FAILURE() << "no error";
  } catch (const AutomationError& e) {
    EXPECT_EQ(e.info().number, kSqlError);
    EXPECT_EQ(e.info().description, "SQL error: no such table: t_X\r\nSQL: SELECT 1\r\nFROM t_X");
    EXPECT_EQ(e.info().source, "T8Connection.AppConnection");
  }
  // Without a text the description is SQLite's message alone, whatever the error carries.
  try {
    reportSqlErrors("T8ListServer.clsListServer", {}, [&]() -> int { throw failure; });
    ADD_FAILURE() << "no error";
  } catch (const AutomationError& e) {
    EXPECT_EQ(e.info().number, kSqlError);
    EXPECT_EQ(e.info().description, "SQL error: no such table: t_X");
    EXPECT_EQ(e.info().source, "T8ListServer.clsListServer");
  }
  // Results pass through; other errors are not the database's and stay as they are.
  EXPECT_EQ(reportSqlErrors("S", "SQL", [] { return 7; }), 7);
  EXPECT_THROW(reportSqlErrors("S", "SQL", []() -> int { throw std::out_of_range("x"); }), std::out_of_range);
  try {
    reportSqlErrors("S", "SQL", []() -> int { automation::raiseError(5, "own", "Own"); });
  } catch (const AutomationError& e) {
    EXPECT_EQ(e.info().source, "Own");
  }
}

TEST(Transaction, RollsBackUnlessCommitted) {
  auto db = Database::openInMemory();
  db->execute("CREATE TABLE tx (a)");
  try {
    Transaction transaction(*db);
    db->execute("INSERT INTO tx VALUES (1)");
    throw std::runtime_error("after the write");
  } catch (const std::runtime_error&) {
  }
  EXPECT_EQ(rowsOf(*db, "SELECT COUNT(*) FROM tx"), (std::vector<QueryResult::Row>{{int32_t{0}}}));

  {
    Transaction transaction(*db);
    db->execute("INSERT INTO tx VALUES (2)");
    EXPECT_THROW(Transaction nested(*db), sqlite::Error);  // transactions do not nest
    transaction.commit();
  }
  EXPECT_EQ(rowsOf(*db, "SELECT a FROM tx"), (std::vector<QueryResult::Row>{{int32_t{2}}}));
  // Once the guard is gone the database takes a new transaction.
  EXPECT_NO_THROW(Transaction again(*db));
}

TEST(DatabaseSetup, ProfileAndAccessRowsBindTheirValues) {
  auto db = Database::openInMemory();
  const std::string quoted = "it's \"quoted\"; DROP TABLE t_SystemProfile; --";
  db->putProfileRow(ProfileTable::SystemProfile, "IC", "O'Key", quoted);
  db->putProfileRow(ProfileTable::PriceOptions, "Low'Prc", "CtrlTime", std::nullopt);
  db->putProfileRow(ProfileTable::RpSystemProfile, "ARP", "FCheckAccount", "1");
  db->putProfileRow(ProfileTable::RpSystemProfile, "ARP", "FCheckAccount", "0");  // replaces

  EXPECT_EQ(rowsOf(*db, "SELECT FValue FROM t_SystemProfile WHERE FCateGory = 'IC' AND FKey = 'O''Key'"),
            (std::vector<QueryResult::Row>{{quoted}}));
  auto priceOption = rowsOf(*db, "SELECT FValue FROM ICPrcOpt WHERE FCategory = 'Low''Prc'");
  ASSERT_EQ(priceOption.size(), 1u);
  EXPECT_TRUE(priceOption[0][0].isNull());
  EXPECT_EQ(rowsOf(*db, "SELECT FValue FROM t_RP_SystemProfile WHERE FKey = 'FCheckAccount'"),
            (std::vector<QueryResult::Row>{{"0"}}));

  db->removeProfileRow(ProfileTable::SystemProfile, "IC", "O'Key");
  db->removeProfileRow(ProfileTable::SystemProfile, "IC", "NoSuchKey");
  EXPECT_TRUE(rowsOf(*db, "SELECT 1 FROM t_SystemProfile WHERE FKey = 'O''Key'").empty());

  EXPECT_EQ(profileTableNamed("ICPrcOpt"), ProfileTable::PriceOptions);
  EXPECT_EQ(profileTableNamed("t_RP_SystemProfile"), ProfileTable::RpSystemProfile);
  EXPECT_FALSE(profileTableNamed("t_systemprofile"));

  db->putAccessRight(99999, 1088, 54, 33554432, true);
  EXPECT_TRUE(db->isAllowed(99999, 1088, 54, 33554432));
  db->putAccessRight(99999, 1088, 54, 33554432, false);
  EXPECT_FALSE(db->isAllowed(99999, 1088, 54, 33554432));
}

TEST(DatabaseFindRecord, QuotesNamesAndReportsFailuresWithTheStatement) {
  auto db = Database::openInMemory();
  db->execute(R"(CREATE TABLE "odd ""table""" ("the id" TEXT, FName TEXT, FQty REAL))");
  db->execute(R"(INSERT INTO "odd ""table""" VALUES ('a''1', 'first', 1.5), ('a''1', 'second', 2))");

  auto found = db->findRecord("odd \"table\"", "the id", SqlValue{std::string("a'1")}, "BillEvent");
  ASSERT_TRUE(found);
  EXPECT_EQ(*found, (Record{{"the id", "a'1"}, {"FName", "first"}, {"FQty", 1.5}}));
  EXPECT_FALSE(db->findRecord("odd \"table\"", "the id", SqlValue{int64_t{1}}, "BillEvent"));

  try {
    db->findRecord("t_NoSuch\"Table", "FItemID", SqlValue{int64_t{1}}, "BillEvent");
    ADD_FAILURE() << "no error";
  } catch (const AutomationError& e) {
    EXPECT_EQ(e.info().number, kSqlError);
    EXPECT_EQ(e.info().source, "BillEvent");
    EXPECT_EQ(e.info().description,
              "SQL error: no such table: t_NoSuch\"Table\r\nSQL: SELECT * FROM \"t_NoSuch\"\"Table\" WHERE "
              "\"FItemID\" = ?1");
  }
}

TEST(DatabaseStock, StockStatusBindsEveryValueAndListsInTheWindowsOrder) {
  auto db = Database::openInMemory();
  using Condition = StockStatusQuery::Condition;
  // A text that would widen the statement if pasted finds nothing, and the table stays intact.
  EXPECT_TRUE(db->stockStatus({{Condition{StockColumn::MtoNo, {std::string("' OR 1=1 --")}}}}).empty());
  db->execute("INSERT INTO t_ICInventory (FItemID, FStockID, FMTONo, FQty) VALUES (12, 31, 'O''Hara', 3)");
  auto quoted = db->stockStatus({{Condition{StockColumn::MtoNo, {std::string("O'Hara")}}}});
  ASSERT_EQ(quoted.size(), 1u);
  EXPECT_EQ(quoted[0].placeNumber, "") << "a row without a place";

  // Rows of zero quantity are not listed; the rest by material, warehouse and place number.
  db->execute("INSERT INTO t_ICInventory (FItemID, FStockID, FSPID, FQty) VALUES (13, 32, 44, 0)");
  auto rows = db->stockStatus({{Condition{StockColumn::ItemId, {int64_t{13}}},
                                Condition{StockColumn::StockId, {int64_t{31}, int64_t{32}}}}});
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].batchNo, "AL-2611");
  EXPECT_EQ(rows[1].mtoNo, "MTO-2026-001");
  EXPECT_EQ(rows[2].mtoNo, "MTO-2026-002");
  EXPECT_EQ(rows[2].unitName, "m");
  EXPECT_EQ(rows[2].stockName, "Raw material warehouse");
}

TEST(DatabaseStock, BatchesComeFirstToExpireFirstAndSafetyStockIsSeeded) {
  auto db = Database::openInMemory();
  db->execute(
      R"sql(INSERT INTO t_ICInventory (FItemID, FStockID, FSPID, FBatchNo, FMTONo, FKFDate, FKFPeriod, FQty)
    VALUES (15, 32, 44, 'EP-2501', 'MTO-2026-001', '', 0, 5),
           (15, 32, 44, 'EP-2610', 'MTO-2026-001', '2026-10-01', 180, 3),
           (15, 32, 44, 'EP-2600', 'MTO-2026-001', '2026-01-01', 180, 0))sql");
  std::vector<std::string> order;
  for (const auto& b : db->batchesInStock({15, {}, {}, std::string("MTO-2026-001"), {}}))
    order.push_back(b.batchNo + "@" + b.expiryDate);
  EXPECT_EQ(order, (std::vector<std::string>{"EP-2610@2027-03-30", "EP-2611@2027-04-30", "EP-2612@2027-05-30",
                                             "EP-2501@"}))
      << "no shelf life last; an empty batch not at all";
  EXPECT_EQ(db->batchesInStock({15, int64_t{31}, {}, std::string("MTO-2026-001"), {}}).front().batchNo,
            "EP-2611");
  EXPECT_TRUE(db->batchesInStock({12, {}, {}, {}, {}}).empty()) << "stock without batches";

  EXPECT_EQ(db->safetyStock(12), 200);
  EXPECT_EQ(db->safetyStock(15), 0);
  EXPECT_EQ(db->safetyStock(999), std::nullopt);
}

TEST(DatabaseMtoChange, StoresHeadAndNumberedEntries) {
  auto db = Database::openInMemory();
  std::vector<SqlValue> head(kMtoChangeHeadColumns.size());
  head[0] = std::string("MTO'1");
  std::vector<SqlValue> entry(kMtoChangeEntryColumns.size());
  entry[0] = int64_t{14};
  entry[11] = 2.5;
  std::vector<std::vector<SqlValue>> entries = {entry, entry};

  std::vector<SqlValue> shortHead(head.begin(), head.end() - 1);
  EXPECT_THROW(db->insertMtoChange(shortHead, entries), std::invalid_argument);
  std::vector<std::vector<SqlValue>> shortEntry = {entry, std::vector<SqlValue>(3)};
  EXPECT_THROW(db->insertMtoChange(head, shortEntry), std::invalid_argument);
  EXPECT_EQ(rowsOf(*db, "SELECT COUNT(*) FROM t_MTOChange"), (std::vector<QueryResult::Row>{{int32_t{0}}}));

  int64_t id = db->insertMtoChange(head, entries);
  EXPECT_EQ(rowsOf(*db, "SELECT FInterID, FBillNo, FDate FROM t_MTOChange"),
            (std::vector<QueryResult::Row>{{static_cast<int32_t>(id), "MTO'1", Variant::null()}}));
  EXPECT_EQ(rowsOf(*db, "SELECT FInterID, FEntryID, FItemID, FQty FROM t_MTOChangeEntry ORDER BY FEntryID"),
            (std::vector<QueryResult::Row>{{static_cast<int32_t>(id), int32_t{1}, int32_t{14}, 2.5},
                                           {static_cast<int32_t>(id), int32_t{2}, int32_t{14}, 2.5}}));
}

/// An entry of `insertMtoChange` with a material, a warehouse and the tracking numbers set.
std::vector<SqlValue> listEntry(int64_t itemId, int64_t stockId, double qty, double changeQty) {
  std::vector<SqlValue> entry(kMtoChangeEntryColumns.size());
  entry[0] = itemId;                        // FItemID
  entry[3] = stockId;                       // FStockID
  entry[9] = std::string("MTO-2026-001");   // FFromMTONo
  entry[10] = std::string("MTO-2026-010");  // FToMTONo
  entry[11] = qty;                          // FQty
  entry[14] = changeQty;                    // FChangeQty
  return entry;
}

std::vector<SqlValue> listHead(const std::string& billNo) {
  std::vector<SqlValue> head(kMtoChangeHeadColumns.size());
  head[0] = billNo;
  head[1] = std::string("2026-12-06");
  head[2] = int64_t{0};
  return head;
}

TEST(DatabaseMtoChange, ListRowsJoinMaterialAndWarehouseOneRowPerEntryByBillAndEntry) {
  auto db = Database::openInMemory();
  std::vector<std::vector<SqlValue>> first = {listEntry(demo::kLubricatingOil, 31, 800, 200),
                                              listEntry(99, 99, 1, 1)};
  int64_t one = db->insertMtoChange(listHead("MTO-A"), first);
  std::vector<std::vector<SqlValue>> second = {listEntry(demo::kHexBolt, 32, 2400, 240)};
  int64_t two = db->insertMtoChange(listHead("MTO-B"), second);
  db->insertMtoChange(listHead("MTO-EMPTY"), {});
  // Written after the second bill, listed with the first: the order is the bill's, not the table's.
  db->execute("INSERT INTO t_MTOChangeEntry (FInterID, FEntryID, FItemID, FStockID) VALUES (" +
              std::to_string(one) + ", 3, 12, 31)");

  QueryResult list = db->mtoChangeListRows();
  EXPECT_EQ(list.columns,
            (std::vector<std::string>{"FInterID", "FEntryID", "FBillNo", "FDate", "FStatus", "FItemID",
                                      "FItemNumber", "FItemName", "FStockID", "FStockName", "FFromMTONo",
                                      "FToMTONo", "FQty", "FChangeQty", "FSecCoefficient",
                                      "FItemID_FQtyDecimal"}));
  ASSERT_EQ(list.rows.size(), 4u);
  auto id = [](int64_t v) { return Variant(static_cast<int32_t>(v)); };
  EXPECT_EQ(list.rows[0],
            (QueryResult::Row{id(one), int32_t{1}, "MTO-A", "2026-12-06", int32_t{0}, int32_t{16}, "01.03.002",
                              "Lubricating oil", int32_t{31}, "Raw material warehouse", "MTO-2026-001",
                              "MTO-2026-010", 800.0, 200.0, 200.0, int32_t{2}}));
  // A material or warehouse the database lacks leaves its joined columns Null.
  const auto& unknown = list.rows[1];
  EXPECT_EQ(unknown[1], Variant(int32_t{2}));
  EXPECT_EQ(unknown[5], Variant(int32_t{99}));
  for (size_t column : {6u, 7u, 9u, 14u, 15u}) EXPECT_TRUE(unknown[column].isNull()) << list.columns[column];
  EXPECT_EQ(list.rows[2][1], Variant(int32_t{3}));
  EXPECT_EQ(list.rows[2][7], Variant("Steel plate"));
  EXPECT_EQ(list.rows[2][15], Variant(int32_t{2}));  // steel plate: kg to two decimals
  EXPECT_EQ(list.rows[3][0], id(two));
  EXPECT_EQ(list.rows[3][9], Variant("Finished goods warehouse"));
  EXPECT_EQ(list.rows[3][14], Variant(12.0));        // hex bolts: 12 a box
  EXPECT_EQ(list.rows[3][15], Variant(int32_t{0}));
}

class DatabaseFile : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = (std::filesystem::temp_directory_path() /
             ("mto_db_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "_" +
              std::to_string(::getpid()) + ".db"))
                .string();
    std::filesystem::remove(path_);
  }
  void TearDown() override { std::filesystem::remove(path_); }
  std::string path_;
};

TEST_F(DatabaseFile, IsSeededOnceAndKeepsItsRows) {
  {
    auto db = Database::openFile(path_);
    EXPECT_TRUE(db->wasSeeded());
    db->execute("UPDATE t_SystemProfile SET FValue = '0' WHERE FCateGory = 'IC' AND FKey = 'SecUnit'");
  }
  auto db = Database::openFile(path_);
  EXPECT_FALSE(db->wasSeeded());
  EXPECT_EQ(rowsOf(*db,
                   "SELECT FValue, (SELECT COUNT(*) FROM t_SystemProfile) FROM t_SystemProfile "
                   "WHERE FCateGory = 'IC' AND FKey = 'SecUnit'"),
            (std::vector<QueryResult::Row>{{"0", int32_t{34}}}));  // not doubled by a second seed
}

TEST_F(DatabaseFile, RefusesAnotherSchemaVersion) {
  {
    auto raw = sqlite::Connection::open(path_);
    raw.exec("PRAGMA user_version = 999");
  }
  try {
    Database::openFile(path_);
    ADD_FAILURE() << "no error";
  } catch (const sqlite::Error& e) {
    EXPECT_NE(e.message().find("schema version 999"), std::string::npos) << e.message();
  }
}

}  // namespace
}  // namespace mto::sim
