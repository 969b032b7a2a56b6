// The simulated host's SQLite wrapper (sim/sqlite.h) for Windows, where no SQLite is at hand: every
// Connection is a loopback TCP connection to mto-sql-server (sim/sql_server.cc, which documents the
// protocol) and the database lives there. The address comes from the environment variable
// MTO_SQL_SERVER ("port" or "host:port").
//
// Where it differs from the native wrapper: a statement runs to its end on its first `step` and the
// rows are then read from memory (the simulated host is single-threaded, so nothing else writes to
// the database in between); a binding the statement refuses (an index out of range) is reported by
// that first `step`, not by `bind`.

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "sim/db/sqlite.h"
#include "sqlite3.h"

using nlohmann::json;
using mto::sim::sqlite::Error;

/// One connection to the server; shared by the Connection and its Statements, so that a Statement
/// that outlives its Connection finds it closed rather than gone.
struct sqlite3 {
  SOCKET socket = INVALID_SOCKET;
  std::string received;
  /// Statements dropped since the last request; the next request finalizes them.
  std::vector<int64_t> dropped;
  int64_t changes = 0;
  int64_t lastInsertRowId = 0;
  int refs = 1;
  bool closed = false;

  void close() {
    if (socket != INVALID_SOCKET) closesocket(socket);
    socket = INVALID_SOCKET;
    closed = true;
  }
  void release() {
    if (--refs == 0) delete this;
  }
  void noteCounters(const json& answer) {
    changes = answer.value("changes", changes);
    lastInsertRowId = answer.value("lastInsertRowId", lastInsertRowId);
  }
  /// Sends one request and reads its answer; an answer that is only an error is thrown.
  json request(json message);
};

struct sqlite3_stmt {
  int64_t id = 0;
  std::string sql;
  std::vector<std::string> columns;
  std::map<int, json> bindings;
  bool ran = false;
  json rows = json::array();
  size_t next = 0;
  const json* current = nullptr;
  std::optional<Error> failure;
};

namespace {

Error errorFrom(const json& e) {
  return Error(e.value("code", SQLITE_ERROR), e.value("message", std::string("unknown error")),
               e.value("sql", std::string()));
}

[[noreturn]] void lost(sqlite3* db, const std::string& what) {
  db->close();
  throw Error(SQLITE_IOERR, "lost the SQL server: " + what + " (WSA error " + std::to_string(WSAGetLastError()) + ")");
}

void startWinsock() {
  static std::once_flag once;
  std::call_once(once, [] {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
  });
}

/// MTO_SQL_SERVER as host and port; the host defaults to 127.0.0.1.
std::optional<std::pair<std::string, std::string>> serverAddress() {
  char value[256] = {};
  DWORD length = GetEnvironmentVariableA("MTO_SQL_SERVER", value, sizeof value);
  if (length == 0 || length >= sizeof value) return std::nullopt;
  std::string text(value, length);
  size_t colon = text.rfind(':');
  if (colon == std::string::npos) return std::make_pair(std::string("127.0.0.1"), text);
  return std::make_pair(text.substr(0, colon), text.substr(colon + 1));
}

SOCKET connectTo(const std::string& host, const std::string& port) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(host.c_str(), port.c_str(), &hints, &found) != 0 || !found) return INVALID_SOCKET;
  SOCKET s = socket(found->ai_family, found->ai_socktype, found->ai_protocol);
  if (s != INVALID_SOCKET && connect(s, found->ai_addr, static_cast<int>(found->ai_addrlen)) != 0) {
    closesocket(s);
    s = INVALID_SOCKET;
  }
  freeaddrinfo(found);
  if (s != INVALID_SOCKET) {
    BOOL yes = TRUE;
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&yes), sizeof yes);
  }
  return s;
}

/// SQLite's conversion of a float to a whole number: clamped to the 64-bit range, else truncated.
int64_t wholeOf(double value) {
  if (std::isnan(value)) return 0;
  if (value <= -9223372036854775808.0) return INT64_MIN;
  if (value >= 9223372036854775808.0) return INT64_MAX;
  return static_cast<int64_t>(value);
}

double floatOf(const json& cell) {
  const json& r = cell["r"];
  if (r.is_number()) return r.get<double>();
  // JSON has no infinity: the server writes null, the text still says what it was.
  return std::strtod(cell.value("t", std::string("0")).c_str(), nullptr);
}

std::string unhex(const std::string& digits) {
  std::string out;
  for (size_t i = 0; i + 1 < digits.size(); i += 2) out += static_cast<char>(std::stoi(digits.substr(i, 2), nullptr, 16));
  return out;
}

}  // namespace

json sqlite3::request(json message) {
  if (closed) throw Error(SQLITE_MISUSE, "the connection to the SQL server is closed");
  if (!dropped.empty()) {
    message["finalize"] = dropped;
    dropped.clear();
  }
  std::string line = message.dump(-1, ' ', false, json::error_handler_t::replace) + "\n";
  for (size_t sent = 0; sent < line.size();) {
    int n = send(socket, line.data() + sent, static_cast<int>(line.size() - sent), 0);
    if (n <= 0) lost(this, "cannot send");
    sent += static_cast<size_t>(n);
  }
  size_t end;
  char chunk[65536];
  while ((end = received.find('\n')) == std::string::npos) {
    int n = recv(socket, chunk, sizeof chunk, 0);
    if (n <= 0) lost(this, "no answer");
    received.append(chunk, static_cast<size_t>(n));
  }
  json answer = json::parse(received.begin(), received.begin() + static_cast<std::ptrdiff_t>(end));
  received.erase(0, end + 1);
  if (answer.contains("error") && !answer.contains("rows")) throw errorFrom(answer["error"]);
  return answer;
}

extern "C" int sqlite3_exec(sqlite3* db, const char* sql, int (*callback)(void*, int, char**, char**), void*,
                            char** errmsg) {
  if (errmsg) *errmsg = nullptr;
  if (!db || callback) return SQLITE_MISUSE;
  try {
    db->noteCounters(db->request({{"op", "exec"}, {"sql", sql ? sql : ""}}));
    return SQLITE_OK;
  } catch (const Error& e) {
    if (errmsg) {
      *errmsg = static_cast<char*>(std::malloc(e.message().size() + 1));
      if (*errmsg) std::memcpy(*errmsg, e.message().c_str(), e.message().size() + 1);
    }
    return e.code();
  } catch (const std::exception&) {
    return SQLITE_ERROR;
  }
}

extern "C" void sqlite3_free(void* memory) { std::free(memory); }

namespace mto::sim::sqlite {

// --- Statement ---

Statement::Statement(Statement&& other) noexcept
    : db_(std::exchange(other.db_, nullptr)), stmt_(std::exchange(other.stmt_, nullptr)) {}

namespace {
/// Forgets a statement; the server finalizes it with the next request.
void drop(sqlite3* db, sqlite3_stmt* stmt) {
  if (!stmt) return;
  if (!db->closed) db->dropped.push_back(stmt->id);
  delete stmt;
  db->release();
}
}  // namespace

Statement& Statement::operator=(Statement&& other) noexcept {
  if (this != &other) {
    drop(db_, stmt_);
    db_ = std::exchange(other.db_, nullptr);
    stmt_ = std::exchange(other.stmt_, nullptr);
  }
  return *this;
}

Statement::~Statement() { drop(db_, stmt_); }

std::string Statement::sql() const { return stmt_ ? stmt_->sql : ""; }

void Statement::check(int rc) const {
  if (rc != SQLITE_OK) throw Error(rc, "SQL error", sql());
}

void Statement::checkColumn(int column) const {
  if (column < 0 || column >= columnCount())
    throw Error(SQLITE_RANGE, "column index " + std::to_string(column) + " out of range", sql());
}

Statement& Statement::bindNull(int index) {
  if (!stmt_) throw Error(SQLITE_RANGE, "bind on an empty statement");
  stmt_->bindings[index] = nullptr;
  return *this;
}

Statement& Statement::bind(int index, int64_t value) {
  if (!stmt_) throw Error(SQLITE_RANGE, "bind on an empty statement");
  stmt_->bindings[index] = value;
  return *this;
}

Statement& Statement::bind(int index, double value) {
  if (!stmt_) throw Error(SQLITE_RANGE, "bind on an empty statement");
  stmt_->bindings[index] = value;
  return *this;
}

Statement& Statement::bind(int index, std::string_view value) {
  if (!stmt_) throw Error(SQLITE_RANGE, "bind on an empty statement");
  stmt_->bindings[index] = std::string(value);
  return *this;
}

bool Statement::step() {
  if (!stmt_) return false;
  sqlite3_stmt& s = *stmt_;
  if (!s.ran) {
    json bind = json::array();
    for (const auto& [index, value] : s.bindings) bind.push_back(json::array({index, value}));
    json answer = db_->request({{"op", "run"}, {"id", s.id}, {"bind", bind}});
    db_->noteCounters(answer);
    s.rows = std::move(answer["rows"]);
    s.next = 0;
    if (answer.contains("error")) s.failure = errorFrom(answer["error"]);
    s.ran = true;
  }
  if (s.next < s.rows.size()) {
    s.current = &s.rows[s.next++];
    return true;
  }
  // Done (or failed): the next step runs the statement again, as SQLite's automatic reset does.
  reset();
  if (s.failure) {
    Error failure = *s.failure;
    s.failure.reset();
    throw failure;
  }
  return false;
}

void Statement::reset() {
  if (!stmt_) return;
  stmt_->ran = false;
  stmt_->rows = json::array();
  stmt_->next = 0;
  stmt_->current = nullptr;
}

void Statement::clearBindings() {
  if (stmt_) stmt_->bindings.clear();
}

int Statement::columnCount() const { return stmt_ ? static_cast<int>(stmt_->columns.size()) : 0; }

std::string Statement::columnName(int column) const {
  checkColumn(column);
  return stmt_->columns[static_cast<size_t>(column)];
}

namespace {
const json& cellOf(const sqlite3_stmt& s, int column) {
  static const json none;
  if (!s.current) return none;
  return (*s.current)[static_cast<size_t>(column)];
}
}  // namespace

ColumnType Statement::columnType(int column) const {
  checkColumn(column);
  const json& cell = cellOf(*stmt_, column);
  if (cell.is_null()) return ColumnType::Null;
  if (cell.is_number()) return ColumnType::Integer;
  if (cell.contains("b")) return ColumnType::Blob;
  if (cell.contains("i")) return ColumnType::Text;
  return ColumnType::Float;
}

int64_t Statement::columnInt64(int column) const {
  checkColumn(column);
  const json& cell = cellOf(*stmt_, column);
  if (cell.is_null()) return 0;
  if (cell.is_number()) return cell.get<int64_t>();
  if (cell.contains("i")) return cell["i"].get<int64_t>();
  return wholeOf(floatOf(cell));
}

double Statement::columnDouble(int column) const {
  checkColumn(column);
  const json& cell = cellOf(*stmt_, column);
  if (cell.is_null()) return 0.0;
  if (cell.is_number()) return static_cast<double>(cell.get<int64_t>());
  return floatOf(cell);
}

std::string Statement::columnText(int column) const {
  checkColumn(column);
  const json& cell = cellOf(*stmt_, column);
  if (cell.is_null()) return {};
  if (cell.is_number()) return std::to_string(cell.get<int64_t>());
  if (cell.contains("b")) return unhex(cell["b"].get<std::string>());
  return cell["t"].get<std::string>();
}

// --- Connection ---

Connection Connection::open(const std::string& path) {
  startWinsock();
  auto address = serverAddress();
  if (!address) throw Error(SQLITE_CANTOPEN, "cannot open database \"" + path + "\": MTO_SQL_SERVER is not set");
  SOCKET s = connectTo(address->first, address->second);
  if (s == INVALID_SOCKET)
    throw Error(SQLITE_CANTOPEN, "cannot open database \"" + path + "\": no SQL server at " + address->first + ":" +
                                     address->second);
  auto* db = new sqlite3;
  db->socket = s;
  Connection connection(db);
  db->request({{"op", "open"}, {"path", path}});
  return connection;
}

Connection::Connection(Connection&& other) noexcept : db_(std::exchange(other.db_, nullptr)) {}

namespace {
/// Closes the socket; the connection's memory goes with its last statement.
void closeConnection(sqlite3* db) {
  if (!db) return;
  db->close();
  db->release();
}
}  // namespace

Connection& Connection::operator=(Connection&& other) noexcept {
  if (this != &other) {
    closeConnection(db_);
    db_ = std::exchange(other.db_, nullptr);
  }
  return *this;
}

Connection::~Connection() { closeConnection(db_); }

void Connection::exec(std::string_view sql) {
  if (!db_) throw Error(SQLITE_MISUSE, "connection is closed", std::string(sql));
  db_->noteCounters(db_->request({{"op", "exec"}, {"sql", std::string(sql)}}));
}

Statement Connection::prepare(std::string_view sql, std::string_view* rest) {
  if (!db_) throw Error(SQLITE_MISUSE, "connection is closed", std::string(sql));
  json answer = db_->request({{"op", "prepare"}, {"sql", std::string(sql)}});
  sqlite3_stmt* made = nullptr;
  if (int64_t id = answer.value("id", int64_t{0})) {
    made = new sqlite3_stmt;
    made->id = id;
    made->sql = answer.value("sql", std::string());
    for (const auto& name : answer["columns"]) made->columns.push_back(name.get<std::string>());
    ++db_->refs;
  }
  Statement result(db_, made);
  std::string_view remaining = sql.substr(std::min(sql.size(), answer.value("used", size_t{0})));
  if (rest) {
    *rest = remaining;
  } else if (!isBlankSql(remaining)) {
    throw Error(SQLITE_MISUSE, "more than one statement in the text", std::string(sql));
  }
  return result;
}

int64_t Connection::lastInsertRowId() const { return db_ ? db_->lastInsertRowId : 0; }

int Connection::changes() const { return db_ ? static_cast<int>(db_->changes) : 0; }

}  // namespace mto::sim::sqlite
