#include <fmt/format.h>

#include <array>
#include <string>
#include <vector>

#include "automation/dates.h"
#include "sim/scenario/host_calls.h"
#include "sim/scenario/runner.h"
#include "sim/scenario/values.h"

// The setup keys of a scenario (docs/scenarios.md, "setup"): the database rows, login properties,
// locale, clock, system profile, permissions, template, bill and list of the run.

namespace mto::sim::scenario_detail {

using nlohmann::json;

void Runner::setup(const json& s) {
  onlyKeys(s,
           {"sql", "props", "locale", "today", "profile", "permissions", "missing", "failing", "returning",
            "bill", "template", "list", "toolbar", "listToolbar", "menuBar", "listMenuBar", "notInMap"},
           "setup");
  SimHostOptions options;
  options.databaseFile = databaseFile_;
  host_ = std::make_unique<SimHost>(options);
  if (s.contains("sql")) runSql(s["sql"], "setup.sql");
  if (s.contains("props")) host_->setPropsString(textOf(s["props"], "setup.props"));
  applyLocale(s.value("locale", json::object()));
  automation::Date today = automation::makeDate(2026, 12, 6, 9, 0, 0);
  if (s.contains("today")) today = parseIsoDate(textOf(s["today"], "setup.today"), "setup.today");
  host_->platform().setNow(today);
  if (s.contains("profile")) applyProfile(s["profile"]);
  if (s.contains("permissions")) applyPermissions(s["permissions"]);

  bill_ = BillEditor::create(host_->db());
  list_ = BillList::create(host_->db());
  if (s.contains("template")) applyTemplate(s["template"]);
  if (s.contains("notInMap")) removeFromMap(s["notInMap"]);
  if (s.contains("toolbar")) bill_->setToolbar(shapeToolbar(bill_->toolbar(), s["toolbar"], "setup.toolbar"));
  if (s.contains("listToolbar"))
    list_->setToolbar(shapeToolbar(list_->toolbar(), s["listToolbar"], "setup.listToolbar"));
  if (s.contains("menuBar")) bill_->setMenuBar(shapeMenuBar(bill_->menuBar(), s["menuBar"], "setup.menuBar"));
  if (s.contains("listMenuBar"))
    list_->setMenuBar(shapeMenuBar(list_->menuBar(), s["listMenuBar"], "setup.listMenuBar"));
  bill2_ = BillEditor::create(host_->db());
  list2_ = BillList::create(host_->db());
  if (s.contains("bill")) applyBill(s["bill"]);
  if (s.contains("list")) applyList(s["list"]);
  observe(*bill_, "bill");
  observe(*list_, "list");
  observe(*bill2_, "bill2");
  observe(*list2_, "list2");

  if (s.contains("missing")) {
    if (!s["missing"].is_array()) malformed("setup.missing must be an array of ProgIDs");
    for (const auto& progId : s["missing"]) host_->removeComponent(textOf(progId, "setup.missing"));
  }
  if (s.contains("failing")) applyFailing(s["failing"], host_->state().faults, "setup.failing");
  if (s.contains("returning")) applyReturning(s["returning"], host_->state().faults, "setup.returning");
  if (traced_) host_->state().journal.switchOn();
  callsAtStart_ = host_->state().calls.snapshot();
}

void Runner::runSql(const json& sql, std::string_view where) {
  std::vector<std::string> statements;
  if (sql.is_string())
    statements.push_back(sql.get<std::string>());
  else if (sql.is_array())
    for (const auto& s : sql) statements.push_back(textOf(s, where));
  else
    malformed(fmt::format("{} must be a text or an array of texts", where));
  for (const auto& statement : statements) {
    try {
      host_->db().execute(statement);
    } catch (const std::exception& e) {
      malformed(fmt::format("{}: {}", where, e.what()));
    }
  }
}

void Runner::applyLocale(const json& l) {
  onlyKeys(l,
           {"dateSeparator", "shortDatePattern", "timePattern", "thousandsSeparator", "decimalSeparator",
            "currencySymbol", "monthNames", "abbreviatedMonthNames"},
           "setup.locale");
  automation::Locale locale;
  if (l.contains("dateSeparator")) locale.dateSeparator = textOf(l["dateSeparator"], "locale.dateSeparator");
  if (l.contains("shortDatePattern"))
    locale.shortDatePattern = textOf(l["shortDatePattern"], "locale.shortDatePattern");
  if (l.contains("timePattern")) locale.timePattern = textOf(l["timePattern"], "locale.timePattern");
  if (l.contains("thousandsSeparator"))
    locale.thousandsSeparator = textOf(l["thousandsSeparator"], "locale.thousandsSeparator");
  if (l.contains("decimalSeparator"))
    locale.decimalSeparator = textOf(l["decimalSeparator"], "locale.decimalSeparator");
  if (l.contains("currencySymbol")) locale.currencySymbol = textOf(l["currencySymbol"], "locale.currencySymbol");
  auto names = [&](const char* key, std::array<std::string, 12>& into) {
    if (!l.contains(key)) return;
    const json& given = l[key];
    if (!given.is_array() || given.size() != 12)
      malformed(fmt::format("locale.{} must be an array of the twelve months' names", key));
    for (size_t m = 0; m < 12; ++m) into[m] = textOf(given[m], fmt::format("locale.{}[]", key));
  };
  names("monthNames", locale.monthNames);
  names("abbreviatedMonthNames", locale.abbreviatedMonthNames);
  host_->platform().setLocale(locale);
}

void Runner::applyProfile(const json& p) {
  // JSON null removes the row; {"null": true} stores a row whose value is NULL.
  auto setRow = [&](ProfileTable table, const std::string& category, const std::string& key,
                    const json& value) {
    if (value.is_null()) return host_->db().removeProfileRow(table, category, key);
    std::optional<std::string> text;
    if (value.is_string())
      text = value.get<std::string>();
    else if (value.is_number() || value.is_boolean())
      text = value.dump();
    else if (!(value.is_object() && value.contains("null")))
      malformed(fmt::format(
          "setup.profile: value of \"{}\" must be a text, a number, null or {{\"null\": true}}", key));
    host_->db().putProfileRow(table, category, key, text);
  };
  if (p.is_object()) {
    for (const auto& [key, value] : p.items()) setRow(ProfileTable::SystemProfile, "IC", key, value);
  } else if (p.is_array()) {
    for (const auto& row : p) {
      onlyKeys(row, {"table", "category", "key", "value"}, "setup.profile[]");
      auto table = profileTableNamed(row.value("table", std::string("t_SystemProfile")));
      if (!table) malformed("setup.profile[].table must be t_SystemProfile, t_RP_SystemProfile or ICPrcOpt");
      setRow(*table, row.value("category", std::string("IC")), textOf(member(row, "key", "profile[]"), "key"),
             row.contains("value") ? row["value"] : json());
    }
  } else {
    malformed("setup.profile must be an object or an array");
  }
}

void Runner::applyPermissions(const json& p) {
  if (!p.is_array()) malformed("setup.permissions must be an array");
  for (const auto& r : p) {
    onlyKeys(r, {"user", "objectType", "objectId", "mask", "allowed"}, "setup.permissions[]");
    host_->db().putAccessRight(integerOf(member(r, "user", "permission"), "user"),
                               integerOf(member(r, "objectType", "permission"), "objectType"),
                               integerOf(member(r, "objectId", "permission"), "objectId"),
                               integerOf(member(r, "mask", "permission"), "mask"),
                               r.contains("allowed") ? boolOf(r["allowed"], "allowed") : true);
  }
}

void Runner::applyTemplate(const json& t) {
  if (!t.is_object()) malformed("setup.template must be an object of field keys");
  for (const auto& [key, entries] : t.items()) {
    if (!bill_->definition(key))
      malformed(fmt::format("setup.template: the template has no field \"{}\"", key));
    if (entries.is_null()) {
      bill_->billTemplate().removeField(key);
      continue;
    }
    if (!entries.is_object()) malformed(fmt::format("setup.template.{} must be an object", key));
    for (const auto& [entry, value] : entries.items())
      if (!applyShapedTemplateEntry(key, entry, value))
        bill_->billTemplate().set(key, entry,
                                  requirePlainValue(value, "setup.template." + key + "." + entry));
  }
}

void Runner::setCells(const json& cells, int32_t row, std::string_view where) {
  if (!cells.is_object()) malformed(fmt::format("{} must be an object of field keys", where));
  for (const auto& [key, value] : cells.items()) {
    if (!bill_->definition(key)) malformed(fmt::format("{}: the template has no field \"{}\"", where, key));
    if (isAbsentMark(value)) {
      bill_->removeCell(key, row);
      continue;
    }
    FillCell cell = cellOf(key, value, where);
    try {
      bill_->setCell(key, row, cell.value, cell.display, cell.number);
    } catch (const automation::AutomationError& e) {
      malformed(fmt::format("{}.{}: {}", where, key, e.info().description));
    }
  }
}

void Runner::applyBill(const json& b) {
  onlyKeys(b,
           {"operationMode", "classTypeId", "head", "rows", "data", "doActionFields", "multiCheck",
            "activeControl"},
           "setup.bill");
  if (b.contains("operationMode"))
    bill_->setOperationMode(integerOf(b["operationMode"], "bill.operationMode"));
  if (b.contains("classTypeId")) bill_->setClassTypeID(integerOf(b["classTypeId"], "bill.classTypeId"));
  if (b.contains("head")) setCells(b["head"], 0, "setup.bill.head");
  if (b.contains("rows")) {
    if (!b["rows"].is_array()) malformed("setup.bill.rows must be an array");
    for (const auto& row : b["rows"]) setCells(row, bill_->addRow(), "setup.bill.rows[]");
  }
  if (b.contains("data")) {
    if (!b["data"].is_object()) malformed("setup.bill.data must be an object");
    for (const auto& [key, value] : b["data"].items())
      if (isAbsentMark(value))
        bill_->data()->remove(key);
      else
        bill_->setDataEntry(key, requirePlainValue(value, "setup.bill.data." + key));
  }
  if (b.contains("doActionFields")) {
    std::vector<std::string> keys;
    if (!b["doActionFields"].is_array()) malformed("setup.bill.doActionFields must be an array");
    for (const auto& k : b["doActionFields"]) keys.push_back(textOf(k, "doActionFields[]"));
    bill_->setDoActionFields(keys);
  }
  if (b.contains("multiCheck")) {
    const auto& m = b["multiCheck"];
    if (m.is_null()) {
      bill_->clearMultiCheck();
    } else {
      onlyKeys(m, {"isRun", "exists"}, "setup.bill.multiCheck");
      bill_->setMultiCheck(boolOf(member(m, "isRun", "multiCheck"), "isRun"),
                           boolOf(member(m, "exists", "multiCheck"), "exists"));
    }
  }
  if (b.contains("activeControl")) applyActiveControl(b["activeControl"], "setup.bill.activeControl");
}

void Runner::applyActiveControl(const json& a, const std::string& where) {
  if (a.is_null()) return bill_->clearActiveControl();
  onlyKeys(a, {"name", "index", "col", "row"}, where);
  auto number = [&](const char* key) { return a.contains(key) ? integerOf(a[key], where + "." + key) : 0; };
  bill_->setActiveControl(textOf(member(a, "name", where), where + ".name"), number("index"), number("col"),
                          number("row"));
}

void Runner::applyList(const json& l) {
  onlyKeys(l, {"showMode", "callByCalculate", "multiCheck", "rows"}, "setup.list");
  if (l.contains("showMode")) list_->setShowMode(integerOf(l["showMode"], "list.showMode"));
  if (l.contains("callByCalculate"))
    list_->setCallByCalculate(requirePlainValue(l["callByCalculate"], "list.callByCalculate"));
  if (l.contains("multiCheck")) {
    const auto& m = l["multiCheck"];
    if (m.is_null()) {
      list_->clearMultiCheck();
    } else {
      onlyKeys(m, {"isRun", "exists"}, "setup.list.multiCheck");
      list_->setMultiCheck(boolOf(member(m, "isRun", "multiCheck"), "isRun"),
                           boolOf(member(m, "exists", "multiCheck"), "exists"));
    }
  }
  if (l.contains("rows")) {
    if (!l["rows"].is_array()) malformed("setup.list.rows must be an array");
    std::vector<ListRow> rows;
    for (const auto& r : l["rows"]) {
      if (!r.is_object()) malformed("setup.list.rows[] must be objects");
      ListRow row;
      for (const auto& [field, value] : r.items())
        row[field] = requirePlainValue(value, "setup.list.rows[]." + field);
      rows.push_back(std::move(row));
    }
    list_->setRows(std::move(rows));
  }
}

}  // namespace mto::sim::scenario_detail
