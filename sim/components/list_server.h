#pragma once

#include <cstdint>

#include "automation/error.h"
#include "automation/variant.h"
#include "sim/db/database.h"
#include "sim/runtime/host_object.h"

namespace mto::sim {

/// Error number of `GetCurPeriod` when the database names no current period.
inline constexpr int32_t kNoCurrentPeriod = automation::errc::kObjectError + 2;

/// The host's list server ("T8ListServer.clsListServer"): answers the current accounting period
/// from the simulated database. The Database must outlive the object.
///
/// Member "GetCurPeriod": called with the login property string (by value, not read) followed
/// by four variables, or with the four variables alone; it assigns them the current year (Long),
/// period number (Long), first day and last day (Date) of the current period. By-value
/// arguments are accepted but nothing reaches the caller through them. With no current period
/// (see `Database::currentPeriod`) it raises `kNoCurrentPeriod` and assigns nothing; a database
/// failure raises `kSqlError`.
class ListServer : public HostObject<ListServer> {
 public:
  struct Period {
    int32_t year = 0;
    int32_t period = 0;
    automation::Date start;
    automation::Date end;
  };

  static const MemberTable<ListServer>& members();
  explicit ListServer(Database& database) : database_(&database) {}

  /// The current period as `GetCurPeriod` reports it; raises as it does.
  Period currentPeriod();

 private:
  Database* database_;
};

}  // namespace mto::sim
