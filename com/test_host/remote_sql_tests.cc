// The simulated host's database wrapper as the Windows build has it: over loopback TCP to
// mto-sql-server (MTO_SQL_SERVER names it). The answers must be SQLite's own, as the native
// wrapper gives them, or replayed scenarios would drift from their native traces.

#include <windows.h>

#include <cstring>
#include <functional>
#include <optional>

#include "sim/db/sqlite.h"
#include "sim_remote/sqlite3.h"
#include "test_host/check.h"
#include "test_host/suites.h"

namespace mto::testhost {

namespace sqlite = sim::sqlite;

namespace {

std::optional<sqlite::Error> errorOf(const std::function<void()>& body) {
  try {
    body();
  } catch (const sqlite::Error& e) {
    return e;
  }
  return std::nullopt;
}

}  // namespace

void runRemoteSqlTests() {
  auto& t = tests();
  t.group("the simulated host's database over loopback");

  t.run("each storage class reads back with SQLite's own conversions", [&] {
    auto db = sqlite::Connection::open(":memory:");
    db.exec("CREATE TABLE t (n, i, f, s)");
    auto insert = db.prepare("INSERT INTO t VALUES (?1, ?2, ?3, ?4)");
    insert.bindNull(1).bind(2, int64_t{1} << 40).bind(3, 0.1).bind(4, "12.5abc na\xC3\xAFve");
    EXPECT(!insert.step());
    EXPECT(db.changes() == 1);
    auto select = db.prepare("SELECT n, i, f, s, 2.0 AS two FROM t");
    t.expectEq(select.columnName(3), "s", "column name before the first step");
    EXPECT(select.step());
    EXPECT(select.columnType(0) == sqlite::ColumnType::Null);
    EXPECT(select.columnInt64(0) == 0 && select.columnText(0).empty());
    EXPECT(select.columnType(1) == sqlite::ColumnType::Integer);
    EXPECT(select.columnInt64(1) == int64_t{1} << 40);
    t.expectEq(select.columnText(1), "1099511627776", "an integer as text");
    EXPECT(select.columnType(2) == sqlite::ColumnType::Float);
    EXPECT(select.columnDouble(2) == 0.1);
    t.expectEq(select.columnText(2), "0.1", "a float as SQLite writes it");
    t.expectEq(select.columnText(4), "2.0", "a whole float as SQLite writes it");
    EXPECT(select.columnType(3) == sqlite::ColumnType::Text);
    t.expectEq(select.columnText(3), "12.5abc na\xC3\xAFve", "UTF-8 text");
    EXPECT(select.columnInt64(3) == 12);
    EXPECT(select.columnDouble(3) == 12.5);
    EXPECT(!select.step());
    EXPECT(errorOf([&] { select.columnText(5); }).has_value());
  });

  t.run("errors carry SQLite's code, message and statement; rows before a failing one arrive", [&] {
    auto db = sqlite::Connection::open(":memory:");
    auto syntax = errorOf([&] { db.prepare("SELEC 1"); });
    EXPECT(syntax && syntax->code() == SQLITE_ERROR);
    EXPECT(syntax && syntax->message().find("syntax error") != std::string::npos);
    EXPECT(syntax && syntax->sql() == "SELEC 1");
    db.exec("CREATE TABLE u (k INTEGER PRIMARY KEY); INSERT INTO u VALUES (1)");
    auto again = db.prepare("INSERT INTO u VALUES (1)");
    auto unique = errorOf([&] { again.step(); });
    EXPECT(unique && (unique->code() & 0xff) == 19);  // a constraint, with its extended code
    auto overflow = db.prepare("SELECT 1 UNION ALL SELECT abs(-9223372036854775807 - 1)");
    EXPECT(overflow.step() && overflow.columnInt64(0) == 1);
    auto late = errorOf([&] { overflow.step(); });
    EXPECT(late && late->message().find("overflow") != std::string::npos);
  });

  t.run("prepare takes one statement, or hands back the rest; blank text is an empty statement", [&] {
    auto db = sqlite::Connection::open(":memory:");
    auto two = errorOf([&] { db.prepare("SELECT 1; SELECT 2"); });
    EXPECT(two && two->code() == SQLITE_MISUSE);
    std::string_view rest;
    auto first = db.prepare("SELECT 1; SELECT 2", &rest);
    t.expectEq(std::string(rest), " SELECT 2", "the rest");
    EXPECT(first.step() && first.columnInt64(0) == 1);
    auto blank = db.prepare("  -- nothing\n;");
    EXPECT(blank.isEmpty() && !blank.step() && blank.columnCount() == 0);
    EXPECT(errorOf([&] { blank.bind(1, 1); }).has_value());
  });

  t.run("a statement runs again after its end, after a reset, with the bindings it keeps", [&] {
    auto db = sqlite::Connection::open(":memory:");
    db.exec("CREATE TABLE c (v); INSERT INTO c VALUES (1), (2)");
    auto count = db.prepare("SELECT count(*) FROM c WHERE v >= ?1");
    count.bind(1, 2);
    EXPECT(count.step() && count.columnInt64(0) == 1 && !count.step());
    db.exec("INSERT INTO c VALUES (3)");
    EXPECT(count.step() && count.columnInt64(0) == 2);  // the new row is seen: it ran again
    count.reset();
    count.bind(1, 1);
    EXPECT(count.step() && count.columnInt64(0) == 3);
    count.reset();
    count.clearBindings();
    EXPECT(count.step() && count.columnInt64(0) == 0);  // v >= NULL holds for no row
  });

  t.run("changes and row ids follow the last statement; sqlite3_exec rolls back", [&] {
    auto db = sqlite::Connection::open(":memory:");
    db.exec("CREATE TABLE r (id INTEGER PRIMARY KEY, v); INSERT INTO r (v) VALUES ('a'), ('b'), ('c')");
    EXPECT(db.lastInsertRowId() == 3);
    db.exec("UPDATE r SET v = 'x' WHERE id < 3");
    EXPECT(db.changes() == 2);
    db.exec("BEGIN; DELETE FROM r");
    EXPECT(sqlite3_exec(db.handle(), "ROLLBACK", nullptr, nullptr, nullptr) == SQLITE_OK);
    auto left = db.prepare("SELECT count(*) FROM r");
    EXPECT(left.step() && left.columnInt64(0) == 3);
    char* message = nullptr;
    EXPECT(sqlite3_exec(db.handle(), "DROP TABLE nowhere", nullptr, nullptr, &message) == SQLITE_ERROR);
    EXPECT(message && std::strstr(message, "nowhere"));
    sqlite3_free(message);
  });

  t.run("each connection is a database of its own; a statement may outlive its connection", [&] {
    auto one = sqlite::Connection::open(":memory:");
    auto two = sqlite::Connection::open(":memory:");
    one.exec("CREATE TABLE only_here (v)");
    EXPECT(errorOf([&] { two.prepare("SELECT * FROM only_here"); }).has_value());
    std::optional<sqlite::Statement> orphan;
    {
      auto short_lived = sqlite::Connection::open(":memory:");
      orphan.emplace(short_lived.prepare("SELECT 1"));
      auto moved = std::move(short_lived);
      auto closed = errorOf([&] { short_lived.prepare("SELECT 1"); });  // NOLINT(bugprone-use-after-move)
      EXPECT(closed && closed->code() == SQLITE_MISUSE);
    }
    EXPECT(errorOf([&] { orphan->step(); }).has_value());
    orphan.reset();
  });

  t.run("without a server the database does not open", [&] {
    wchar_t saved[256] = {};
    DWORD length = GetEnvironmentVariableW(L"MTO_SQL_SERVER", saved, 256);
    SetEnvironmentVariableW(L"MTO_SQL_SERVER", L"127.0.0.1:1");
    auto refused = errorOf([] { sqlite::Connection::open(":memory:"); });
    SetEnvironmentVariableW(L"MTO_SQL_SERVER", length ? saved : nullptr);
    EXPECT(refused && refused->code() == SQLITE_CANTOPEN);
  });
}

}  // namespace mto::testhost
