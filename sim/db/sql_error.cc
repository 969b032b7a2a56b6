#include "sim/db/sql_error.h"

#include <string>

namespace mto::sim {

void raiseSqlError(const sqlite::Error& error, std::string_view source, std::string_view sql) {
  std::string description = "SQL error: " + error.message();
  if (!sql.empty()) description += "\r\nSQL: " + std::string(sql);
  automation::raiseError(kSqlError, std::move(description), std::string(source));
}

}  // namespace mto::sim
