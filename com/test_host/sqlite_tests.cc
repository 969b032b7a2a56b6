// The simulated host's database inside Wine: SQLite built from the pinned amalgamation with
// mingw-w64, under the same wrapper as natively (sim/db/sqlite.h). What could differ from the
// native run is the engine's build (version, compile options), its Windows file layer and the C
// runtime beneath it; the wrapper's own behaviour is tested natively (tests/sim/sqlite_test.cc).

#include <windows.h>
#include <sqlite3.h>

#include <functional>
#include <optional>
#include <string>

#include "bridge/text.h"
#include "sim/db/sqlite.h"
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

/// The single value of a one-row, one-column query, as text.
std::string valueOf(sqlite::Connection& db, const std::string& sql) {
  auto statement = db.prepare(sql);
  if (!statement.step()) return "(no row)";
  return statement.isNull(0) ? "NULL" : statement.columnText(0);
}

}  // namespace

void runSqliteTests() {
  auto& t = tests();
  t.group("the simulated host's database inside Wine");

  t.run("the SQLite linked in is the pinned amalgamation, thread-safe", [&] {
    t.expectEq(sqlite3_libversion(), MTO_SQLITE_PINNED_VERSION, "the library's version");
    t.expectEq(SQLITE_VERSION, MTO_SQLITE_PINNED_VERSION, "the header's version");
    EXPECT(sqlite3_threadsafe() == 1);
  });

  t.run("the SQL behaves as with the native build's SQLite", [&] {
    auto db = sqlite::Connection::open(":memory:");
    t.expectEq(valueOf(db, "SELECT sqrt(16.0)"), "4.0", "math functions");
    t.expectEq(valueOf(db, "SELECT soundex('Robert')"), "R163", "soundex");
    t.expectEq(valueOf(db, "SELECT x'616263' LIKE 'abc'"), "0", "LIKE never matches a blob");
    t.expectEq(valueOf(db, "PRAGMA recursive_triggers"), "1", "recursive triggers by default");
    t.expectEq(valueOf(db, "PRAGMA foreign_keys"), "0", "foreign keys off by default");
    t.expectEq(valueOf(db, "SELECT \"no such column\""), "no such column", "double-quoted text");
    db.exec("CREATE TABLE l (v); INSERT INTO l VALUES (1), (2), (3); DELETE FROM l LIMIT 2");
    EXPECT(db.changes() == 2);
  });

  t.run("each storage class reads back with SQLite's own conversions", [&] {
    auto db = sqlite::Connection::open(":memory:");
    db.exec("CREATE TABLE t (n, i, f, s)");
    auto insert = db.prepare("INSERT INTO t VALUES (?1, ?2, ?3, ?4)");
    insert.bindNull(1).bind(2, int64_t{1} << 40).bind(3, 0.1).bind(4, "12.5abc na\xC3\xAFve");
    EXPECT(!insert.step());
    auto select = db.prepare("SELECT n, i, f, s, 2.0, 1.0 / 3, 1e20 FROM t");
    EXPECT(select.step());
    EXPECT(select.columnType(0) == sqlite::ColumnType::Null && select.columnText(0).empty());
    EXPECT(select.columnType(1) == sqlite::ColumnType::Integer && select.columnInt64(1) == int64_t{1} << 40);
    t.expectEq(select.columnText(1), "1099511627776", "an integer as text");
    EXPECT(select.columnType(2) == sqlite::ColumnType::Float && select.columnDouble(2) == 0.1);
    t.expectEq(select.columnText(2), "0.1", "a float as text");
    t.expectEq(select.columnText(4), "2.0", "a whole float as text");
    t.expectEq(select.columnText(5), "0.333333333333333", "a float rounded to 15 digits");
    t.expectEq(select.columnText(6), "1.0e+20", "a large float as text");
    EXPECT(select.columnType(3) == sqlite::ColumnType::Text);
    t.expectEq(select.columnText(3), "12.5abc na\xC3\xAFve", "UTF-8 text");
    EXPECT(select.columnInt64(3) == 12 && select.columnDouble(3) == 12.5);
  });

  t.run("an SQL error carries SQLite's code, message and statement", [&] {
    auto db = sqlite::Connection::open(":memory:");
    auto missing = errorOf([&] { db.prepare("SELECT * FROM nowhere"); });
    EXPECT(missing && missing->code() == SQLITE_ERROR);
    t.expectEq(missing ? missing->message() : "", "no such table: nowhere", "the message");
    t.expectEq(missing ? missing->sql() : "", "SELECT * FROM nowhere", "the statement");
    db.exec("CREATE TABLE u (k INTEGER PRIMARY KEY); INSERT INTO u VALUES (1)");
    auto again = db.prepare("INSERT INTO u VALUES (1)");
    auto unique = errorOf([&] { again.step(); });
    EXPECT(unique && unique->code() == SQLITE_CONSTRAINT_PRIMARYKEY);
    t.expectEq(unique ? unique->message() : "", "UNIQUE constraint failed: u.k", "the constraint's message");
  });

  t.run("a file database under the Wine prefix keeps what was committed and drops what was not", [&] {
    wchar_t temp[MAX_PATH + 1] = {};
    DWORD length = GetTempPathW(MAX_PATH + 1, temp);
    EXPECT(length > 0 && length <= MAX_PATH);
    std::wstring path = std::wstring(temp) + L"mto-\u00e9t\u00e9-" + std::to_wstring(GetCurrentProcessId()) + L".db";
    std::string utf8Path = com::toUtf8(path);
    DeleteFileW(path.c_str());
    {
      auto db = sqlite::Connection::open(utf8Path);
      db.exec("CREATE TABLE k (v); BEGIN; INSERT INTO k VALUES ('kept'); COMMIT; BEGIN; INSERT INTO k VALUES ('x')");
      EXPECT(sqlite3_exec(db.handle(), "ROLLBACK", nullptr, nullptr, nullptr) == SQLITE_OK);
    }
    EXPECT(GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES);  // the name is UTF-8, not ANSI
    {
      auto db = sqlite::Connection::open(utf8Path);
      t.expectEq(valueOf(db, "SELECT group_concat(v) FROM k"), "kept", "what the file holds");
    }
    EXPECT(DeleteFileW(path.c_str()));  // closed: no handle keeps the file
    auto nowhere = errorOf([&] { sqlite::Connection::open(com::toUtf8(std::wstring(temp) + L"no\\such\\dir\\x.db")); });
    EXPECT(nowhere && nowhere->code() == SQLITE_CANTOPEN);
  });
}

}  // namespace mto::testhost
