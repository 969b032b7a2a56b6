#include "sim/db/sqlite.h"

#include <cstring>

#include <sqlite3.h>

#include <climits>
#include <utility>

namespace mto::sim::sqlite {

namespace {

std::string describeError(const std::string& message, const std::string& sql) {
  if (sql.empty()) return message;
  return message + " (SQL: " + sql + ")";
}

int checkedLength(std::string_view text) {
  if (text.size() > static_cast<size_t>(INT_MAX)) throw Error(SQLITE_TOOBIG, "text too long for SQLite");
  return static_cast<int>(text.size());
}

}  // namespace

Error::Error(int code, std::string message, std::string sql)
    : std::runtime_error(describeError(message, sql)),
      code_(code),
      message_(std::move(message)),
      sql_(std::move(sql)) {}

bool isBlankSql(std::string_view sql) {
  size_t i = 0;
  while (i < sql.size()) {
    char c = sql[i];
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v' || c == ';') {
      ++i;
    } else if (sql.substr(i, 2) == "--") {
      size_t end = sql.find('\n', i);
      i = end == std::string_view::npos ? sql.size() : end + 1;
    } else if (sql.substr(i, 2) == "/*") {
      size_t end = sql.find("*/", i + 2);
      i = end == std::string_view::npos ? sql.size() : end + 2;
    } else {
      return false;
    }
  }
  return true;
}

// --- Statement ---

Statement::Statement(Statement&& other) noexcept
    : db_(std::exchange(other.db_, nullptr)), stmt_(std::exchange(other.stmt_, nullptr)) {}

Statement& Statement::operator=(Statement&& other) noexcept {
  if (this != &other) {
    sqlite3_finalize(stmt_);
    db_ = std::exchange(other.db_, nullptr);
    stmt_ = std::exchange(other.stmt_, nullptr);
  }
  return *this;
}

Statement::~Statement() {
  sqlite3_finalize(stmt_);
}

std::string Statement::sql() const {
  const char* text = stmt_ ? sqlite3_sql(stmt_) : nullptr;
  return text ? text : "";
}

void Statement::check(int rc) const {
  if (rc != SQLITE_OK) throw Error(rc, db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc), sql());
}

void Statement::checkColumn(int column) const {
  if (column < 0 || column >= columnCount())
    throw Error(SQLITE_RANGE, "column index " + std::to_string(column) + " out of range", sql());
}

Statement& Statement::bindNull(int index) {
  if (!stmt_) throw Error(SQLITE_RANGE, "bind on an empty statement");
  check(sqlite3_bind_null(stmt_, index));
  return *this;
}

Statement& Statement::bind(int index, int64_t value) {
  if (!stmt_) throw Error(SQLITE_RANGE, "bind on an empty statement");
  check(sqlite3_bind_int64(stmt_, index, value));
  return *this;
}

Statement& Statement::bind(int index, double value) {
  if (!stmt_) throw Error(SQLITE_RANGE, "bind on an empty statement");
  check(sqlite3_bind_double(stmt_, index, value));
  return *this;
}

Statement& Statement::bind(int index, std::string_view value) {
  if (!stmt_) throw Error(SQLITE_RANGE, "bind on an empty statement");
  check(sqlite3_bind_text(stmt_, index, value.data(), checkedLength(value), SQLITE_TRANSIENT));
  return *this;
}

bool Statement::step() {
  if (!stmt_) return false;
  int rc = sqlite3_step(stmt_);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  // The step's own code is the specific one (a constraint, say); the handle's message explains it.
  std::string message = sqlite3_errmsg(db_);
  sqlite3_reset(stmt_);
  throw Error(rc, std::move(message), sql());
}

void Statement::reset() {
  if (stmt_) sqlite3_reset(stmt_);
}

void Statement::clearBindings() {
  if (stmt_) sqlite3_clear_bindings(stmt_);
}

int Statement::columnCount() const {
  return stmt_ ? sqlite3_column_count(stmt_) : 0;
}

std::string Statement::columnName(int column) const {
  checkColumn(column);
  const char* name = sqlite3_column_name(stmt_, column);
  return name ? name : "";
}

ColumnType Statement::columnType(int column) const {
  checkColumn(column);
  switch (sqlite3_column_type(stmt_, column)) {
    case SQLITE_INTEGER:
      return ColumnType::Integer;
    case SQLITE_FLOAT:
      return ColumnType::Float;
    case SQLITE_TEXT:
      return ColumnType::Text;
    case SQLITE_BLOB:
      return ColumnType::Blob;
    default:
      return ColumnType::Null;
  }
}

int64_t Statement::columnInt64(int column) const {
  checkColumn(column);
  return sqlite3_column_int64(stmt_, column);
}

double Statement::columnDouble(int column) const {
  checkColumn(column);
  return sqlite3_column_double(stmt_, column);
}

std::string Statement::columnText(int column) const {
  checkColumn(column);
  // Pointer first, size second: the order SQLite documents as safe. Numbers come back as text.
  const void* bytes = sqlite3_column_type(stmt_, column) == SQLITE_BLOB
                          ? sqlite3_column_blob(stmt_, column)
                          : static_cast<const void*>(sqlite3_column_text(stmt_, column));
  int size = sqlite3_column_bytes(stmt_, column);
  return bytes ? std::string(static_cast<const char*>(bytes), static_cast<size_t>(size)) : std::string();
}

// --- Connection ---

Connection Connection::open(const std::string& path) {
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  if (rc != SQLITE_OK) {
    std::string message = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    sqlite3_close(db);
    throw Error(rc, "cannot open database \"" + path + "\": " + message);
  }
  sqlite3_extended_result_codes(db, 1);
  return Connection(db);
}

Connection Connection::openImage(std::span<const unsigned char> image) {
  Connection connection = open(":memory:");
  // SQLite takes the copy over and frees it with the connection; it must come from its allocator.
  auto* copy = static_cast<unsigned char*>(sqlite3_malloc64(image.size()));
  if (!copy && !image.empty()) throw Error(SQLITE_NOMEM, "no memory for a database image");
  if (!image.empty()) std::memcpy(copy, image.data(), image.size());
  int rc = sqlite3_deserialize(connection.db_, "main", copy, static_cast<sqlite3_int64>(image.size()),
                               static_cast<sqlite3_int64>(image.size()),
                               SQLITE_DESERIALIZE_FREEONCLOSE | SQLITE_DESERIALIZE_RESIZEABLE);
  if (rc != SQLITE_OK) throw Error(rc, std::string("cannot open a database image: ") + sqlite3_errmsg(connection.db_));
  return connection;
}

std::vector<unsigned char> Connection::serialize() const {
  sqlite3_int64 size = 0;
  unsigned char* bytes = sqlite3_serialize(db_, "main", &size, 0);
  if (!bytes) throw Error(SQLITE_NOMEM, "cannot serialize the database");
  std::vector<unsigned char> image(bytes, bytes + size);
  sqlite3_free(bytes);
  return image;
}

Connection::Connection(Connection&& other) noexcept : db_(std::exchange(other.db_, nullptr)) {}

Connection& Connection::operator=(Connection&& other) noexcept {
  if (this != &other) {
    sqlite3_close_v2(db_);
    db_ = std::exchange(other.db_, nullptr);
  }
  return *this;
}

Connection::~Connection() {
  sqlite3_close_v2(db_);
}

void Connection::exec(std::string_view sql) {
  std::string_view rest = sql;
  while (!isBlankSql(rest)) {
    Statement stmt = prepare(rest, &rest);
    while (stmt.step()) {
    }
  }
}

Statement Connection::prepare(std::string_view sql, std::string_view* rest) {
  if (!db_) throw Error(SQLITE_MISUSE, "connection is closed", std::string(sql));
  std::string_view remaining = sql;
  sqlite3_stmt* stmt = nullptr;
  // A leading empty statement (";") prepares to nothing; go on to the first real one.
  while (stmt == nullptr && !isBlankSql(remaining)) {
    const char* tail = nullptr;
    int rc = sqlite3_prepare_v2(db_, remaining.data(), checkedLength(remaining), &stmt, &tail);
    if (rc != SQLITE_OK) {
      sqlite3_finalize(stmt);
      throw Error(rc, sqlite3_errmsg(db_), std::string(sql));
    }
    size_t used = tail ? static_cast<size_t>(tail - remaining.data()) : remaining.size();
    if (used == 0 && stmt == nullptr) break;
    remaining.remove_prefix(used);
  }
  Statement result(db_, stmt);
  if (rest) {
    *rest = remaining;
  } else if (!isBlankSql(remaining)) {
    throw Error(SQLITE_MISUSE, "more than one statement in the text", std::string(sql));
  }
  return result;
}

int64_t Connection::lastInsertRowId() const {
  return db_ ? sqlite3_last_insert_rowid(db_) : 0;
}

int Connection::changes() const {
  return db_ ? sqlite3_changes(db_) : 0;
}

}  // namespace mto::sim::sqlite
