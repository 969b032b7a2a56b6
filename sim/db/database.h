#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "sim/db/sql_values.h"
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

/// The filter of a stock-on-hand read of t_ICInventory: the rows of one material, warehouse,
/// stock place, batch and MTO number (texts compared exactly as stored; '' is free stock).
struct StockFilter {
  int64_t itemId = 0;        // FItemID
  int64_t stockId = 0;       // FStockID
  int64_t stockPlaceId = 0;  // FSPID
  std::string batchNo;       // FBatchNo
  std::string mtoNo;         // FMTONo
  /// Only rows of this auxiliary property; every property when unset.
  std::optional<int64_t> auxPropId;
  /// A shelf life: production date 'YYYY-MM-DD' (FKFDate) and shelf-life days (FKFPeriod).
  struct ShelfLife {
    std::string productionDate;
    int64_t days = 0;
  };
  /// Only rows of this shelf life; any shelf life when unset.
  std::optional<ShelfLife> shelfLife;
};

/// A column of t_ICInventory that the stock-status window filters on.
enum class StockColumn { ItemId, StockId, StockPlaceId, BatchNo, MtoNo, AuxPropId };

/// The inventory column's name as the ERP spells it ("FItemID", "FStockID", "FSPID", "FBatchNo",
/// "FMTONo", "FAuxPropID").
std::string_view stockColumnName(StockColumn column);

/// A stock-status read: the t_ICInventory rows that pass every condition (none: all rows). Each
/// condition keeps the rows whose column equals one of its values (integers for the ID columns,
/// texts for FBatchNo and FMTONo); every value is bound.
struct StockStatusQuery {
  struct Condition {
    StockColumn column = StockColumn::ItemId;
    std::vector<SqlValue> values;
    bool operator==(const Condition&) const = default;
  };
  std::vector<Condition> conditions;
  bool operator==(const StockStatusQuery&) const = default;
};

/// One stock-on-hand row as the stock-status window lists it; quantities in the stock unit.
struct StockStatusRow {
  int64_t itemId = 0;
  std::string itemNumber;  // t_ICItem.FNumber, "" for an unknown material
  std::string itemName;    // t_ICItem.FName
  std::string stockName;   // t_Stock.FName, "" for an unknown warehouse
  std::string placeNumber; // t_StockPlace.FNumber, "" for none
  std::string batchNo;
  std::string mtoNo;
  double qty = 0;
  std::string unitName;    // t_MeasureUnit.FName of the material's stock unit
};

/// What a batch selection looks for: batched stock of one material, narrowed by the columns set.
struct BatchQuery {
  int64_t itemId = 0;
  std::optional<int64_t> stockId;
  std::optional<int64_t> stockPlaceId;
  std::optional<std::string> mtoNo;
  std::optional<int64_t> auxPropId;
};

/// One batch in stock: the sum of its rows under one warehouse, place and shelf life.
struct BatchInStock {
  std::string batchNo;
  int64_t stockId = 0;
  int64_t stockPlaceId = 0;
  std::string productionDate;  // FKFDate 'YYYY-MM-DD'; "" without shelf life
  int64_t shelfLifeDays = 0;   // FKFPeriod
  std::string expiryDate;      // production date plus shelf-life days; "" without shelf life
  double qty = 0;              // in the stock unit
};

/// A material of t_ICItem as the bill list shows it.
struct Material {
  std::string number;         // FNumber, "" when NULL
  std::string name;           // FName, "" when NULL
  int32_t qtyDecimals = 0;    // FQtyDecimal, 0 when NULL
  double secCoefficient = 0;  // FSecCoefficient, 0 when NULL
};

/// The tables of system-profile rows that a scenario may set.
enum class ProfileTable { SystemProfile, RpSystemProfile, PriceOptions };
/// The table of that name ("t_SystemProfile", "t_RP_SystemProfile", "ICPrcOpt", exact case).
std::optional<ProfileTable> profileTableNamed(std::string_view name);

/// The columns of a stored MTO change bill, in the order `Database::insertMtoChange` takes their
/// values. Each column is also the key of the editor field that holds the value.
inline constexpr std::array<std::string_view, 9> kMtoChangeHeadColumns = {
    "FBillNo", "FDate", "FStatus", "FTranType", "FHSID", "FCustID", "FDeptID", "FEmpID", "FExplanation"};
/// The columns of an entry row after its FInterID and FEntryID, which the database fills in.
inline constexpr std::array<std::string_view, 18> kMtoChangeEntryColumns = {
    "FItemID",  "FAuxPropID", "FUnitID",     "FStockID",       "FSPID",         "FBatchNo",
    "FKFDate",  "FKFPeriod",  "FPeriodDate", "FFromMTONo",     "FToMTONo",      "FQty",
    "FBaseQty", "FSecQty",    "FChangeQty",  "FChangeBaseQty", "FChangeSecQty", "FNote"};

/// A stored MTO change bill as read back: the head's values in the order of
/// `kMtoChangeHeadColumns` and each entry's in the order of `kMtoChangeEntryColumns`, entries by
/// FEntryID. Values as in `QueryResult` (a NULL column is Null).
struct StoredMtoChange {
  std::vector<automation::Variant> head;
  std::vector<std::vector<automation::Variant>> entries;
};

/// The simulated ERP database (schema and demo data in sim/db/schema.h), and the one place that
/// speaks SQL: everything else reads and writes through its named methods. Opening a database
/// that has no schema yet creates it and the demo data; a file that already has this build's
/// schema is used as it is. Methods fail with `sqlite::Error` (`findRecord` excepted); a component
/// that answers the plug-in turns that into its error with `reportSqlErrors` (sim/db/sql_error.h).
/// Single-threaded, like the host it serves.
class Database {
 public:
  /// A private database in memory, with the schema and the demo data.
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
  /// Runs the statements of `sql` in order, as the host's connection does for the plug-in, and
  /// returns the result of the last one that yields columns (a query that finds no rows included);
  /// nullopt when none does. A failure stops at the failing statement; what the statements before
  /// it wrote stays.
  std::optional<QueryResult> query(std::string_view sql);

  /// The raw connection, for this room's own tests, which read the seeded tables directly. Other
  /// rooms go through the named methods.
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

  /// The first row of `table` whose `idColumn` equals `id`, all columns; nullopt when none. The
  /// names are quoted as identifiers, so any text names a table or column (an unknown one fails).
  /// A failure is raised through `raiseSqlError` with `errorSource` and the statement's text,
  /// since only this room knows that text.
  std::optional<Record> findRecord(std::string_view table, std::string_view idColumn, const SqlValue& id,
                                   std::string_view errorSource);

  /// Sum of FQty (base units) of the t_ICInventory rows that pass the filter; 0 when none does.
  double stockOnHand(const StockFilter& filter);
  /// FCoefficient of a t_MeasureUnit row; nullopt when there is no row or it is NULL.
  std::optional<double> unitCoefficient(int64_t unitId);
  /// FSecCoefficient of a t_ICItem row; nullopt when there is no row or it is NULL.
  std::optional<double> secondaryCoefficient(int64_t itemId);
  /// FSafetyStock (stock unit) of a t_ICItem row; nullopt when there is no row.
  std::optional<double> safetyStock(int64_t itemId);
  /// The rows of t_ICInventory with a quantity other than 0 that pass the query, with their
  /// material, warehouse, place and unit, ordered by material number, warehouse number, place
  /// number, batch and tracking number.
  std::vector<StockStatusRow> stockStatus(const StockStatusQuery& query);
  /// The batches (non-empty FBatchNo, FQty > 0) that pass the query, the first to expire first:
  /// by expiry date, those without shelf life after those with, then batch, warehouse and place.
  std::vector<BatchInStock> batchesInStock(const BatchQuery& query);
  /// A material of t_ICItem by FItemID; nullopt when none.
  std::optional<Material> findMaterial(int64_t itemId);

  /// Stores a bill head into t_MTOChange (`head`: one value per `kMtoChangeHeadColumns`) and its
  /// entries into t_MTOChangeEntry (each: one value per `kMtoChangeEntryColumns`, numbered
  /// FEntryID 1, 2, ... under the new FInterID). Returns the FInterID. Runs in the caller's
  /// transaction, if any, so that a caller can make the whole bill one (see `Transaction`).
  /// A row of the wrong length raises `std::invalid_argument` before anything is written.
  int64_t insertMtoChange(std::span<const SqlValue> head, std::span<const std::vector<SqlValue>> entries);
  /// The bill of t_MTOChange with this FInterID and its rows of t_MTOChangeEntry; nullopt when
  /// there is no such bill.
  std::optional<StoredMtoChange> findMtoChange(int64_t interId);
  /// The stored bills as the bill list reads them: one row per entry, by FInterID then FEntryID,
  /// with these columns in this order: "FInterID", "FEntryID", "FBillNo", "FDate" (the stored
  /// 'YYYY-MM-DD' text), "FStatus", "FItemID" (the material's ID), "FItemNumber", "FItemName",
  /// "FStockID", "FStockName" (the warehouse's name), "FFromMTONo", "FToMTONo", "FQty",
  /// "FChangeQty", "FSecCoefficient" (the material's) and "FItemID_FQtyDecimal" (the material's
  /// quantity decimals). A bill without entries has no row. The material and warehouse are joined
  /// when they exist; a column of one that does not is Null. Values as in `QueryResult`.
  QueryResult mtoChangeListRows();

  /// Sets a profile row: removes the rows of that category and key, then inserts one with
  /// `value` (nullopt stores NULL).
  void putProfileRow(ProfileTable table, std::string_view category, std::string_view key,
                     const std::optional<std::string>& value);
  /// Removes the profile rows of that category and key; none is not an error.
  void removeProfileRow(ProfileTable table, std::string_view category, std::string_view key);
  /// Grants (or refuses, `allowed` false) a right, replacing the row of the same four keys.
  void putAccessRight(int64_t userId, int64_t objectType, int64_t objectId, int64_t accessMask, bool allowed);

 private:
  friend class Transaction;
  explicit Database(sqlite::Connection connection);
  void ensureSchema(const std::string& where);

  sqlite::Connection connection_;
  bool seeded_ = false;
};

}  // namespace mto::sim
