#pragma once

#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

// One owner per SQLite handle. The simulated host is single-threaded, so none of these classes
// locks; a Connection must outlive the Statements it prepared.

namespace mto::sim::sqlite {

/// A failure reported by SQLite: its result code and message, plus the SQL text when one was
/// involved.
class Error : public std::runtime_error {
 public:
  Error(int code, std::string message, std::string sql = {});
  int code() const noexcept { return code_; }
  /// SQLite's own message, without the SQL text.
  const std::string& message() const noexcept { return message_; }
  const std::string& sql() const noexcept { return sql_; }

 private:
  int code_;
  std::string message_;
  std::string sql_;
};

/// The storage class of one value in the current row.
enum class ColumnType { Integer, Float, Text, Blob, Null };

/// A prepared statement. Parameters are numbered from 1 and columns from 0, as SQLite numbers
/// them. A statement prepared from blank text (or a comment) is empty: it has no columns and
/// `step` returns false at once.
class Statement {
 public:
  Statement() = default;
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  Statement(Statement&& other) noexcept;
  Statement& operator=(Statement&& other) noexcept;
  ~Statement();

  bool isEmpty() const { return stmt_ == nullptr; }
  std::string sql() const;

  Statement& bindNull(int index);
  Statement& bind(int index, int64_t value);
  Statement& bind(int index, int value) { return bind(index, static_cast<int64_t>(value)); }
  Statement& bind(int index, double value);
  /// The text is copied, so it need not outlive the statement.
  Statement& bind(int index, std::string_view value);
  Statement& bind(int index, const char* value) { return bind(index, std::string_view(value)); }

  /// Advances to the next row: true when a row is available, false when the statement is done.
  bool step();
  /// Rewinds for another run; bindings are kept.
  void reset();
  void clearBindings();

  int columnCount() const;
  std::string columnName(int column) const;
  ColumnType columnType(int column) const;
  bool isNull(int column) const { return columnType(column) == ColumnType::Null; }
  int64_t columnInt64(int column) const;
  double columnDouble(int column) const;
  /// Text (or the bytes of a blob); "" for NULL.
  std::string columnText(int column) const;

 private:
  friend class Connection;
  Statement(sqlite3* db, sqlite3_stmt* stmt) : db_(db), stmt_(stmt) {}
  void check(int rc) const;
  void checkColumn(int column) const;

  sqlite3* db_ = nullptr;
  sqlite3_stmt* stmt_ = nullptr;
};

/// An open database connection.
class Connection {
 public:
  /// Opens (creating when missing) a database file; ":memory:" opens a private in-memory one.
  static Connection open(const std::string& path);
  /// Opens a private in-memory database holding a copy of `image` (what `serialize` gave).
  static Connection openImage(std::span<const unsigned char> image);

  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;
  Connection(Connection&& other) noexcept;
  Connection& operator=(Connection&& other) noexcept;
  ~Connection();

  /// Runs every statement of a script, discarding rows.
  void exec(std::string_view sql);

  /// Prepares the first statement of `sql`. When `rest` is given it receives the text after that
  /// statement; otherwise text other than blanks, comments and semicolons after the first
  /// statement is an error, so that a second statement is never silently ignored.
  Statement prepare(std::string_view sql, std::string_view* rest = nullptr);

  /// A copy of the bytes of the main database, as a file of it would hold them.
  std::vector<unsigned char> serialize() const;

  int64_t lastInsertRowId() const;
  /// Rows changed by the most recent INSERT, UPDATE or DELETE.
  int changes() const;
  /// The raw handle, for what this wrapper does not cover.
  sqlite3* handle() const { return db_; }

 private:
  explicit Connection(sqlite3* db) : db_(db) {}
  sqlite3* db_ = nullptr;
};

/// True when the text holds nothing but blanks, comments and semicolons.
bool isBlankSql(std::string_view sql);

}  // namespace mto::sim::sqlite
