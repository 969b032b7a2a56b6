#include "sim/db/sqlite.h"

// The parts of the wrapper that do not depend on how statements run: the native build links them
// with sqlite.cc, the Windows test host with its remote implementation.

namespace mto::sim::sqlite {

namespace {
std::string describeError(const std::string& message, const std::string& sql) {
  if (sql.empty()) return message;
  return message + " (SQL: " + sql + ")";
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

}  // namespace mto::sim::sqlite
