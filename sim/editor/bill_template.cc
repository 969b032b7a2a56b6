#include "sim/editor/bill_template.h"

#include <algorithm>

#include "automation/convert.h"
#include "automation/error.h"

namespace mto::sim {

namespace {

/// The batch look-up's parameter text: which bill fields the batch selection reads and fills.
constexpr std::string_view kBatchActionParameters =
    "FItemID=FItemID;FStockID=FStockID;FSPID=FSPID;FBatchNo=FBatchNo;FAuxPropID=FAuxPropID;"
    "FKFDate=FKFDate;FKFPeriod=FKFPeriod;FPeriodDate=FPeriodDate;FMTONo=FFromMTONo;FQty=FQty";

FieldSpec head(std::string key, std::string caption, int32_t ctlType, int32_t tabIndex, int32_t ctlIndex) {
  FieldSpec f;
  f.key = std::move(key);
  f.caption = std::move(caption);
  f.page = 1;
  f.ctlType = ctlType;
  f.tabIndex = tabIndex;
  f.ctlIndex = ctlIndex;
  f.visible = tabIndex > 0 ? 1 : 0;
  return f;
}

FieldSpec entry(std::string key, std::string caption, int32_t ctlType, int32_t tabIndex, int32_t ctlIndex) {
  FieldSpec f = head(std::move(key), std::move(caption), ctlType, tabIndex, ctlIndex);
  f.page = 2;
  f.visible = 1;
  return f;
}

FieldSpec lookUp(FieldSpec f, int32_t sourceType, std::string table, std::string idColumn,
                 int32_t lookUpClass) {
  if (f.ctlType == ctl_type::kPlain) f.ctlType = ctl_type::kLookUp;
  f.sourceType = sourceType;
  f.srcTable = std::move(table);
  f.srcField = std::move(idColumn);
  f.lookUpClassID = lookUpClass;
  f.lookUpType = 1;
  return f;
}

FieldSpec withActions(FieldSpec f, std::vector<FieldAction> actions) {
  f.actions = std::move(actions);
  return f;
}

}  // namespace

std::shared_ptr<Dictionary> FieldSpec::toDefinition() const {
  auto d = Dictionary::create();
  d->set("FKey", key);
  d->set("FCaption", caption);
  d->set("FPage", page);
  d->set("FCtlType", ctlType);
  d->set("FSourceType", sourceType);
  d->set("FLookUpClassID", lookUpClassID);
  d->set("FLookUpType", lookUpType);
  d->set("FSRCTableName", srcTable);
  d->set("FSRCFieldName", srcField);
  d->set("FTabIndex", tabIndex);
  d->set("FVisible", visible);
  d->set("CtlIndex", ctlIndex);
  d->set("FLinkFields", linkFields);
  auto list = Vector::create();
  for (const auto& a : actions) {
    auto action = Dictionary::create();
    action->set("FID", a.id);
    action->set("FName", a.name);
    action->set("FAction", a.parameters);
    list->add(ObjectPtr(action));
  }
  auto actionEntry = Dictionary::create();
  actionEntry->set("FAction", ObjectPtr(list));
  d->set("Action", ObjectPtr(actionEntry));
  return d;
}

BillTemplate BillTemplate::mtoChange() {
  using namespace ctl_type;
  using source_type::kAccount;
  using source_type::kLookUpSql;
  BillTemplate t;
  // Head.
  t.addField(head("FBillNo", "Bill no.", kPlain, 1, 1));
  t.addField(head("FDate", "Date", kDate, 2, 2));
  t.addField(lookUp(head("FHSID", "Business type", kCombo, 3, 3), kLookUpSql, "t_SubMessage", "FInterID", 0));
  t.addField(lookUp(head("FCustID", "Customer", kLookUp, 4, 4), kAccount, "t_Organization", "FItemID", 1));
  t.addField(lookUp(head("FDeptID", "Department", kLookUp, 5, 5), kLookUpSql, "t_Department", "FItemID", 2));
  t.addField(lookUp(head("FEmpID", "Handled by", kLookUp, 6, 6), kLookUpSql, "t_Emp", "FItemID", 3));
  t.addField(head("FExplanation", "Explanation", kPlain, 7, 7));
  t.addField(head("FStatus", "Status", kPlain, 0, 8));
  t.addField(head("FTranType", "Transaction type", kPlain, 0, 9));

  // Entry rows.
  FieldSpec item = lookUp(entry("FItemID", "Material", kLookUp, 1, 1), kLookUpSql, "t_ICItem", "FItemID", 4);
  item.actions = {{"100018", "Batch_F7Action", std::string(kBatchActionParameters)}};
  item.linkFields =
      "FUnitID=FUnitID;FSecUnitID=FSecUnitID;FSecCoefficient=FSecCoefficient;FKFPeriod=FKFPeriod";
  t.addField(item);
  t.addField(lookUp(entry("FAuxPropID", "Auxiliary property", kLookUp, 2, 2), kLookUpSql, "t_AuxItem",
                    "FInterID", 9));
  t.addField(
      lookUp(entry("FUnitID", "Unit", kLookUp, 3, 3), kLookUpSql, "t_MeasureUnit", "FMeasureUnitID", 7));
  t.addField(lookUp(entry("FStockID", "Warehouse", kLookUp, 4, 4), kLookUpSql, "t_Stock", "FItemID", 5));
  t.addField(lookUp(entry("FSPID", "Stock place", kLookUp, 5, 5), kLookUpSql, "t_StockPlace", "FSPID", 10));
  t.addField(entry("FBatchNo", "Batch no.", kPlain, 6, 6));
  t.addField(entry("FKFDate", "Production/purchase date", kDate, 7, 7));
  t.addField(entry("FKFPeriod", "Shelf life (days)", kPlain, 8, 8));
  t.addField(entry("FPeriodDate", "Expiry date", kDate, 9, 9));
  t.addField(entry("FFromMTONo", "Source MTO no.", kPlain, 10, 10));
  t.addField(entry("FToMTONo", "Target MTO no.", kPlain, 11, 11));
  t.addField(withActions(
      entry("FQty", "Qty on hand", kPlain, 0, 12),
      {{"200011", std::string(action_name::kUnitToBaseQty), "Qty=FQty;Base=FBaseQty;Unit=FUnitID"}}));
  t.addField(entry("FBaseProperty", "Base unit", kPlain, 0, 13));
  t.addField(entry("FBaseQty", "Base qty on hand", kPlain, 0, 14));
  t.addField(lookUp(entry("FSecUnitID", "Secondary unit", kLookUp, 0, 15), kLookUpSql, "t_MeasureUnit",
                    "FMeasureUnitID", 7));
  t.addField(entry("FSecCoefficient", "Conversion rate", kPlain, 0, 16));
  t.addField(entry("FSecQty", "Secondary qty on hand", kPlain, 0, 17));
  t.addField(withActions(entry("FChangeQty", "Change qty", kPlain, 12, 18),
                         {{"200011", std::string(action_name::kUnitToBaseQty),
                           "Qty=FChangeQty;Base=FChangeBaseQty;Unit=FUnitID"},
                          {"200012", std::string(action_name::kBaseToSecQty),
                           "Base=FChangeBaseQty;Sec=FChangeSecQty;Coefficient=FSecCoefficient"}}));
  t.addField(entry("FChangeBaseQty", "Base change qty", kPlain, 0, 19));
  t.addField(entry("FChangeSecQty", "Secondary change qty", kPlain, 13, 20));
  t.addField(entry("FNote", "Note", kPlain, 14, 21));
  // Filled by the stock and safety-stock action, in the row's unit.
  t.addField(entry("FStockQty", "Stock qty", kPlain, 15, 22));
  t.addField(entry("FSecurityQty", "Safety stock", kPlain, 16, 23));
  return t;
}

const BillTemplate::Field* BillTemplate::find(std::string_view key) const {
  auto it = std::find_if(fields_.begin(), fields_.end(),
                         [&](const Field& f) { return automation::equalsIgnoreCase(f.key, key); });
  return it == fields_.end() ? nullptr : &*it;
}

std::shared_ptr<Dictionary> BillTemplate::addField(const FieldSpec& field) {
  auto definition = field.toDefinition();
  for (auto& f : fields_) {
    if (automation::equalsIgnoreCase(f.key, field.key)) {
      f.definition = definition;
      tableInfo_.reset();
      return definition;
    }
  }
  fields_.push_back(Field{field.key, definition});
  tableInfo_.reset();
  return definition;
}

void BillTemplate::removeField(std::string_view key) {
  std::erase_if(fields_, [&](const Field& f) { return automation::equalsIgnoreCase(f.key, key); });
  tableInfo_.reset();
}

std::shared_ptr<Dictionary> BillTemplate::definition(std::string_view key) const {
  const Field* f = find(key);
  return f ? f->definition : nullptr;
}

void BillTemplate::set(std::string_view key, std::string_view entryName, Variant value) {
  const Field* f = find(key);
  if (!f)
    automation::raiseError(automation::errc::kInvalidCall,
                           "No field " + std::string(key) + " in the template");
  f->definition->set(entryName, std::move(value));
  // The page lists of the table information follow "FPage".
  if (automation::equalsIgnoreCase(entryName, "FPage")) tableInfo_.reset();
}

int32_t BillTemplate::pageCount() const {
  int32_t count = 1;
  for (const auto& f : fields_) count = std::max(count, pageOf(*f.definition));
  return count;
}

std::vector<std::string> BillTemplate::pageKeys(int32_t page) const {
  std::vector<std::string> keys;
  for (const auto& f : fields_)
    if (pageOf(*f.definition) == page) keys.push_back(f.key);
  return keys;
}

std::vector<std::shared_ptr<Dictionary>> BillTemplate::definitions() const {
  std::vector<std::shared_ptr<Dictionary>> out;
  for (int32_t page = 1; page <= pageCount(); ++page)
    for (const auto& f : fields_)
      if (pageOf(*f.definition) == page) out.push_back(f.definition);
  return out;
}

std::shared_ptr<Dictionary> BillTemplate::tableInfo() {
  if (tableInfo_) return tableInfo_;
  auto info = Dictionary::create();
  auto map = Dictionary::create();
  for (const auto& definition : definitions()) map->set(keyOf(*definition), ObjectPtr(definition));
  info->set("Map", ObjectPtr(map));
  info->set("PageCount", pageCount());
  for (int32_t page = 1; page <= pageCount(); ++page) {
    auto keys = Dictionary::create();
    for (const auto& key : pageKeys(page)) keys->set(key, key);
    info->set("Page" + std::to_string(page), ObjectPtr(keys));
  }
  for (const auto& definition : definitions()) info->set(keyOf(*definition), ObjectPtr(definition));
  tableInfo_ = info;
  return info;
}

int32_t numberEntry(const Dictionary& definition, std::string_view entryName) {
  const Variant* v = definition.find(entryName);
  if (!v || !automation::isNumeric(*v)) return 0;
  return automation::toLong(*v);
}

int32_t pageOf(const Dictionary& definition) {
  return numberEntry(definition, "FPage");
}

std::string keyOf(const Dictionary& definition) {
  const Variant* v = definition.find("FKey");
  return v && v->isString() ? v->stringValue() : std::string();
}

}  // namespace mto::sim
