// mto-sql-server: the simulated host's database, served over a loopback TCP socket to a simulated
// host that has no SQLite of its own (the Windows test host under Wine, com/sim_remote).
//
// Each TCP connection is one database connection. Requests and answers are JSON objects, one per
// line, one answer per request, in order:
//
//   {"op": "open", "path": ":memory:"}             -> {}
//   {"op": "exec", "sql": "..."}                   -> {"changes": n, "lastInsertRowId": n}
//   {"op": "prepare", "sql": "..."}                -> {"id": n, "used": bytes, "sql": "...", "columns":
//   [...]}
//   {"op": "run", "id": n, "bind": [[index, value], ...]}
//                                                  -> {"rows": [[cell, ...], ...], "changes": n,
//                                                      "lastInsertRowId": n[, "error": {...}]}
//
// A failed request answers {"error": {"code": n, "message": "...", "sql": "..."}} (SQLite's
// extended result code, its message, the SQL involved). "prepare" prepares the first statement of
// the text; "used" is the byte length it took (what follows is the rest), "id" 0 means the text was
// blank. "run" binds the values (null, whole number, number with a fraction, text), steps the
// statement to its end and resets it; a failing step answers the rows before it and the error.
// A cell is null, a whole number (integer), or an object: {"r": double, "t": text} for a float,
// {"t": text, "i": n, "r": double} for text, {"b": hex, "i": n, "r": double} for a blob, where
// "i" and "r" are SQLite's own conversions. Any request may carry "finalize": [ids] of statements
// the client dropped. The server prints "listening on 127.0.0.1:PORT" when it is ready.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sqlite3.h>
#include <sys/socket.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstring>
#include <iostream>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <thread>

#include "sim/db/sqlite.h"

namespace {

using mto::sim::sqlite::ColumnType;
using mto::sim::sqlite::Connection;
using mto::sim::sqlite::Error;
using mto::sim::sqlite::Statement;
using nlohmann::json;

json errorJson(const Error& e) {
  return {{"code", e.code()}, {"message", e.message()}, {"sql", e.sql()}};
}

std::string hex(const std::string& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

/// One cell of the current row, as the protocol writes it.
json cellJson(Statement& statement, int column) {
  switch (statement.columnType(column)) {
    case ColumnType::Null:
      return nullptr;
    case ColumnType::Integer:
      return statement.columnInt64(column);
    case ColumnType::Float: {
      double value = statement.columnDouble(column);
      return {{"r", value}, {"t", statement.columnText(column)}};
    }
    case ColumnType::Text: {
      int64_t whole = statement.columnInt64(column);
      double value = statement.columnDouble(column);
      return {{"t", statement.columnText(column)}, {"i", whole}, {"r", value}};
    }
    case ColumnType::Blob: {
      int64_t whole = statement.columnInt64(column);
      double value = statement.columnDouble(column);
      return {{"b", hex(statement.columnText(column))}, {"i", whole}, {"r", value}};
    }
  }
  return nullptr;
}

/// The database connection of one client and the statements it prepared.
class Session {
 public:
  json handle(const json& request) {
    if (request.contains("finalize"))
      for (const auto& id : request["finalize"]) statements_.erase(id.get<int64_t>());
    const std::string op = request.at("op").get<std::string>();
    if (op == "open") {
      connection_.emplace(Connection::open(request.at("path").get<std::string>()));
      return json::object();
    }
    if (!connection_) throw Error(SQLITE_MISUSE, "no database is open");
    if (op == "exec") {
      connection_->exec(request.at("sql").get<std::string>());
      return counters(json::object());
    }
    if (op == "prepare") return prepare(request.at("sql").get<std::string>());
    if (op == "run") return run(request.at("id").get<int64_t>(), request.value("bind", json::array()));
    throw Error(SQLITE_MISUSE, "unknown request \"" + op + "\"");
  }

 private:
  json counters(json answer) {
    answer["changes"] = connection_->changes();
    answer["lastInsertRowId"] = connection_->lastInsertRowId();
    return answer;
  }

  json prepare(const std::string& sql) {
    std::string_view rest;
    Statement statement = connection_->prepare(sql, &rest);
    json answer = {{"used", sql.size() - rest.size()}, {"sql", statement.sql()}};
    json columns = json::array();
    for (int i = 0; i < statement.columnCount(); ++i) columns.push_back(statement.columnName(i));
    answer["columns"] = columns;
    if (statement.isEmpty()) {
      answer["id"] = 0;
    } else {
      answer["id"] = nextId_;
      statements_.emplace(nextId_++, std::move(statement));
    }
    return answer;
  }

  json run(int64_t id, const json& bindings) {
    auto found = statements_.find(id);
    if (found == statements_.end()) throw Error(SQLITE_MISUSE, "no statement " + std::to_string(id));
    Statement& statement = found->second;
    statement.reset();
    statement.clearBindings();
    for (const auto& binding : bindings) {
      int index = binding.at(0).get<int>();
      const json& value = binding.at(1);
      if (value.is_null())
        statement.bindNull(index);
      else if (value.is_number_float())
        statement.bind(index, value.get<double>());
      else if (value.is_number())
        statement.bind(index, value.get<int64_t>());
      else
        statement.bind(index, value.get<std::string>());
    }
    json rows = json::array();
    json answer;
    try {
      while (statement.step()) {
        json row = json::array();
        for (int i = 0; i < statement.columnCount(); ++i) row.push_back(cellJson(statement, i));
        rows.push_back(std::move(row));
      }
      statement.reset();
    } catch (const Error& e) {
      answer["error"] = errorJson(e);
    }
    answer["rows"] = std::move(rows);
    return counters(std::move(answer));
  }

  std::optional<Connection> connection_;
  std::map<int64_t, Statement> statements_;
  int64_t nextId_ = 1;
};

bool sendAll(int fd, const std::string& data) {
  size_t sent = 0;
  while (sent < data.size()) {
    ssize_t n = ::send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

void serve(int fd) {
  Session session;
  std::string buffer;
  char chunk[65536];
  for (;;) {
    size_t end;
    while ((end = buffer.find('\n')) == std::string::npos) {
      ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        ::close(fd);
        return;
      }
      buffer.append(chunk, static_cast<size_t>(n));
    }
    std::string line = buffer.substr(0, end);
    buffer.erase(0, end + 1);
    json answer;
    try {
      answer = session.handle(json::parse(line));
    } catch (const Error& e) {
      answer = {{"error", errorJson(e)}};
    } catch (const std::exception& e) {
      answer = {
          {"error",
           {{"code", SQLITE_MISUSE}, {"message", std::string("bad request: ") + e.what()}, {"sql", ""}}}};
    }
    // Text that is not UTF-8 cannot travel in JSON; it arrives with U+FFFD in its place.
    if (!sendAll(fd, answer.dump(-1, ' ', false, json::error_handler_t::replace) + "\n")) {
      ::close(fd);
      return;
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"SQL server of the simulated host's database, for a simulated host without SQLite"};
  int port = 0;
  app.add_option("--port", port, "TCP port on 127.0.0.1; 0 picks a free one")->capture_default_str();
  CLI11_PARSE(app, argc, argv);

  int listener = ::socket(AF_INET, SOCK_STREAM, 0);
  if (listener < 0) {
    std::cerr << "socket: " << std::strerror(errno) << "\n";
    return 2;
  }
  int yes = 1;
  ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<uint16_t>(port));
  if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listener, 16) != 0) {
    std::cerr << "cannot listen on port " << port << ": " << std::strerror(errno) << "\n";
    return 2;
  }
  socklen_t length = sizeof address;
  ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
  std::cout << "listening on 127.0.0.1:" << ntohs(address.sin_port) << std::endl;

  for (;;) {
    int client = ::accept(listener, nullptr, nullptr);
    if (client < 0) {
      if (errno == EINTR || errno == ECONNABORTED) continue;
      std::cerr << "accept: " << std::strerror(errno) << "\n";
      return 2;
    }
    ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
    std::thread(serve, client).detach();
  }
}
