#include "sim/db/database.h"

#include <sqlite3.h>

#include <limits>
#include <stdexcept>

#include "sim/db/schema.h"
#include "sim/db/sql_error.h"
#include "sim/db/transaction.h"

namespace mto::sim {

using automation::Variant;

namespace {

Variant columnValue(const sqlite::Statement& statement, int column) {
  switch (statement.columnType(column)) {
    case sqlite::ColumnType::Null:
      return Variant::null();
    case sqlite::ColumnType::Integer: {
      int64_t v = statement.columnInt64(column);
      if (v >= std::numeric_limits<int32_t>::min() && v <= std::numeric_limits<int32_t>::max())
        return Variant(static_cast<int32_t>(v));
      return Variant(static_cast<double>(v));
    }
    case sqlite::ColumnType::Float:
      return Variant(statement.columnDouble(column));
    case sqlite::ColumnType::Text:
    case sqlite::ColumnType::Blob:
      break;
  }
  return Variant(statement.columnText(column));
}

void bindValue(sqlite::Statement& statement, int index, const SqlValue& value) {
  std::visit(
      [&](const auto& v) {
        if constexpr (std::is_same_v<std::decay_t<decltype(v)>, std::monostate>)
          statement.bindNull(index);
        else
          statement.bind(index, v);
      },
      value);
}

std::string quoteIdentifier(std::string_view name) {
  std::string out = "\"";
  for (char c : name) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

/// "INSERT INTO table (c1, c2, ...) VALUES (?, ?, ...)" over fixed, trusted column names.
std::string insertSql(std::string_view table, std::span<const std::string_view> columns) {
  std::string names;
  std::string marks;
  for (auto column : columns) {
    if (!names.empty()) {
      names += ", ";
      marks += ", ";
    }
    names += column;
    marks += "?";
  }
  return "INSERT INTO " + std::string(table) + " (" + names + ") VALUES (" + marks + ")";
}

/// "SELECT c1, c2, ... FROM table" over fixed, trusted column names.
std::string selectSql(std::string_view table, std::span<const std::string_view> columns) {
  std::string names;
  for (auto column : columns) {
    if (!names.empty()) names += ", ";
    names += column;
  }
  return "SELECT " + names + " FROM " + std::string(table);
}

std::optional<double> singleDouble(sqlite::Connection& connection, std::string_view sql, int64_t id) {
  auto statement = connection.prepare(sql);
  statement.bind(1, id);
  if (!statement.step() || statement.isNull(0)) return std::nullopt;
  return statement.columnDouble(0);
}

struct ProfileTableNames {
  std::string_view table;
  std::string_view categoryColumn;
};

ProfileTableNames namesOf(ProfileTable table) {
  switch (table) {
    case ProfileTable::SystemProfile:
      return {"t_SystemProfile", "FCateGory"};
    case ProfileTable::RpSystemProfile:
      return {"t_RP_SystemProfile", "FCateGory"};
    case ProfileTable::PriceOptions:
      break;
  }
  return {"ICPrcOpt", "FCategory"};
}

/// Steps a prepared statement to its end and keeps every row, with the values of `QueryResult`.
QueryResult readStatement(sqlite::Statement& statement) {
  const int count = statement.columnCount();
  QueryResult result;
  result.columns.reserve(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) result.columns.push_back(statement.columnName(i));
  while (statement.step()) {
    QueryResult::Row row;
    row.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) row.push_back(columnValue(statement, i));
    result.rows.push_back(std::move(row));
  }
  return result;
}

}  // namespace

std::optional<ProfileTable> profileTableNamed(std::string_view name) {
  for (auto table : {ProfileTable::SystemProfile, ProfileTable::RpSystemProfile, ProfileTable::PriceOptions})
    if (namesOf(table).table == name) return table;
  return std::nullopt;
}

Database::Database(sqlite::Connection connection) : connection_(std::move(connection)) {}

std::unique_ptr<Database> Database::openInMemory() {
  // Building the schema and the demo data costs far more than copying them: every in-memory
  // database of the process starts from one image of them, made on first use.
  static const std::vector<unsigned char> image = [] {
    Database fresh(sqlite::Connection::open(":memory:"));
    fresh.ensureSchema(":memory:");
    return fresh.connection_.serialize();
  }();
  std::unique_ptr<Database> db(new Database(sqlite::Connection::openImage(image)));
  db->seeded_ = true;
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
  Transaction transaction(*this);
  for (auto script : schema::kScripts) connection_.exec(script);
  connection_.exec("PRAGMA user_version = " + std::to_string(schema::kVersion));
  transaction.commit();
  seeded_ = true;
}

void Database::execute(std::string_view sql) {
  connection_.exec(sql);
}

std::optional<QueryResult> Database::query(std::string_view sql) {
  std::optional<QueryResult> result;
  std::string_view rest = sql;
  while (!sqlite::isBlankSql(rest)) {
    auto statement = connection_.prepare(rest, &rest);
    if (statement.columnCount() > 0) {
      result = readStatement(statement);
    } else {
      while (statement.step()) {
      }
    }
  }
  return result;
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

std::optional<Record> Database::findRecord(std::string_view table, std::string_view idColumn,
                                           const SqlValue& id, std::string_view errorSource) {
  std::string sql =
      "SELECT * FROM " + quoteIdentifier(table) + " WHERE " + quoteIdentifier(idColumn) + " = ?1";
  return reportSqlErrors(errorSource, sql, [&]() -> std::optional<Record> {
    auto statement = connection_.prepare(sql);
    bindValue(statement, 1, id);
    if (!statement.step()) return std::nullopt;
    Record record;
    const int count = statement.columnCount();
    record.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) record.emplace_back(statement.columnName(i), columnValue(statement, i));
    return record;
  });
}

double Database::stockOnHand(const StockFilter& filter) {
  std::string sql =
      "SELECT TOTAL(FQty) FROM t_ICInventory WHERE FItemID = ?1 AND FStockID = ?2 AND FSPID = ?3 AND "
      "FBatchNo = ?4 AND FMTONo = ?5";
  if (filter.auxPropId) sql += " AND FAuxPropID = ?6";
  if (filter.shelfLife) sql += " AND FKFDate = ?7 AND FKFPeriod = ?8";
  auto statement = connection_.prepare(sql);
  statement.bind(1, filter.itemId).bind(2, filter.stockId).bind(3, filter.stockPlaceId);
  statement.bind(4, filter.batchNo).bind(5, filter.mtoNo);
  if (filter.auxPropId) statement.bind(6, *filter.auxPropId);
  if (filter.shelfLife) statement.bind(7, filter.shelfLife->productionDate).bind(8, filter.shelfLife->days);
  return statement.step() ? statement.columnDouble(0) : 0;
}

std::optional<double> Database::unitCoefficient(int64_t unitId) {
  return singleDouble(connection_, "SELECT FCoefficient FROM t_MeasureUnit WHERE FMeasureUnitID = ?1",
                      unitId);
}

std::optional<double> Database::secondaryCoefficient(int64_t itemId) {
  return singleDouble(connection_, "SELECT FSecCoefficient FROM t_ICItem WHERE FItemID = ?1", itemId);
}

std::optional<double> Database::safetyStock(int64_t itemId) {
  return singleDouble(connection_, "SELECT FSafetyStock FROM t_ICItem WHERE FItemID = ?1", itemId);
}

std::string_view stockColumnName(StockColumn column) {
  switch (column) {
    case StockColumn::ItemId:
      return "FItemID";
    case StockColumn::StockId:
      return "FStockID";
    case StockColumn::StockPlaceId:
      return "FSPID";
    case StockColumn::BatchNo:
      return "FBatchNo";
    case StockColumn::MtoNo:
      return "FMTONo";
    case StockColumn::AuxPropId:
      break;
  }
  return "FAuxPropID";
}

std::vector<StockStatusRow> Database::stockStatus(const StockStatusQuery& query) {
  // Only fixed column names and parameter marks enter the text; the values are bound below.
  std::string sql = R"sql(
    SELECT t1.FItemID, COALESCE(i.FNumber, ''), COALESCE(i.FName, ''), COALESCE(s.FName, ''),
           COALESCE(p.FNumber, ''), t1.FBatchNo, t1.FMTONo, t1.FQty, COALESCE(u.FName, '')
    FROM t_ICInventory t1
    LEFT JOIN t_ICItem i ON i.FItemID = t1.FItemID
    LEFT JOIN t_Stock s ON s.FItemID = t1.FStockID
    LEFT JOIN t_StockPlace p ON p.FSPID = t1.FSPID
    LEFT JOIN t_MeasureUnit u ON u.FMeasureUnitID = i.FUnitID
    WHERE t1.FQty <> 0)sql";
  for (const auto& condition : query.conditions) {
    sql += " AND t1." + std::string(stockColumnName(condition.column)) + " IN (";
    for (size_t i = 0; i < condition.values.size(); ++i) sql += i ? ", ?" : "?";
    sql += ")";
  }
  sql += " ORDER BY COALESCE(i.FNumber, ''), COALESCE(s.FNumber, ''), COALESCE(p.FNumber, ''), t1.FBatchNo, "
         "t1.FMTONo, t1.FAuxPropID, t1.FKFDate, t1.rowid";
  auto statement = connection_.prepare(sql);
  int index = 0;
  for (const auto& condition : query.conditions)
    for (const auto& value : condition.values) bindValue(statement, ++index, value);
  std::vector<StockStatusRow> rows;
  while (statement.step()) {
    rows.push_back({statement.columnInt64(0), statement.columnText(1), statement.columnText(2),
                    statement.columnText(3), statement.columnText(4), statement.columnText(5),
                    statement.columnText(6), statement.columnDouble(7), statement.columnText(8)});
  }
  return rows;
}

std::vector<BatchInStock> Database::batchesInStock(const BatchQuery& query) {
  std::string sql = R"sql(
    SELECT FBatchNo, FStockID, FSPID, FKFDate, FKFPeriod,
           CASE WHEN FKFDate = '' THEN '' ELSE date(FKFDate, printf('%+d days', FKFPeriod)) END AS expiry,
           SUM(FQty)
    FROM t_ICInventory
    WHERE FItemID = ?1 AND FBatchNo <> '' AND FQty > 0)sql";
  if (query.stockId) sql += " AND FStockID = ?2";
  if (query.stockPlaceId) sql += " AND FSPID = ?3";
  if (query.mtoNo) sql += " AND FMTONo = ?4";
  if (query.auxPropId) sql += " AND FAuxPropID = ?5";
  sql += R"sql(
    GROUP BY FBatchNo, FStockID, FSPID, FKFDate, FKFPeriod
    ORDER BY expiry = '', expiry, FBatchNo, FStockID, FSPID)sql";
  auto statement = connection_.prepare(sql);
  statement.bind(1, query.itemId);
  if (query.stockId) statement.bind(2, *query.stockId);
  if (query.stockPlaceId) statement.bind(3, *query.stockPlaceId);
  if (query.mtoNo) statement.bind(4, *query.mtoNo);
  if (query.auxPropId) statement.bind(5, *query.auxPropId);
  std::vector<BatchInStock> batches;
  while (statement.step()) {
    batches.push_back({statement.columnText(0), statement.columnInt64(1), statement.columnInt64(2),
                       statement.columnText(3), statement.columnInt64(4), statement.columnText(5),
                       statement.columnDouble(6)});
  }
  return batches;
}

std::optional<Material> Database::findMaterial(int64_t itemId) {
  auto statement = connection_.prepare(
      "SELECT FNumber, FName, FQtyDecimal, FSecCoefficient FROM t_ICItem WHERE FItemID = ?");
  statement.bind(1, itemId);
  if (!statement.step()) return std::nullopt;
  return Material{statement.columnText(0), statement.columnText(1),
                  static_cast<int32_t>(statement.columnInt64(2)), statement.columnDouble(3)};
}

int64_t Database::insertMtoChange(std::span<const SqlValue> head,
                                  std::span<const std::vector<SqlValue>> entries) {
  if (head.size() != kMtoChangeHeadColumns.size())
    throw std::invalid_argument("insertMtoChange: the head needs one value per column");
  for (const auto& entry : entries) {
    if (entry.size() != kMtoChangeEntryColumns.size())
      throw std::invalid_argument("insertMtoChange: an entry needs one value per column");
  }
  auto headInsert = connection_.prepare(insertSql("t_MTOChange", kMtoChangeHeadColumns));
  for (size_t i = 0; i < head.size(); ++i) bindValue(headInsert, static_cast<int>(i) + 1, head[i]);
  headInsert.step();
  int64_t id = connection_.lastInsertRowId();

  static const std::string entrySql = [] {
    std::vector<std::string_view> columns = {"FInterID", "FEntryID"};
    columns.insert(columns.end(), kMtoChangeEntryColumns.begin(), kMtoChangeEntryColumns.end());
    return insertSql("t_MTOChangeEntry", columns);
  }();
  auto entryInsert = connection_.prepare(entrySql);
  int64_t entryId = 0;
  for (const auto& entry : entries) {
    entryInsert.reset();
    entryInsert.bind(1, id).bind(2, ++entryId);
    for (size_t i = 0; i < entry.size(); ++i) bindValue(entryInsert, static_cast<int>(i) + 3, entry[i]);
    entryInsert.step();
  }
  return id;
}

std::optional<StoredMtoChange> Database::findMtoChange(int64_t interId) {
  static const std::string headSql = selectSql("t_MTOChange", kMtoChangeHeadColumns) + " WHERE FInterID = ?1";
  static const std::string entrySql =
      selectSql("t_MTOChangeEntry", kMtoChangeEntryColumns) + " WHERE FInterID = ?1 ORDER BY FEntryID";
  auto headSelect = connection_.prepare(headSql);
  headSelect.bind(1, interId);
  if (!headSelect.step()) return std::nullopt;
  StoredMtoChange bill;
  for (int i = 0; i < static_cast<int>(kMtoChangeHeadColumns.size()); ++i)
    bill.head.push_back(columnValue(headSelect, i));
  auto entrySelect = connection_.prepare(entrySql);
  entrySelect.bind(1, interId);
  while (entrySelect.step()) {
    auto& entry = bill.entries.emplace_back();
    for (int i = 0; i < static_cast<int>(kMtoChangeEntryColumns.size()); ++i)
      entry.push_back(columnValue(entrySelect, i));
  }
  return bill;
}

QueryResult Database::mtoChangeListRows() {
  auto statement = connection_.prepare(R"sql(
    SELECT h.FInterID AS FInterID, e.FEntryID AS FEntryID, h.FBillNo AS FBillNo, h.FDate AS FDate,
           h.FStatus AS FStatus, e.FItemID AS FItemID, i.FNumber AS FItemNumber, i.FName AS FItemName,
           e.FStockID AS FStockID, s.FName AS FStockName, e.FFromMTONo AS FFromMTONo,
           e.FToMTONo AS FToMTONo, e.FQty AS FQty, e.FChangeQty AS FChangeQty,
           i.FSecCoefficient AS FSecCoefficient, i.FQtyDecimal AS FItemID_FQtyDecimal
    FROM t_MTOChange h
    JOIN t_MTOChangeEntry e ON e.FInterID = h.FInterID
    LEFT JOIN t_ICItem i ON i.FItemID = e.FItemID
    LEFT JOIN t_Stock s ON s.FItemID = e.FStockID
    ORDER BY h.FInterID, e.FEntryID)sql");
  return readStatement(statement);
}

void Database::putProfileRow(ProfileTable table, std::string_view category, std::string_view key,
                             const std::optional<std::string>& value) {
  removeProfileRow(table, category, key);
  auto names = namesOf(table);
  auto insert =
      connection_.prepare("INSERT INTO " + std::string(names.table) + " (" +
                          std::string(names.categoryColumn) + ", FKey, FValue) VALUES (?1, ?2, ?3)");
  insert.bind(1, category).bind(2, key);
  if (value)
    insert.bind(3, *value);
  else
    insert.bindNull(3);
  insert.step();
}

void Database::removeProfileRow(ProfileTable table, std::string_view category, std::string_view key) {
  auto names = namesOf(table);
  auto remove = connection_.prepare("DELETE FROM " + std::string(names.table) + " WHERE " +
                                    std::string(names.categoryColumn) + " = ?1 AND FKey = ?2");
  remove.bind(1, category).bind(2, key);
  remove.step();
}

void Database::putAccessRight(int64_t userId, int64_t objectType, int64_t objectId, int64_t accessMask,
                              bool allowed) {
  auto insert = connection_.prepare(
      "INSERT OR REPLACE INTO t_AccessRight (FUserID, FObjectType, FObjectID, FAccessMask, FAllowed) "
      "VALUES (?1, ?2, ?3, ?4, ?5)");
  insert.bind(1, userId).bind(2, objectType).bind(3, objectId).bind(4, accessMask);
  insert.bind(5, int64_t{allowed ? 1 : 0});
  insert.step();
}

}  // namespace mto::sim
