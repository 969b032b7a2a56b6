#include "sim/db/sqlite.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdio>
#include <string>

namespace mto::sim {
namespace {

TEST(Sqlite, BindsAndReadsEachStorageClass) {
  auto db = sqlite::Connection::open(":memory:");
  db.exec("CREATE TABLE t (a, b, c, d); CREATE TABLE u (x);");
  auto insert = db.prepare("INSERT INTO t VALUES (?1, ?2, ?3, ?4)");
  insert.bindNull(1).bind(2, int64_t{1} << 40).bind(3, 0.5).bind(4, std::string_view("naïve"));
  EXPECT_FALSE(insert.step());
  EXPECT_EQ(db.changes(), 1);
  // Reset keeps the bindings: the same row again.
  insert.reset();
  insert.step();

  auto select = db.prepare("SELECT a, b, c, d FROM t");
  ASSERT_EQ(select.columnCount(), 4);
  EXPECT_EQ(select.columnName(3), "d");
  int rows = 0;
  while (select.step()) {
    ++rows;
    EXPECT_EQ(select.columnType(0), sqlite::ColumnType::Null);
    EXPECT_EQ(select.columnType(1), sqlite::ColumnType::Integer);
    EXPECT_EQ(select.columnInt64(1), int64_t{1} << 40);
    EXPECT_EQ(select.columnType(2), sqlite::ColumnType::Float);
    EXPECT_EQ(select.columnDouble(2), 0.5);
    EXPECT_EQ(select.columnType(3), sqlite::ColumnType::Text);
    EXPECT_EQ(select.columnText(3), "naïve");
    EXPECT_EQ(select.columnText(0), "");
  }
  EXPECT_EQ(rows, 2);
  EXPECT_THROW(select.columnText(4), sqlite::Error);
}

TEST(Sqlite, ErrorsCarrySqlitesMessageAndTheSql) {
  auto db = sqlite::Connection::open(":memory:");
  try {
    db.prepare("SELEC 1");
    ADD_FAILURE() << "no error";
  } catch (const sqlite::Error& e) {
    EXPECT_EQ(e.code(), SQLITE_ERROR);
    EXPECT_NE(e.message().find("syntax error"), std::string::npos) << e.message();
    EXPECT_EQ(e.sql(), "SELEC 1");
  }
  try {
    db.exec("SELECT * FROM missing_table");
    ADD_FAILURE() << "no error";
  } catch (const sqlite::Error& e) {
    EXPECT_NE(e.message().find("no such table: missing_table"), std::string::npos);
  }
  db.exec("CREATE TABLE k (id PRIMARY KEY); INSERT INTO k VALUES (1)");
  auto again = db.prepare("INSERT INTO k VALUES (1)");
  try {
    again.step();
    ADD_FAILURE() << "no error";
  } catch (const sqlite::Error& e) {
    EXPECT_EQ(e.code() & 0xff, SQLITE_CONSTRAINT);
    EXPECT_NE(std::string(e.what()).find("INSERT INTO k VALUES (1)"), std::string::npos);
  }
}

TEST(Sqlite, PrepareTakesOneStatementUnlessAskedForTheRest) {
  auto db = sqlite::Connection::open(":memory:");
  EXPECT_THROW(db.prepare("SELECT 1; SELECT 2"), sqlite::Error);
  EXPECT_NO_THROW(db.prepare("SELECT 1; -- trailing comment\n;"));

  std::string_view rest;
  auto first = db.prepare(";; SELECT 1; SELECT 2", &rest);
  ASSERT_TRUE(first.step());
  EXPECT_EQ(first.columnInt64(0), 1);
  auto second = db.prepare(rest, &rest);
  EXPECT_EQ(second.sql(), " SELECT 2");
  EXPECT_TRUE(sqlite::isBlankSql(rest));

  auto blank = db.prepare("  /* nothing */ ");
  EXPECT_TRUE(blank.isEmpty());
  EXPECT_FALSE(blank.step());

  // A moved-from statement is empty and harmless.
  auto moved = std::move(second);
  EXPECT_TRUE(second.isEmpty());  // NOLINT(bugprone-use-after-move)
  ASSERT_TRUE(moved.step());
  EXPECT_EQ(moved.columnInt64(0), 2);
}

}  // namespace
}  // namespace mto::sim
