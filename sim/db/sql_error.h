#pragma once

#include <cstdint>
#include <string_view>
#include <utility>

#include "automation/error.h"
#include "sim/db/sqlite.h"

namespace mto::sim {

/// Error number of a statement that the database refuses or fails to run, as the plug-in sees it.
inline constexpr int32_t kSqlError = automation::errc::kObjectError + 1;

/// The one translation of a database failure into the automation error the plug-in sees: number
/// `kSqlError`, description "SQL error: " + SQLite's message, followed by CR LF "SQL: " + `sql`
/// when `sql` is not empty, and source `source` (the component that answers the plug-in). Always
/// raises `automation::AutomationError`.
[[noreturn]] void raiseSqlError(const sqlite::Error& error, std::string_view source,
                                std::string_view sql = {});

/// Runs `work` and returns what it returns; a database failure inside it is raised again through
/// `raiseSqlError(error, source, sql)`. Any other exception passes unchanged. Callers outside the
/// database room use this instead of catching the database's own error type.
template <typename Work>
decltype(auto) reportSqlErrors(std::string_view source, std::string_view sql, Work&& work) {
  try {
    return std::forward<Work>(work)();
  } catch (const sqlite::Error& error) {
    raiseSqlError(error, source, sql);
  }
}

}  // namespace mto::sim
