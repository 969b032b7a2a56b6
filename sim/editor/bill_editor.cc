#include "sim/editor/bill_editor.h"

#include <string>
#include <vector>

#include "automation/ascii.h"
#include "automation/convert.h"
#include "automation/dates.h"
#include "automation/error.h"
#include "host/contract.h"
#include "sim/editor/bill_editor_support.h"

namespace mto::sim {

using automation::raiseError;
using automation::errc::kInvalidCall;
using automation::errc::kSubscriptOutOfRange;

using namespace editor_detail;

namespace {

/// Whether a value is no entry at all: Empty, Null, Missing or "" (a 0 is an entry).
bool isBlank(const Variant& v) {
  return v.isEmpty() || v.isNull() || v.isMissing() || (v.isString() && v.stringValue().empty());
}

/// A quantity as the editor reads it: numbers as they are, text by its leading number.
double quantityOf(const Variant& v, const automation::Locale& locale) {
  if (isBlank(v)) return 0;
  if (automation::isNumeric(v, locale)) return automation::toDouble(v, locale);
  if (v.isString()) return automation::leadingNumber(std::string_view(v.stringValue()));
  return 0;
}

double quantityOf(const Variant& v) {
  if (v.isString()) return quantityOf(v, automation::platform().locale());
  return quantityOf(v, automation::defaultLocale());
}

/// Whether two values compare equal; values that cannot be compared are different.
bool sameValue(const Variant& a, const Variant& b) {
  try {
    auto order = automation::compareVariants(a, b);
    return order && *order == 0;
  } catch (const automation::AutomationError&) {
    return false;
  }
}

/// "A=B;C=D" as pairs, in order.
std::vector<std::pair<std::string, std::string>> parsePairs(std::string_view text) {
  std::vector<std::pair<std::string, std::string>> out;
  while (!text.empty()) {
    auto semi = text.find(';');
    std::string_view part = text.substr(0, semi);
    if (auto eq = part.find('='); eq != std::string_view::npos)
      out.emplace_back(std::string(part.substr(0, eq)), std::string(part.substr(eq + 1)));
    if (semi == std::string_view::npos) break;
    text.remove_prefix(semi + 1);
  }
  return out;
}

/// The value of a named pair; "" when absent.
std::string parameter(const std::vector<std::pair<std::string, std::string>>& pairs, std::string_view name) {
  for (const auto& [k, v] : pairs)
    if (k == name) return v;
  return {};
}

}  // namespace

// --- The editor ---------------------------------------------------------------------------------

std::shared_ptr<BillEditor> BillEditor::create(Database& db, BillTemplate billTemplate) {
  return std::make_shared<BillEditor>(db, std::move(billTemplate));
}

BillEditor::BillEditor(Database& db, BillTemplate billTemplate)
    : db_(&db),
      template_(std::move(billTemplate)),
      classType_(std::make_shared<ClassTypeObject>(kMtoChangeClassTypeID, "MTO change")),
      entryClassType_(std::make_shared<ClassTypeObject>(kMtoChangeEntryClassTypeID, "MTO change entry")),
      menuBar_(MenuBar::billEditorMenus()),
      toolbar_(Toolbar::billEditorToolbar()) {
  data_ = newData();
}

std::shared_ptr<Dictionary> BillEditor::newData() const {
  auto data = Dictionary::create();
  auto headCells = Dictionary::create();
  for (const auto& key : template_.pageKeys(1)) headCells->set(key, ObjectPtr(emptyCell()));
  data->set("Page1", ObjectPtr(headCells));
  data->set("Page2", ObjectPtr(Vector::create()));
  data->set("Page3", ObjectPtr(Vector::create()));
  data->set("FIsSelBill", int32_t{0});
  data->set("NewBillHasData", false);
  return data;
}

void BillEditor::replaceData(std::shared_ptr<Dictionary> data) {
  data_ = std::move(data);
  displayed_.clear();
  decimals_.clear();
  totals_.clear();
}

std::shared_ptr<Dictionary> BillEditor::emptyCell() {
  auto cell = Dictionary::create();
  cell->set("FFLD", "");
  cell->set("FDSP", "");
  cell->set("FFND", "");
  cell->set("FModify", int16_t{0});
  cell->set("FLastUnitID", "");
  cell->set("FDecimal", int32_t{0});
  return cell;
}

void BillEditor::syncCells() {
  auto headCells = head();
  for (const auto& key : template_.pageKeys(1))
    if (headCells && !headCells->contains(key)) headCells->set(key, ObjectPtr(emptyCell()));
  for (int32_t page = 2; page <= template_.pageCount(); ++page) {
    auto pageRows = rows(page);
    if (!pageRows) continue;
    for (const auto& row : pageRows->items()) {
      auto cells = asDictionary(&row);
      if (!cells) continue;
      for (const auto& key : template_.pageKeys(page))
        if (!cells->contains(key)) cells->set(key, ObjectPtr(emptyCell()));
    }
  }
}

std::shared_ptr<Dictionary> BillEditor::head() const {
  return asDictionary(data_->find("Page1"));
}

std::shared_ptr<Vector> BillEditor::rows(int32_t page) const {
  const Variant* v = data_->find("Page" + std::to_string(page));
  if (!v || !v->isObject()) return nullptr;
  return std::dynamic_pointer_cast<Vector>(v->objectValue());
}

int32_t BillEditor::rowCount(int32_t page) const {
  auto pageRows = rows(page);
  return pageRows ? static_cast<int32_t>(pageRows->size()) : 0;
}

int32_t BillEditor::addRow(int32_t page) {
  auto pageRows = rows(page);
  if (!pageRows) {
    pageRows = Vector::create();
    data_->set("Page" + std::to_string(page), ObjectPtr(pageRows));
  }
  auto cells = Dictionary::create();
  for (const auto& key : template_.pageKeys(page)) cells->set(key, ObjectPtr(emptyCell()));
  pageRows->add(ObjectPtr(cells));
  return static_cast<int32_t>(pageRows->size());
}

void BillEditor::removeRow(int32_t row, int32_t page) {
  auto pageRows = rows(page);
  if (!pageRows) raiseError(kSubscriptOutOfRange, {}, std::string(kSource));
  pageRows->removeAt(row);
}

std::shared_ptr<Dictionary> BillEditor::cellOf(const Dictionary& definition, int32_t row) const {
  std::string key = keyOf(definition);
  int32_t page = pageOf(definition);
  if (page == 1) {
    if (row != 0 && row != -1) return nullptr;
    auto headCells = head();
    return headCells ? asDictionary(headCells->find(key)) : nullptr;
  }
  auto pageRows = rows(page);
  if (!pageRows || row < 1 || static_cast<size_t>(row) > pageRows->size()) return nullptr;
  auto cells = asDictionary(&pageRows->at(row));
  return cells ? asDictionary(cells->find(key)) : nullptr;
}

std::shared_ptr<Dictionary> BillEditor::cell(std::string_view key, int32_t row) const {
  auto def = definition(key);
  return def ? cellOf(*def, row) : nullptr;
}

bool BillEditor::removeCell(std::string_view key, int32_t row) {
  auto def = definition(key);
  if (!def || !cellOf(*def, row)) return false;
  auto holder = pageOf(*def) == 1 ? head() : asDictionary(&rows(pageOf(*def))->at(row));
  holder->remove(keyOf(*def));
  return true;
}

std::shared_ptr<Dictionary> BillEditor::requireDefinition(std::string_view key) const {
  auto def = definition(key);
  if (!def)
    raiseError(kInvalidCall, "No field " + std::string(key) + " in the bill template", std::string(kSource));
  return def;
}

std::shared_ptr<Dictionary> BillEditor::requireCell(const Dictionary& definition, int32_t row) const {
  auto c = cellOf(definition, row);
  if (!c)
    raiseError(kSubscriptOutOfRange, "No data of " + keyOf(definition) + " at row " + std::to_string(row),
               std::string(kSource));
  return c;
}

BillEditor::CellKey BillEditor::cellKey(const Dictionary& definition, int32_t row) const {
  return {keyOf(definition), pageOf(definition) == 1 ? 0 : row};
}

Variant BillEditor::value(std::string_view key, int32_t row) const {
  auto c = cell(key, row);
  return c ? c->at("FFLD") : Variant();
}

void BillEditor::setCell(std::string_view key, int32_t row, Variant value, std::optional<std::string> display,
                         std::optional<std::string> number) {
  auto def = requireDefinition(key);
  auto c = requireCell(*def, row);
  c->set("FFLD", std::move(value));
  if (!display && !number && isLookUp(*def)) {
    resolveLookup(*def, *c);
  } else {
    if (display) c->set("FDSP", *display);
    if (number) c->set("FFND", *number);
  }
  refreshDisplay(*def, row, *c);
}

void BillEditor::setDoActionFields(const std::vector<std::string>& keys) {
  auto list = Vector::create();
  for (const auto& key : keys) list->add(key);
  data_->set("vctDoAction", ObjectPtr(list));
}

void BillEditor::setClassTypeID(int32_t id) {
  classTypeId_ = id;
  classType_->setId(id);
}

void BillEditor::setMultiCheck(bool isRun, bool exists) {
  multiCheck_ = std::make_shared<MultiCheckObject>(isRun, exists);
}

void BillEditor::setActiveControl(std::string name, int32_t index, int32_t activeCol, int32_t activeRow) {
  activeGridRow_.reset();
  if (automation::equalsIgnoreCase(name, "grid")) activeGridRow_ = activeRow;
  activeControl_ = std::make_shared<ActiveControlObject>(std::move(name), index, activeCol, activeRow);
}

std::optional<int32_t> BillEditor::activeEntryRow() const {
  if (!activeGridRow_ || *activeGridRow_ < 1 || *activeGridRow_ > rowCount()) return std::nullopt;
  return activeGridRow_;
}

bool BillEditor::hasEntryField(std::string_view key) const {
  auto def = definition(key);
  return def && pageOf(*def) == 2;
}

Variant BillEditor::entryValue(std::string_view key, int32_t row) const {
  return hasEntryField(key) && row >= 1 ? value(key, row) : Variant();
}

void BillEditor::writeEntryValue(std::string_view key, int32_t row, const Variant& newValue) {
  if (!hasEntryField(key)) return;
  store(*definition(key), row, newValue, true, false);
}

std::shared_ptr<BillCtl> BillEditor::billCtl() {
  if (!billCtl_)
    billCtl_ = std::make_shared<BillCtl>(std::static_pointer_cast<BillEditor>(shared_from_this()));
  return billCtl_;
}

std::shared_ptr<BillDataSrv> BillEditor::dataSrv() {
  if (!dataSrv_)
    dataSrv_ = std::make_shared<BillDataSrv>(std::static_pointer_cast<BillEditor>(shared_from_this()));
  return dataSrv_;
}

// --- Editor behaviour -------------------------------------------------------------------------

void BillEditor::refreshDisplay(const Dictionary& definition, int32_t row, const Dictionary& c) {
  bool showsName = numberEntry(definition, "FCtlType") != ctl_type::kPlain && isLookUp(definition);
  displayed_[cellKey(definition, row)] = displayText(c.at(showsName ? "FDSP" : "FFLD"));
}

void BillEditor::store(const Dictionary& definition, int32_t row, const Variant& newValue, bool markModified,
                       bool fillLinks) {
  auto c = requireCell(definition, row);
  Variant previous = c->at("FFLD");
  if (numberEntry(definition, "FLookUpClassID") == 7 && !sameValue(previous, newValue))
    c->set("FLastUnitID", previous);
  c->set("FFLD", newValue);
  if (markModified) c->set("FModify", int16_t{1});
  auto record = resolveLookup(definition, *c);
  refreshDisplay(definition, row, *c);
  if (!fillLinks || !record) return;
  for (const auto& [target, column] : parsePairs(textOf(definition, "FLinkFields"))) {
    auto targetDef = this->definition(target);
    const Variant* linked = record->find(column);
    if (!targetDef || !linked || !cellOf(*targetDef, row)) continue;
    store(*targetDef, row, *linked, markModified, false);
  }
}

double BillEditor::unitCoefficient(int32_t row, std::string_view unitKey) const {
  auto unitDef = definition(unitKey);
  if (!unitDef) return 1;
  auto unitCell = cellOf(*unitDef, row);
  if (!unitCell || !hasValue(unitCell->at("FFLD"))) return 1;
  auto record =
      fetchRecord(textOf(*unitDef, "FSRCTableName"), textOf(*unitDef, "FSRCFieldName"), unitCell->at("FFLD"));
  if (!record || !record->contains("FCoefficient")) return 1;
  return quantityOf(record->at("FCoefficient"));
}

void BillEditor::runAction(const Dictionary& action, int32_t row) {
  std::string name = textOf(action, "FName");
  auto params = parsePairs(textOf(action, "FAction"));
  auto write = [&](const std::string& key, Variant v) {
    if (auto def = definition(key)) store(*def, row, v, true, false);
  };
  if (name == action_name::kUnitToBaseQty) {
    Variant qty = value(parameter(params, "Qty"), row);
    if (isBlank(qty))
      write(parameter(params, "Base"), "");
    else
      write(parameter(params, "Base"), quantityOf(qty) * unitCoefficient(row, parameter(params, "Unit")));
  } else if (name == action_name::kBaseToSecQty) {
    double coefficient = quantityOf(value(parameter(params, "Coefficient"), row));
    if (coefficient <= 0) return;
    Variant base = value(parameter(params, "Base"), row);
    if (isBlank(base))
      write(parameter(params, "Sec"), "");
    else
      write(parameter(params, "Sec"), quantityOf(base) / coefficient);
  }
}

void BillEditor::doAction(const Dictionary& definition, int32_t row) {
  DoActionRecord record{keyOf(definition), row, {}};
  std::vector<std::shared_ptr<Dictionary>> actions;
  if (auto entry = asDictionary(definition.find("Action"))) {
    const Variant* list = entry->find("FAction");
    if (list && list->isObject())
      if (auto vector = std::dynamic_pointer_cast<Vector>(list->objectValue()))
        for (const auto& item : vector->items())
          if (auto action = asDictionary(&item)) actions.push_back(action);
  }
  for (const auto& action : actions) record.actions.push_back(textOf(*action, "FName"));
  doActions_.push_back(record);
  for (const auto& action : actions) runAction(*action, row);
}

void BillEditor::setSumData(const Dictionary& definition) {
  std::string key = keyOf(definition);
  int32_t page = pageOf(definition);
  // One pass over the page's rows with the locale read once: the plug-in asks for a total after
  // every row's stock read, so this runs once per row of a bill being copied.
  const automation::Locale locale = automation::platform().locale();
  double total = 0;
  if (page == 1) {
    if (auto c = cellOf(definition, 0)) total = quantityOf(c->at("FFLD"), locale);
  } else if (auto pageRows = rows(page)) {
    for (const auto& row : pageRows->items())
      if (auto cells = asDictionary(&row))
        if (auto c = asDictionary(cells->find(key))) total += quantityOf(c->at("FFLD"), locale);
  }
  totals_[key] = total;
}

// --- Traces ---------------------------------------------------------------------------------------

namespace {
template <typename Map>
auto findIn(const Map& map, const typename Map::key_type& key) -> std::optional<typename Map::mapped_type> {
  auto it = map.find(key);
  if (it == map.end()) return std::nullopt;
  return it->second;
}
}  // namespace

std::optional<std::string> BillEditor::displayedText(std::string_view key, int32_t row) const {
  auto def = definition(key);
  if (!def) return std::nullopt;
  return findIn(displayed_, cellKey(*def, row));
}

std::optional<bool> BillEditor::fieldVisible(std::string_view key) const {
  auto def = definition(key);
  return findIn(fieldVisible_, def ? keyOf(*def) : std::string(key));
}

std::optional<bool> BillEditor::gridVisible(std::string_view key) const {
  auto def = definition(key);
  return findIn(gridVisible_, def ? keyOf(*def) : std::string(key));
}

std::vector<std::string> BillEditor::hiddenFields() const {
  std::vector<std::string> out;
  for (const auto& def : template_.definitions())
    if (fieldVisible(keyOf(*def)) == false) out.push_back(keyOf(*def));
  return out;
}

std::vector<std::string> BillEditor::hiddenGridColumns() const {
  std::vector<std::string> out;
  for (const auto& def : template_.definitions())
    if (gridVisible(keyOf(*def)) == false) out.push_back(keyOf(*def));
  return out;
}

std::optional<int32_t> BillEditor::cellDecimals(std::string_view key, int32_t row) const {
  auto def = definition(key);
  if (!def) return std::nullopt;
  return findIn(decimals_, cellKey(*def, row));
}

std::optional<int32_t> BillEditor::sumDecimals(std::string_view key) const {
  auto def = definition(key);
  return findIn(sumDecimals_, def ? keyOf(*def) : std::string(key));
}

std::optional<double> BillEditor::columnTotal(std::string_view key) const {
  auto def = definition(key);
  return findIn(totals_, def ? keyOf(*def) : std::string(key));
}

// --- Events ------------------------------------------------------------------------------------

bool BillEditor::userSetCell(std::string_view key, int32_t row, Variant newValue) {
  store(*requireDefinition(key), row, newValue, true, true);
  return raiseChange(key, row);
}

bool BillEditor::raiseChange(std::string_view key, int32_t row) {
  auto def = requireDefinition(key);
  auto c = requireCell(*def, row);
  std::vector<Variant> args{ObjectPtr(def), ObjectPtr(c), Variant(numberEntry(*def, "CtlIndex")),
                            Variant(row), Variant(false)};
  raise(host::events::kBillChange, args);
  return cancelRequested(args[*host::events::kBillChange.cancelIndex()]);
}

int32_t BillEditor::userAddRow() {
  int32_t row = addRow();
  std::vector<Variant> args{Variant(int16_t{0}), Variant(row)};
  raise(host::events::kBillAddNewRow, args);
  return row;
}

bool BillEditor::userClickMenu(std::string_view toolKey) {
  return raiseMenuBarClick(*this, host::events::kBillMenuBarClick, menuBar_.get(), toolKey, kSource);
}

}  // namespace mto::sim
