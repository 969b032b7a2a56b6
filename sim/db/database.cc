#include "sim/db/database.h"

#include <sqlite3.h>

#include "sim/db/schema.h"

namespace mto::sim {

Database::Database(sqlite::Connection connection) : connection_(std::move(connection)) {}

std::unique_ptr<Database> Database::openInMemory() {
  std::unique_ptr<Database> db(new Database(sqlite::Connection::open(":memory:")));
  db->ensureSchema(":memory:");
  return db;
}

std::unique_ptr<Database> Database::openFile(const std::string& path) {
  std::unique_ptr<Database> db(new Database(sqlite::Connection::open(path)));
  db->ensureSchema(path);
  return db;
}

void Database::ensureSchema(const std::string& where) {
  auto read = connection_.prepare("PRAGMA user_version");
  read.step();
  auto version = read.columnInt64(0);
  read.reset();
  if (version == schema::kVersion) return;
  if (version != 0) {
    throw sqlite::Error(SQLITE_MISMATCH, "database \"" + where + "\" has schema version " +
                                             std::to_string(version) + ", this build needs " +
                                             std::to_string(schema::kVersion) +
                                             "; delete the file to have it created again");
  }
  // All or nothing: a failing script must not leave a half-made schema that a later open trusts.
  connection_.exec("BEGIN");
  try {
    for (auto script : schema::kScripts) connection_.exec(script);
    connection_.exec("PRAGMA user_version = " + std::to_string(schema::kVersion));
    connection_.exec("COMMIT");
  } catch (...) {
    sqlite3_exec(connection_.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
    throw;
  }
  seeded_ = true;
}

void Database::execute(std::string_view sql) {
  connection_.exec(sql);
}

std::optional<FiscalPeriod> Database::currentPeriod() {
  auto stmt = connection_.prepare(R"sql(
    SELECT p.FYear, p.FPeriod, p.FStartDate, p.FEndDate
    FROM t_FiscalPeriod p
    JOIN t_SystemProfile y ON y.FCateGory = 'IC' AND y.FKey = 'CurrentYear'
    JOIN t_SystemProfile n ON n.FCateGory = 'IC' AND n.FKey = 'CurrentPeriod'
    WHERE p.FYear = CAST(y.FValue AS INTEGER) AND p.FPeriod = CAST(n.FValue AS INTEGER))sql");
  if (!stmt.step()) return std::nullopt;
  return FiscalPeriod{static_cast<int>(stmt.columnInt64(0)), static_cast<int>(stmt.columnInt64(1)),
                      stmt.columnText(2), stmt.columnText(3)};
}

void Database::setCurrentPeriod(int year, int period) {
  auto stmt = connection_.prepare(
      "INSERT OR REPLACE INTO t_SystemProfile (FCateGory, FKey, FValue) VALUES ('IC', ?1, ?2)");
  stmt.bind(1, "CurrentYear").bind(2, std::to_string(year));
  stmt.step();
  stmt.reset();
  stmt.bind(1, "CurrentPeriod").bind(2, std::to_string(period));
  stmt.step();
}

std::optional<std::string> Database::resourceText(std::string_view key, std::string_view language) {
  auto stmt = connection_.prepare("SELECT text FROM t_ResourceText WHERE key = ?1 AND language = ?2");
  stmt.bind(1, key).bind(2, language);
  if (!stmt.step()) return std::nullopt;
  return stmt.columnText(0);
}

bool Database::isAllowed(int userId, int objectType, int objectId, int accessMask) {
  auto stmt = connection_.prepare(
      "SELECT FAllowed FROM t_AccessRight "
      "WHERE FUserID = ?1 AND FObjectType = ?2 AND FObjectID = ?3 AND FAccessMask = ?4");
  stmt.bind(1, userId).bind(2, objectType).bind(3, objectId).bind(4, accessMask);
  return stmt.step() && stmt.columnInt64(0) != 0;
}

}  // namespace mto::sim
