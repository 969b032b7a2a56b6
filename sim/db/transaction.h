#pragma once

namespace mto::sim {

class Database;

/// One transaction on a database, owned by the scope that made it: the constructor begins it and
/// the destructor rolls it back unless `commit` went through, so that an exception leaves none of
/// its writes behind. Transactions do not nest; the Database must outlive the guard.
class Transaction {
 public:
  /// Begins the transaction; raises `sqlite::Error` when the database refuses (one is open already).
  explicit Transaction(Database& database);
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;
  /// Rolls back when not committed. A failing rollback is ignored: there is nobody to report it to,
  /// and SQLite has then rolled the transaction back on its own.
  ~Transaction();

  /// Makes the writes permanent; raises `sqlite::Error` when the commit fails, and the destructor
  /// then still rolls back.
  void commit();

 private:
  Database& database_;
  bool committed_ = false;
};

}  // namespace mto::sim
