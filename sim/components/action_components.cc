#include "sim/components/action_components.h"

#include <charconv>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "automation/ascii.h"
#include "automation/convert.h"
#include "automation/dates.h"
#include "host/contract.h"
#include "sim/components/collections.h"
#include "sim/components/stock_status_filter.h"
#include "sim/runtime/host_object.h"
#include "sim/runtime/member_helpers.h"

namespace mto::sim {

namespace {

constexpr std::string_view kBatchActionName = "Batch_F7Action";
constexpr std::string_view kStockQtyActionName = "WEXSer_GetStockQtyAndSecurityQty";

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

bool isBlank(const Variant& v) {
  return v.isEmpty() || v.isNull() || v.isMissing() || (v.isString() && v.stringValue().empty());
}

/// An ID as a cell holds it (a number, or a text starting with one); 0 when blank.
int64_t idOf(const Variant& v) {
  if (isBlank(v) || v.isObject()) return 0;
  return recordIdOf(v);
}

/// A quantity in its shortest exact text, as a user reads it ("60.125", "240").
std::string quantityText(double qty) {
  char text[32];
  auto [end, ec] = std::to_chars(text, text + sizeof text, qty);
  return ec == std::errc() ? std::string(text, end) : std::to_string(qty);
}

/// A date cell as 'YYYY-MM-DD'; nullopt when blank or not a date.
std::optional<std::string> isoDateOf(const Variant& v) {
  if (isBlank(v)) return std::nullopt;
  if (v.isString() && v.stringValue().size() == 10 && v.stringValue()[4] == '-') return v.stringValue();
  if (!v.isDate() && !automation::isDate(v)) return std::nullopt;
  auto parts = automation::dateParts(automation::toDate(v));
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", parts.year, parts.month, parts.day);
  return std::string(text);
}

std::shared_ptr<Dictionary> dictionaryOf(const Variant& v) {
  return v.isObject() ? std::dynamic_pointer_cast<Dictionary>(v.objectValue()) : nullptr;
}

std::string rowCountText(size_t count) {
  return count == 1 ? "1 row" : std::to_string(count) + " rows";
}

class StockStatusWindow : public HostObject<StockStatusWindow> {
 public:
  StockStatusWindow(Environment& env, Database& db) : env_(env), db_(db) {}
  static const MemberTable<StockStatusWindow>& members() {
    static const MemberTable<StockStatusWindow> table = [] {
      MemberTable<StockStatusWindow> t("SSFace");
      t.add("ShowByBill", [](StockStatusWindow& self, CallKind, Args args) -> Variant {
        std::string filter = automation::toText(requiredArg(args, 0));
        StockStatusQuery query;
        try {
          query = parseStockStatusFilter(filter);
        } catch (const automation::AutomationError& error) {
          // A refused filter lists nothing; the record says why before the error reaches the caller.
          HostActionRecord record{std::string(host::progid::kStockStatus), "ShowByBill", filter, {}};
          record.outcome = error.info().description;
          self.env_.hostActions.push_back(std::move(record));
          throw;
        }
        self.show("ShowByBill", filter, query);
        return {};
      });
      t.add("Show", [](StockStatusWindow& self, CallKind, Args) -> Variant {
        self.show("Show", "", {});
        return {};
      });
      return t;
    }();
    return table;
  }

 private:
  void show(std::string call, std::string detail, const StockStatusQuery& query) {
    HostActionRecord record{std::string(host::progid::kStockStatus), std::move(call), std::move(detail), {}};
    for (auto& row : db_.stockStatus(query))
      record.stockRows.push_back({row.itemId, std::move(row.itemNumber), std::move(row.itemName),
                                  std::move(row.stockName), std::move(row.placeNumber),
                                  std::move(row.batchNo), std::move(row.mtoNo), row.qty,
                                  std::move(row.unitName)});
    record.outcome = rowCountText(record.stockRows.size());
    env_.hostActions.push_back(std::move(record));
  }

  Environment& env_;
  Database& db_;
};

/// "A=B;C=D" -> the value of `name` (compared without case); "" when absent.
std::string pairValue(std::string_view text, std::string_view name) {
  while (!text.empty()) {
    auto semi = text.find(';');
    std::string_view part = text.substr(0, semi);
    if (auto eq = part.find('=');
        eq != std::string_view::npos && automation::ascii::equalsIgnoreCase(part.substr(0, eq), name))
      return std::string(part.substr(eq + 1));
    if (semi == std::string_view::npos) break;
    text.remove_prefix(semi + 1);
  }
  return {};
}

/// The row fields a batch selection filters on: the "BatchFilter" list of the parameters'
/// "Paramenters" text, or the source tracking number alone.
std::vector<std::string> batchFilterFields(const Dictionary* parameters) {
  std::string list;
  if (parameters) list = pairValue(automation::toText(parameters->at("Paramenters")), "BatchFilter");
  if (list.empty()) return {"FFromMTONo"};
  std::vector<std::string> fields;
  std::string_view rest = list;
  while (!rest.empty()) {
    auto comma = rest.find(',');
    std::string_view field = trimmed(rest.substr(0, comma));
    if (!field.empty()) fields.emplace_back(field);
    if (comma == std::string_view::npos) break;
    rest.remove_prefix(comma + 1);
  }
  return fields;
}

class ActionRunner : public HostObject<ActionRunner> {
 public:
  ActionRunner(Environment& env, std::string progId) : env_(env), progId_(std::move(progId)) {}
  static const MemberTable<ActionRunner>& members() {
    static const MemberTable<ActionRunner> table = [] {
      MemberTable<ActionRunner> t("clsDoAction");
      t.add("SetInterface", [](ActionRunner& self, CallKind, Args args) -> Variant {
        self.interface_ = requiredArg(args, 0);
        return {};
      });
      t.add("DataSrv", [](ActionRunner& self, CallKind kind, Args args) -> Variant {
        if (isPut(kind)) {
          self.dataSrv_ = putValue(args);
          return {};
        }
        return self.dataSrv_;
      });
      t.add("DoAction", [](ActionRunner& self, CallKind, Args args) -> Variant {
        self.doAction(automation::toText(requiredArg(args, 0)), requiredArg(args, 1), arg(args, 2));
        return {};
      });
      return t;
    }();
    return table;
  }

 private:
  void doAction(std::string name, const Variant& parametersArg, const Variant& resultsArg) {
    HostActionRecord record{progId_, "DoAction", name, {}};
    auto parameters = dictionaryOf(parametersArg);
    if (parameters)
      for (const auto& [key, value] : parameters->entries()) {
        record.parameterKeys.push_back(key);
        record.parameterValues.push_back(value);
      }
    record.interfaceSet = interface_.isObject() && interface_.objectValue();
    record.dataSrvSet = dataSrv_.isObject() && dataSrv_.objectValue();
    auto results = dictionaryOf(resultsArg);
    ActionBill* bill =
        record.interfaceSet ? dynamic_cast<ActionBill*>(interface_.objectValue().get()) : nullptr;

    bool batch = progId_ == host::progid::kBatchAction;
    std::string_view own = batch ? kBatchActionName : kStockQtyActionName;
    if (!automation::ascii::equalsIgnoreCase(name, own))
      record.outcome = "action \"" + name + "\" is not one of this runner's: nothing done";
    else if (!bill)
      record.outcome = "no bill was handed to SetInterface: nothing done";
    else if (batch)
      record.outcome = pickBatch(*bill, parameters.get(), results.get());
    else
      record.outcome = fillStockQty(*bill, parameters.get(), results.get());
    env_.hostActions.push_back(std::move(record));
  }

  /// Writes the first batch to expire into the active grid row; returns the outcome.
  static std::string pickBatch(ActionBill& bill, const Dictionary* parameters, Dictionary* results) {
    auto row = bill.activeEntryRow();
    if (!row) return "no active entry row: nothing written";
    std::string at = "row " + std::to_string(*row);
    BatchQuery query;
    query.itemId = idOf(bill.entryValue("FItemID", *row));
    if (query.itemId == 0) return at + " has no material: nothing written";
    std::string narrowed;
    for (const auto& field : batchFilterFields(parameters)) {
      Variant v = bill.entryValue(field, *row);
      if (automation::ascii::equalsIgnoreCase(field, "FFromMTONo")) {
        if (isBlank(v)) continue;
        query.mtoNo = automation::toText(v);
        narrowed += " under " + *query.mtoNo;
        continue;
      }
      int64_t id = idOf(v);
      if (id == 0) continue;
      if (automation::ascii::equalsIgnoreCase(field, "FStockID")) {
        query.stockId = id;
        narrowed += " in warehouse " + std::to_string(id);
      } else if (automation::ascii::equalsIgnoreCase(field, "FSPID")) {
        query.stockPlaceId = id;
        narrowed += " at place " + std::to_string(id);
      } else if (automation::ascii::equalsIgnoreCase(field, "FAuxPropID")) {
        query.auxPropId = id;
        narrowed += " of property " + std::to_string(id);
      }
    }
    auto batches = bill.database().batchesInStock(query);
    if (batches.empty())
      return "no batch of material " + std::to_string(query.itemId) + " in stock" + narrowed +
             ": nothing written";
    const BatchInStock& chosen = batches.front();
    bill.writeEntryValue("FBatchNo", *row, chosen.batchNo);
    bill.writeEntryValue("FStockID", *row, Variant(static_cast<int32_t>(chosen.stockId)));
    bill.writeEntryValue("FSPID", *row, Variant(static_cast<int32_t>(chosen.stockPlaceId)));
    if (!chosen.productionDate.empty()) {
      bill.writeEntryValue("FKFDate", *row, chosen.productionDate);
      bill.writeEntryValue("FKFPeriod", *row, Variant(static_cast<int32_t>(chosen.shelfLifeDays)));
      bill.writeEntryValue("FPeriodDate", *row, chosen.expiryDate);
    }
    if (results) {
      results->set("FBatchNo", chosen.batchNo);
      results->set("FQty", chosen.qty);
    }
    return at + ": batch " + chosen.batchNo;
  }

  /// Writes the stock on hand and the safety stock of the row "NewRow"; returns the outcome.
  static std::string fillStockQty(ActionBill& bill, const Dictionary* parameters, Dictionary* results) {
    std::string rowText = parameters ? automation::toText(parameters->at("NewRow")) : std::string();
    std::string_view digits = trimmed(rowText);
    int32_t row = 0;
    auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), row);
    if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size() || row < 1 ||
        row > bill.entryRowCount())
      return "row \"" + rowText + "\" is not an entry row of the bill: nothing written";
    std::string at = "row " + std::to_string(row);
    StockFilter filter;
    filter.itemId = idOf(bill.entryValue("FItemID", row));
    if (filter.itemId == 0) return at + " has no material: nothing written";
    filter.stockId = idOf(bill.entryValue("FStockID", row));
    filter.stockPlaceId = idOf(bill.entryValue("FSPID", row));
    filter.batchNo = automation::toText(bill.entryValue("FBatchNo", row));
    filter.mtoNo = automation::toText(bill.entryValue("FFromMTONo", row));
    filter.auxPropId = idOf(bill.entryValue("FAuxPropID", row));
    if (auto kfDate = isoDateOf(bill.entryValue("FKFDate", row)))
      filter.shelfLife = StockFilter::ShelfLife{*kfDate, idOf(bill.entryValue("FKFPeriod", row))};

    Database& db = bill.database();
    double coefficient = 1;
    if (int64_t unitId = idOf(bill.entryValue("FUnitID", row)))
      coefficient = db.unitCoefficient(unitId).value_or(1);
    if (coefficient <= 0) coefficient = 1;
    double stockQty = db.stockOnHand(filter) / coefficient;
    double securityQty = db.safetyStock(filter.itemId).value_or(0) / coefficient;

    if (bill.hasEntryField("FStockQty")) bill.writeEntryValue("FStockQty", row, stockQty);
    if (bill.hasEntryField("FSecurityQty")) bill.writeEntryValue("FSecurityQty", row, securityQty);
    if (results) {
      results->set("StockQty", stockQty);
      results->set("SecurityQty", securityQty);
    }
    return at + ": stock " + quantityText(stockQty) + ", safety stock " + quantityText(securityQty);
  }

  Environment& env_;
  std::string progId_;
  Variant interface_;
  Variant dataSrv_;
};

}  // namespace

void registerActionComponents(automation::RegistryPlatform& platform, Environment& env, Database& db) {
  platform.registerFactory(std::string(host::progid::kStockStatus),
                           [&env, &db] { return std::make_shared<StockStatusWindow>(env, db); });
  for (std::string_view progId : {host::progid::kBatchAction, host::progid::kStockQtyAction}) {
    std::string id(progId);
    platform.registerFactory(id, [&env, id] { return std::make_shared<ActionRunner>(env, id); });
  }
}

}  // namespace mto::sim
