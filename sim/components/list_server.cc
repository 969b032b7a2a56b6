#include "sim/components/list_server.h"

#include <charconv>
#include <optional>
#include <string>

#include "automation/dates.h"
#include "host/contract.h"
#include "sim/db/sql_error.h"

namespace mto::sim {

namespace {

constexpr std::string_view kSource = host::progid::kListServer;

/// 'YYYY-MM-DD' as the period table stores it.
std::optional<automation::Date> isoDate(std::string_view text) {
  int parts[3] = {};
  size_t pos = 0;
  for (int i = 0; i < 3; ++i) {
    if (i > 0) {
      if (pos >= text.size() || text[pos] != '-') return std::nullopt;
      ++pos;
    }
    auto [end, ec] = std::from_chars(text.data() + pos, text.data() + text.size(), parts[i]);
    if (ec != std::errc()) return std::nullopt;
    pos = static_cast<size_t>(end - text.data());
  }
  if (pos != text.size()) return std::nullopt;
  try {
    return automation::makeDate(parts[0], parts[1], parts[2]);
  } catch (const automation::AutomationError&) {
    return std::nullopt;
  }
}

automation::Date periodDate(const std::string& text, const FiscalPeriod& period) {
  auto date = isoDate(text);
  if (!date) {
    automation::raiseError(kNoCurrentPeriod,
                           "Period " + std::to_string(period.year) + "/" + std::to_string(period.period) +
                               " has the date '" + text + "', which is not YYYY-MM-DD",
                           std::string(kSource));
  }
  return *date;
}

}  // namespace

ListServer::Period ListServer::currentPeriod() {
  auto current = reportSqlErrors(kSource, {}, [&] { return database_->currentPeriod(); });
  if (!current) {
    automation::raiseError(kNoCurrentPeriod,
                           "No current accounting period: the system profile rows IC/CurrentYear and "
                           "IC/CurrentPeriod must name a period of t_FiscalPeriod",
                           std::string(kSource));
  }
  return Period{current->year, current->period, periodDate(current->startDate, *current),
                periodDate(current->endDate, *current)};
}

const MemberTable<ListServer>& ListServer::members() {
  static const MemberTable<ListServer> table = [] {
    MemberTable<ListServer> t("clsListServer");
    t.add("GetCurPeriod", [](ListServer& self, CallKind, Args args) -> Variant {
      if (args.size() != 4 && args.size() != 5) {
        automation::raiseError(automation::errc::kWrongArgumentCount, {}, std::string(kSource));
      }
      // Read everything before writing anything, so that a failure leaves the caller's variables alone.
      Period period = self.currentPeriod();
      size_t first = args.size() - 4;
      args[first].assign(period.year);
      args[first + 1].assign(period.period);
      args[first + 2].assign(period.start);
      args[first + 3].assign(period.end);
      return {};
    });
    return t;
  }();
  return table;
}

}  // namespace mto::sim
