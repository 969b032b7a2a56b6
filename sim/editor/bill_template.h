#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "sim/components/collections.h"

namespace mto::sim {

/// Control type codes of a field definition ("FCtlType").
namespace ctl_type {
inline constexpr int32_t kLookUp = 1;  // base-data look-up (F7)
inline constexpr int32_t kCombo = 2;   // drop-down of enumerated texts
inline constexpr int32_t kDate = 4;    // date picker
inline constexpr int32_t kPlain = 8;   // text or number; the display is the stored value
}  // namespace ctl_type

/// Source kinds of a field definition ("FSourceType").
namespace source_type {
inline constexpr int32_t kNone = 0;
inline constexpr int32_t kLookUpSql = 1;  // resolved by SQL on FSRCTableName / FSRCFieldName
inline constexpr int32_t kAccount = 7;    // display kept in the cell's FDSP by the editor
}  // namespace source_type

/// Names of the field actions the simulated bill control runs (an action's "FName").
namespace action_name {
/// Parameters "Qty=<field>;Base=<field>;Unit=<field>": Base := Qty * coefficient of Unit.
inline constexpr std::string_view kUnitToBaseQty = "UnitToBaseQty";
/// Parameters "Base=<field>;Sec=<field>;Coefficient=<field>": Sec := Base / Coefficient when the
/// coefficient is above 0.
inline constexpr std::string_view kBaseToSecQty = "BaseToSecQty";
}  // namespace action_name

/// One action configured on a field: "FID" (the action's ID as text), "FName", "FAction" (its
/// parameter text).
struct FieldAction {
  std::string id;
  std::string name;
  std::string parameters;
};

/// What a field definition is made from. `toDefinition` turns it into the host's Dictionary.
struct FieldSpec {
  std::string key;
  std::string caption;
  int32_t page = 2;
  int32_t ctlType = ctl_type::kPlain;
  int32_t sourceType = source_type::kNone;
  int32_t lookUpClassID = 0;
  int32_t lookUpType = 0;
  std::string srcTable;
  std::string srcField;
  int32_t tabIndex = 0;
  int32_t visible = 1;  // bit 0: shown
  int32_t ctlIndex = 0;
  std::vector<FieldAction> actions;
  /// For a look-up: fields filled from the chosen record, "Target=Column;..." (editor behaviour,
  /// not read by the plug-in).
  std::string linkFields;

  /// The definition Dictionary: "FKey", "FCaption", "FPage", "FCtlType", "FSourceType",
  /// "FLookUpClassID", "FLookUpType", "FSRCTableName", "FSRCFieldName", "FTabIndex", "FVisible",
  /// "CtlIndex", "FLinkFields" (all numbers Long) and "Action" (a Dictionary whose "FAction" is a
  /// Vector of action Dictionaries).
  std::shared_ptr<Dictionary> toDefinition() const;
};

/// A bill template: field definitions in page order. Definitions are shared host Dictionaries, so
/// a change made through `definition(key)->set(...)` is what the plug-in reads next. Keys compare
/// without regard to case, as the host's Dictionary does.
class BillTemplate {
 public:
  /// The MTO change bill: head (page 1) and entry (page 2).
  static BillTemplate mtoChange();

  /// Adds a field at the end of its page, or replaces the definition of a field with that key
  /// (keeping its place). Returns the new definition.
  std::shared_ptr<Dictionary> addField(const FieldSpec& field);
  void removeField(std::string_view key);
  /// The definition, or nullptr for a key the template lacks.
  std::shared_ptr<Dictionary> definition(std::string_view key) const;
  /// Sets one entry of a definition; raises 5 for an unknown field. Move a field to another page
  /// through here, so that the page lists are rebuilt.
  void set(std::string_view key, std::string_view entryName, Variant value);

  /// The highest page that has a field (at least 1).
  int32_t pageCount() const;
  /// The field keys of a page, in template order.
  std::vector<std::string> pageKeys(int32_t page) const;
  /// Every definition in template order (page by page).
  std::vector<std::shared_ptr<Dictionary>> definitions() const;

  /// The table information the editor's `TableInfo` hands out: "Map" (key -> definition),
  /// "PageCount", "Page1".."PageN" (Dictionaries of key -> key, in template order) and one entry
  /// per field key -> definition. Built again only after fields were added or removed.
  std::shared_ptr<Dictionary> tableInfo();

 private:
  struct Field {
    std::string key;
    std::shared_ptr<Dictionary> definition;
  };
  const Field* find(std::string_view key) const;

  std::vector<Field> fields_;
  std::shared_ptr<Dictionary> tableInfo_;
};

/// The field's page number ("FPage"), 0 when unreadable.
int32_t pageOf(const Dictionary& definition);
/// The field's key ("FKey").
std::string keyOf(const Dictionary& definition);
/// An entry of a definition read as a whole number, 0 when absent or not a number.
int32_t numberEntry(const Dictionary& definition, std::string_view entry);

}  // namespace mto::sim
