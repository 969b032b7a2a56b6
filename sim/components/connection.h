#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "automation/platform.h"
#include "sim/components/recordset.h"
#include "sim/db/database.h"
#include "sim/db/sql_error.h"
#include "sim/runtime/host_object.h"

namespace mto::sim {

/// The host's connection component ("T8Connection.AppConnection"): runs SQL on the simulated
/// database. The Database must outlive every connection made over it.
///
/// Members:
/// - "GetAnyRecordset" (sql): a Recordset of the result. The text may hold several statements;
///   they run in order and the result is that of the last one that yields columns. With no such
///   statement the Recordset has no fields and no records.
/// - "Execute" (sql): runs the statements in the same way; the result is the Recordset of the
///   last statement that yields columns (a query returns one even when it finds no rows), or
///   Nothing when no statement yields columns (INSERT, UPDATE, DELETE, DDL).
/// Line ends (CR LF included) are blanks to SQLite, so the plug-in's text runs as it is sent.
/// A statement that fails raises `kSqlError` (sim/db/sql_error.h) with the whole text sent and the
/// component's ProgID as source.
class AppConnection : public HostObject<AppConnection> {
 public:
  static const MemberTable<AppConnection>& members();
  explicit AppConnection(Database& database) : database_(&database) {}

  std::shared_ptr<Recordset> getAnyRecordset(std::string_view sql);
  /// nullptr when no statement yields columns.
  std::shared_ptr<Recordset> execute(std::string_view sql);

 private:
  Database* database_;
};

/// Registers the connection ("T8Connection.AppConnection") and the list server
/// ("T8ListServer.clsListServer"); each creation makes a fresh object over `database`, which must
/// outlive the registration and every object created from it.
void registerDataComponents(automation::RegistryPlatform& platform, Database& database);

}  // namespace mto::sim
