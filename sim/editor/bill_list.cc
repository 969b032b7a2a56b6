#include "sim/editor/bill_list.h"

#include <cstdio>

#include "automation/convert.h"
#include "automation/dates.h"
#include "host/contract.h"
#include "sim/components/recordset.h"
#include "sim/runtime/member_helpers.h"

namespace mto::sim {

using automation::raiseError;
using automation::errc::kInvalidCall;

namespace {

constexpr int32_t kReadOnlyProperty = 383;
constexpr std::string_view kSource = "ListEvents";

template <typename Self, typename Read>
typename MemberTable<Self>::Handler readOnly(std::string_view name, Read read) {
  return [read, name = std::string(name)](Self& self, CallKind kind, Args) -> Variant {
    if (isPut(kind))
      raiseError(kReadOnlyProperty, "Can't assign to read-only property " + name, std::string(kSource));
    return read(self);
  };
}

/// The list's own text of a value: nothing for Null and Empty, else the runtime's text.
std::string listText(const Variant& v) {
  if (v.isNull() || v.isEmpty() || v.isMissing()) return {};
  return automation::toText(v);
}

/// A stored 'YYYY-MM-DD' text as a date; nullopt for any other text or an impossible day.
std::optional<Variant> storedDate(const std::string& text) {
  int year = 0;
  int month = 0;
  int day = 0;
  char dash1 = 0;
  char dash2 = 0;
  char rest = 0;
  if (std::sscanf(text.c_str(), "%4d%c%2d%c%2d%c", &year, &dash1, &month, &dash2, &day, &rest) != 5 ||
      dash1 != '-' || dash2 != '-' || text.size() != 10)
    return std::nullopt;
  try {
    return Variant(automation::makeDate(year, month, day));
  } catch (const automation::AutomationError&) {
    return std::nullopt;  // an impossible day stays the text it is
  }
}

/// The row as the one record of a record set, so `RowData("FQty").Value` reads it.
std::shared_ptr<Recordset> rowRecord(const ListRow& row) {
  std::vector<std::string> names;
  Recordset::Row values;
  names.reserve(row.size());
  values.reserve(row.size());
  for (const auto& [name, value] : row) {
    names.push_back(name);
    values.push_back(value);
  }
  return Recordset::create(std::move(names), {std::move(values)});
}

}  // namespace

// --- Display and template objects -------------------------------------------------------------

const MemberTable<ListDisplay>& ListDisplay::members() {
  static const MemberTable<ListDisplay> table = [] {
    MemberTable<ListDisplay> t("ListDisplay");
    t.add("ShowMode", readOnly<ListDisplay>("ShowMode", [](ListDisplay& s) { return Variant(s.showMode_); }));
    return t;
  }();
  return table;
}

ListTemplate::ListTemplate() : tableInfo_(Dictionary::create()) {
  tableInfo_->set("ClassTypeID", kMtoChangeClassTypeID);
}

const MemberTable<ListTemplate>& ListTemplate::members() {
  static const MemberTable<ListTemplate> table = [] {
    MemberTable<ListTemplate> t("ListTemplate");
    t.add("TableInfo", [](ListTemplate& self, CallKind kind, Args args) -> Variant {
      if (isPut(kind))
        raiseError(kReadOnlyProperty, "Can't assign to read-only property TableInfo", std::string(kSource));
      const Variant& key = HostObjectBase::arg(args, 0);
      if (key.isMissing()) return ObjectPtr(self.tableInfo_);
      const Variant* entry = self.tableInfo_->find(automation::toText(key));
      if (!entry)
        raiseError(kInvalidCall, "No " + automation::toText(key) + " in the table information",
                   std::string(kSource));
      return *entry;
    });
    return t;
  }();
  return table;
}

// --- The list ----------------------------------------------------------------------------------

std::shared_ptr<BillList> BillList::create(Database& db) {
  return std::make_shared<BillList>(db);
}

BillList::BillList(Database& db)
    : db_(&db),
      display_(std::make_shared<ListDisplay>()),
      template_(std::make_shared<ListTemplate>()),
      menuBar_(MenuBar::billListMenus()),
      toolbar_(Toolbar::billListToolbar()),
      columns_(defaultColumns()),
      rows_(demoRows(db)) {}

std::vector<ListColumn> BillList::defaultColumns() {
  return {{"FBillNo", "Bill no."},
          {"FDate", "Date"},
          {"FItemID", "Material code"},
          {"FItemName", "Material name"},
          {"FSecCoefficient", "Conversion rate"},
          {"FQty", "Stock qty"},
          {"FChangeQty", "Change qty"},
          {"FFromMTONo", "From MTO no."},
          {"FToMTONo", "To MTO no."}};
}

std::vector<ListRow> BillList::demoRows(Database& db) {
  struct Bill {
    const char* billNo;
    int day;
    int itemId;
    bool ownCoefficient;  // else `coefficient` stands for what the bill stored
    Variant coefficient;
    double qty;
    double changeQty;
    const char* fromMto;
    const char* toMto;
  };
  const Bill bills[] = {
      {"MTO000001", 4, 14, true, {}, 5000, 1200, "SO2403-0011", "SO2403-0025"},
      {"MTO000002", 5, 16, true, {}, 36.5, 12.25, "SO2403-0012", "SO2403-0026"},
      {"MTO000003", 6, 12, true, {}, 1250.75, 300, "SO2403-0013", "SO2403-0027"},
      {"MTO000004", 8, 19, false, Variant(1250.5), 4800.5, 2500, "SO2403-0014", "SO2403-0028"},
      {"MTO000005", 11, 21, false, Variant(-12.0), 96, 24, "SO2403-0015", "SO2403-0029"},
      {"MTO000006", 12, 13, false, Variant::null(), 420.125, 60, "SO2403-0016", "SO2403-0030"},
      {"MTO000007", 15, 20, true, {}, 40, 8, "SO2403-0017", "SO2403-0031"},
      {"MTO000008", 18, 23, false, Variant(2.5), 12.3456, 2.5, "SO2403-0018", "SO2403-0032"},
  };

  std::vector<ListRow> rows;
  for (const auto& bill : bills) {
    ListRow row;
    row["FBillNo"] = bill.billNo;
    row["FDate"] = automation::makeDate(2024, 3, bill.day);
    row["FQty"] = bill.qty;
    row["FChangeQty"] = bill.changeQty;
    row["FFromMTONo"] = bill.fromMto;
    row["FToMTONo"] = bill.toMto;
    if (auto material = db.findMaterial(bill.itemId)) {
      row["FItemID"] = material->number;
      row["FItemName"] = material->name;
      row["FItemID_FQtyDecimal"] = material->qtyDecimals;
      row["FSecCoefficient"] = material->secCoefficient;
    }
    if (!bill.ownCoefficient) row["FSecCoefficient"] = bill.coefficient;
    rows.push_back(std::move(row));
  }
  return rows;
}

std::vector<ListColumn> BillList::storedBillColumns() {
  return {{"FBillNo", "Bill no."},          {"FDate", "Date"},
          {"FItemNumber", "Material code"}, {"FItemName", "Material name"},
          {"FStockName", "Warehouse"},      {"FFromMTONo", "From MTO no."},
          {"FToMTONo", "To MTO no."},       {"FQty", "Stock qty"},
          {"FChangeQty", "Change qty"},     {"FSecCoefficient", "Conversion rate"}};
}

std::vector<ListRow> BillList::storedBillRows(Database& db) {
  QueryResult result = db.mtoChangeListRows();
  std::vector<ListRow> rows;
  rows.reserve(result.rows.size());
  for (auto& values : result.rows) {
    ListRow row;
    for (size_t i = 0; i < result.columns.size() && i < values.size(); ++i)
      row[result.columns[i]] = std::move(values[i]);
    if (auto date = row.find("FDate"); date != row.end() && date->second.isString()) {
      if (auto parsed = storedDate(date->second.stringValue())) date->second = *parsed;
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

void BillList::showStoredBills() {
  columns_ = storedBillColumns();
  rows_ = storedBillRows(*db_);
}

void BillList::setCallByCalculate(Variant value) {
  template_->tableInfo()->set("CallByCalculate", std::move(value));
}

void BillList::clearCallByCalculate() {
  template_->tableInfo()->remove("CallByCalculate");
}

void BillList::setMultiCheck(bool isRun, bool exists) {
  multiCheck_ = std::make_shared<MultiCheckObject>(isRun, exists);
}

// --- Grid --------------------------------------------------------------------------------------

const std::vector<ListCellDraw>& BillList::drawRows() {
  drawn_.clear();
  drawn_.reserve(rows_.size() * columns_.size());
  int32_t rowNumber = 0;
  for (const auto& row : rows_) {
    ++rowNumber;
    std::shared_ptr<Recordset> record;
    for (const auto& column : columns_) {
      ListCellDraw cell;
      cell.row = rowNumber;
      cell.field = column.field;
      auto value = row.find(column.field);
      cell.hostText = value == row.end() ? std::string() : listText(value->second);
      cell.text = cell.hostText;
      if (raiseFillRow_) {
        if (!record) record = rowRecord(row);
        auto head = Dictionary::create();
        head->set("FColName", column.field);
        head->set("FCaption", column.caption);
        std::vector<Variant> args{Variant(rowNumber),
                                  ObjectPtr(record),
                                  ObjectPtr(head),
                                  Variant(cell.hostText),
                                  Variant(kListDefaultBackColor),
                                  Variant(false)};
        cell.raised = true;
        try {
          raise(host::events::kListListFillRow, args);
          // Read everything before keeping anything: a value the list cannot take fails the cell.
          std::string text = listText(args[3]);
          int32_t backColor = automation::toLong(args[4]);
          bool continueRaise = automation::toBoolean(args[5]);
          cell.text = std::move(text);
          cell.backColor = backColor;
          cell.continueRaise = continueRaise;
        } catch (const automation::AutomationError& error) {
          cell.error = error.info();
        }
      }
      drawn_.push_back(std::move(cell));
    }
  }
  return drawn_;
}

std::vector<std::vector<std::string>> BillList::cellTexts() const {
  std::vector<std::vector<std::string>> out;
  for (const auto& cell : drawn_) {
    if (static_cast<size_t>(cell.row) > out.size()) out.resize(static_cast<size_t>(cell.row));
    out[static_cast<size_t>(cell.row) - 1].push_back(cell.text);
  }
  return out;
}

const ListCellDraw* BillList::drawnCell(int32_t row, std::string_view field) const {
  for (const auto& cell : drawn_)
    if (cell.row == row && cell.field == field) return &cell;
  return nullptr;
}

std::vector<ListDrawError> BillList::drawErrors() const {
  std::vector<ListDrawError> out;
  for (const auto& cell : drawn_)
    if (cell.error) out.push_back({cell.row, cell.field, *cell.error});
  return out;
}

// --- Events ------------------------------------------------------------------------------------

void BillList::barInitialize() {
  std::vector<Variant> args{ObjectPtr(toolbar_)};
  raise(host::events::kListBarInitialize, args);
}

void BillList::menuBarInitialize() {
  std::vector<Variant> args{ObjectPtr(menuBar_)};
  raise(host::events::kListMenuBarInitialize, args);
}

bool BillList::userClickMenu(std::string_view toolKey) {
  return raiseMenuBarClick(*this, host::events::kListMenuBarClick, menuBar_.get(), toolKey, kSource);
}

// --- Members -----------------------------------------------------------------------------------

const MemberTable<BillList>& BillList::members() {
  static const MemberTable<BillList> table = [] {
    MemberTable<BillList> t("ListEvents");
    t.add(host::member::kListSwitch, [](BillList& self, CallKind kind, Args args) -> Variant {
      if (isPut(kind)) {
        self.raiseFillRow_ = automation::toBoolean(requiredArg(args, args.size() - 1));
        return {};
      }
      return self.raiseFillRow_;
    });
    t.add(host::member::kListDisplay, readOnly<BillList>(host::member::kListDisplay, [](BillList& s) {
            return Variant(ObjectPtr(s.display_));
          }));
    t.add(host::member::kListTemplate, readOnly<BillList>(host::member::kListTemplate, [](BillList& s) {
            return Variant(ObjectPtr(s.template_));
          }));
    t.add(host::member::kListMultiCheck, readOnly<BillList>(host::member::kListMultiCheck, [](BillList& s) {
            return s.multiCheck_ ? Variant(ObjectPtr(s.multiCheck_)) : Variant(nullptr);
          }));
    t.add("MenuBar",
          readOnly<BillList>("MenuBar", [](BillList& s) { return Variant(ObjectPtr(s.menuBar_)); }));
    return t;
  }();
  return table;
}

}  // namespace mto::sim
