#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "sim/db/sqlite.h"

namespace mto::sim {

/// One accounting period; dates are ISO texts 'YYYY-MM-DD' as stored.
struct FiscalPeriod {
  int year = 0;
  int period = 0;
  std::string startDate;
  std::string endDate;
  bool operator==(const FiscalPeriod&) const = default;
};

/// The simulated ERP database (schema and demo data in sim/schema.h). Opening a database that
/// has no schema yet creates it and the demo data; a file that already has this build's schema
/// is used as it is. Errors are `sqlite::Error`.
class Database {
 public:
  static std::unique_ptr<Database> openInMemory();
  /// Opens or creates a database file. A file whose schema version differs from this build's is
  /// refused rather than read with missing tables.
  static std::unique_ptr<Database> openFile(const std::string& path);

  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  /// Whether this open created the schema and the demo data.
  bool wasSeeded() const { return seeded_; }

  /// Runs SQL statements (a scenario's extra rows, say); rows they yield are discarded.
  void execute(std::string_view sql);
  sqlite::Connection& connection() { return connection_; }

  /// The period named by the profile rows IC/CurrentYear and IC/CurrentPeriod; nullopt when a
  /// row is missing or names no period of t_FiscalPeriod.
  std::optional<FiscalPeriod> currentPeriod();
  /// Names the current period; the period need not exist (that makes the current period unset).
  void setCurrentPeriod(int year, int period);

  /// The text of a resource key in a language, when the table holds one.
  std::optional<std::string> resourceText(std::string_view key, std::string_view language);
  /// Whether a right is granted; a missing row refuses.
  bool isAllowed(int userId, int objectType, int objectId, int accessMask);

 private:
  explicit Database(sqlite::Connection connection);
  void ensureSchema(const std::string& where);

  sqlite::Connection connection_;
  bool seeded_ = false;
};

}  // namespace mto::sim
