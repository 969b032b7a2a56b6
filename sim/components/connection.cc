#include "sim/components/connection.h"

#include <string>

#include "automation/convert.h"
#include "host/contract.h"
#include "sim/components/list_server.h"

namespace mto::sim {

namespace {

constexpr std::string_view kSource = host::progid::kConnection;

/// Runs every statement of `sql`; the result of the last statement that yields columns.
std::shared_ptr<Recordset> runStatements(Database& database, std::string_view sql) {
  auto result = reportSqlErrors(kSource, sql, [&] { return database.query(sql); });
  return result ? Recordset::fromResult(std::move(*result)) : nullptr;
}

std::string sqlArgument(Args args) {
  const Variant& sql = HostObjectBase::requiredArg(args, 0);
  return sql.isString() ? sql.stringValue() : automation::toText(sql);
}

}  // namespace

std::shared_ptr<Recordset> AppConnection::getAnyRecordset(std::string_view sql) {
  auto result = runStatements(*database_, sql);
  return result ? result : Recordset::create({}, {});
}

std::shared_ptr<Recordset> AppConnection::execute(std::string_view sql) {
  return runStatements(*database_, sql);
}

const MemberTable<AppConnection>& AppConnection::members() {
  static const MemberTable<AppConnection> table = [] {
    MemberTable<AppConnection> t("AppConnection");
    t.add("GetAnyRecordset", [](AppConnection& self, CallKind, Args args) -> Variant {
      return self.getAnyRecordset(sqlArgument(args));
    });
    t.add("Execute", [](AppConnection& self, CallKind, Args args) -> Variant {
      auto result = self.execute(sqlArgument(args));
      if (!result) return Variant(nullptr);
      return result;
    });
    return t;
  }();
  return table;
}

void registerDataComponents(automation::RegistryPlatform& platform, Database& database) {
  Database* db = &database;
  platform.registerFactory(std::string(host::progid::kConnection),
                           [db] { return std::make_shared<AppConnection>(*db); });
  platform.registerFactory(std::string(host::progid::kListServer),
                           [db] { return std::make_shared<ListServer>(*db); });
}

}  // namespace mto::sim
