#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "sim/components/action_components.h"
#include "sim/components/collections.h"
#include "sim/components/recordset.h"
#include "sim/components/toolbar.h"
#include "sim/db/database.h"
#include "sim/editor/bill_objects.h"
#include "sim/editor/bill_template.h"
#include "sim/editor/menu_bar.h"
#include "sim/runtime/host_object.h"

namespace mto::sim {

/// The MTO change bill's class type, and that of its entry table.
inline constexpr int32_t kMtoChangeClassTypeID = 1007105;
inline constexpr int32_t kMtoChangeEntryClassTypeID = 1007106;

/// One call of the bill control's `DoAction`: the field, the row and the names of the actions
/// configured on the field, in order (run or not).
struct DoActionRecord {
  std::string key;
  int32_t row = 0;
  std::vector<std::string> actions;
  bool operator==(const DoActionRecord&) const = default;
};

/// One cell of a row the host fills from data: stored as `BillEditor::setCell` stores it (the
/// display and number resolved for a look-up unless given).
struct FillCell {
  std::string key;
  Variant value;
  std::optional<std::string> display;
  std::optional<std::string> number;
};

/// The cells of one entry row the host fills from data, in the order they are stored.
using FillRow = std::vector<FillCell>;

/// The host's bill editor ("BillEvent") of one MTO change bill, over the ERP database.
///
/// Bill data: `Data` is a Dictionary with "Page1" (head cells by field key), "Page2" and "Page3"
/// (Vectors of entry rows, each a Dictionary of cells by field key), "FIsSelBill" (Long 0) and
/// "NewBillHasData" (False); "vctDoAction" is absent until set. A cell is a Dictionary with
/// "FFLD", "FDSP", "FFND" (all "" when new), "FModify" (Integer 0), "FLastUnitID" ("") and
/// "FDecimal" (Long 0). Head fields are addressed with row 0 or -1, entry rows from 1.
///
/// Late-bound members (names compare without case; every call counted as "BillEvent.<Member>"):
/// - "Data" ([key]): the data, or its entry (a page); put with a key sets an entry. An unknown key
///   raises 5.
/// - "TableInfo" ([key]): the template's table information, or its entry ("Map", "PageCount",
///   "PageN", a field key); an unknown key raises 5.
/// - "GetFieldInfoByKey" (key, "", 0): the definition, or Nothing for a key the template lacks.
/// - "GetDataFld" (definition, row): the cell, or Nothing (head at a row other than 0 and -1, an
///   entry row outside the page, a field without data).
/// - "GetFieldValue" and "ReadFieldValue" (key, row[, 1]): the stored value; an unknown key
///   raises 5, a row without the field 9.
/// - "WriteFieldValue" (key, value, row): stores the value as the editor does (a unit field keeps
///   the previous value in "FLastUnitID", a look-up resolves its display and number, the cell is
///   marked modified and shown again); raises no event.
/// - "GetLookupRecord" (key, row): a new Dictionary with every column of the first record of
///   the field's source table whose ID column equals the stored value; empty when the field has
///   no value (Empty, "", 0), no source table, or no such record.
/// - "SetText" (definition, text, row), "ShowHideField" / "ShowHideGrid" (definition, visible),
///   "SetDecimal" (definition, row, decimals), "SetSumDecimal" (definition, decimals): recorded
///   for traces (see the accessors below). SetText on an entry row outside the page raises 9.
/// - "BillCtl", "DataSrv", "MenuBar": the objects above and the editor's menu bar.
/// - "OperationMode" (Long), "ClassType" and "EntryClassType" (class-type objects), "MultiCheck"
///   (Nothing or a multi-level check object), "ActiveControl" (Nothing or the active control).
///
/// The host's action runners reach the editor as an `ActionBill`, beside these members.
///
/// The editor owns its template; the Database must outlive the editor.
class BillEditor : public HostObject<BillEditor>, public ActionBill {
 public:
  static const MemberTable<BillEditor>& members();
  /// A new bill with an empty head and no entry rows.
  static std::shared_ptr<BillEditor> create(Database& db,
                                            BillTemplate billTemplate = BillTemplate::mtoChange());
  BillEditor(Database& db, BillTemplate billTemplate);

  // --- Template and data, for setting a bill up -----------------------------------------------

  /// The editor's template; after adding fields, `syncCells` gives existing rows their cells.
  BillTemplate& billTemplate() { return template_; }
  const BillTemplate& billTemplate() const { return template_; }
  /// Adds an empty cell for every template field that the head or a row lacks.
  void syncCells();

  std::shared_ptr<Dictionary> data() const { return data_; }
  std::shared_ptr<Dictionary> head() const;
  /// An entry page's rows ("Page2" by default).
  std::shared_ptr<Vector> rows(int32_t page = 2) const;
  int32_t rowCount(int32_t page = 2) const;
  /// Appends an entry row with an empty cell per field of the page; returns its number.
  int32_t addRow(int32_t page = 2);
  void removeRow(int32_t row, int32_t page = 2);

  /// The cell of a field at a row (head: row 0 or -1), or nullptr.
  std::shared_ptr<Dictionary> cell(std::string_view key, int32_t row) const;
  /// Sets a cell as stored data: "FFLD", and "FDSP" / "FFND" when given, else resolved like a
  /// look-up (a look-up field) or left "" (other fields). Not marked modified; no event. Raises 5
  /// for an unknown key and 9 for a row without the field.
  void setCell(std::string_view key, int32_t row, Variant value, std::optional<std::string> display = {},
               std::optional<std::string> number = {});
  /// Takes a field's cell out of one row (head: row 0 or -1), as a bill whose data lacks it; false
  /// when there was no such cell. `syncCells` puts an empty one back.
  bool removeCell(std::string_view key, int32_t row);
  /// The stored value ("FFLD") of a cell; Empty when there is no cell.
  Variant value(std::string_view key, int32_t row) const;
  /// Sets an entry of the bill data ("FIsSelBill", "NewBillHasData", ...).
  void setDataEntry(std::string_view key, Variant value) { data_->set(key, std::move(value)); }
  /// Sets "vctDoAction" to a Vector of these field keys.
  void setDoActionFields(const std::vector<std::string>& keys);

  // --- Host state --------------------------------------------------------------------------------

  int32_t operationMode() const { return operationMode_; }
  void setOperationMode(int32_t mode) { operationMode_ = mode; }
  int32_t classTypeID() const { return classTypeId_; }
  /// Also the ID of the class-type object.
  void setClassTypeID(int32_t id);
  void setMultiCheck(bool isRun, bool exists);
  void clearMultiCheck() { multiCheck_.reset(); }
  void setActiveControl(std::string name, int32_t index, int32_t activeCol, int32_t activeRow);
  void clearActiveControl() {
    activeControl_.reset();
    activeGridRow_.reset();
  }
  const std::shared_ptr<MenuBar>& menuBar() const { return menuBar_; }
  void setMenuBar(std::shared_ptr<MenuBar> bar) { menuBar_ = std::move(bar); }
  /// The editor window's toolbar control, handed to the plug-in by `BarInitialize`.
  const std::shared_ptr<Toolbar>& toolbar() const { return toolbar_; }
  void setToolbar(std::shared_ptr<Toolbar> bar) { toolbar_ = std::move(bar); }
  Database& database() const override { return *db_; }

  // --- The action runners' reach (ActionBill) ---------------------------------------------------

  /// The active control's row when the control is the grid ("grid", any case) and the row exists.
  std::optional<int32_t> activeEntryRow() const override;
  /// The rows of page 2.
  int32_t entryRowCount() const override { return rowCount(); }
  /// Whether the template has the key on page 2.
  bool hasEntryField(std::string_view key) const override;
  /// The stored value of page 2's cell; Empty when none.
  Variant entryValue(std::string_view key, int32_t row) const override;
  /// As "WriteFieldValue" does, without the late-bound call; skips a key the template lacks.
  void writeEntryValue(std::string_view key, int32_t row, const Variant& value) override;

  // --- What the editor shows, for traces ------------------------------------------------------

  /// The text last shown in a cell (head: row 0 or -1), by SetText or by the editor's own refresh.
  std::optional<std::string> displayedText(std::string_view key, int32_t row) const;
  /// The last ShowHideField / ShowHideGrid of a field; nullopt when never called.
  std::optional<bool> fieldVisible(std::string_view key) const;
  std::optional<bool> gridVisible(std::string_view key) const;
  /// Keys hidden by ShowHideField (head) or ShowHideGrid (grid), in template order.
  std::vector<std::string> hiddenFields() const;
  std::vector<std::string> hiddenGridColumns() const;
  std::optional<int32_t> cellDecimals(std::string_view key, int32_t row) const;
  std::optional<int32_t> sumDecimals(std::string_view key) const;
  /// The column total last computed by SetSumData.
  std::optional<double> columnTotal(std::string_view key) const;
  const std::vector<DoActionRecord>& doActions() const { return doActions_; }

  // --- Events and user actions ------------------------------------------------------------------

  using HostObjectBase::raise;
  /// Enters a value as the user does: stores it (marked modified; a unit field keeps the previous
  /// value in "FLastUnitID"), resolves a look-up's display and number, fills the look-up's linked
  /// fields ("FLinkFields": the material's unit, secondary unit, coefficient and shelf life), shows
  /// it, then raises `Change` (definition, cell, column = "CtlIndex", row, Cancel by reference).
  /// Returns whether Cancel came back True.
  bool userSetCell(std::string_view key, int32_t row, Variant value);
  /// Raises `Change` for a cell as it stands (definition, cell, column = "CtlIndex", row, Cancel by
  /// reference), as after an entry whose storing the caller did itself; returns whether Cancel came
  /// back True. Raises 5 for a key the template lacks and 9 for a row without the cell.
  bool raiseChange(std::string_view key, int32_t row);
  /// Appends an entry row and raises `AddNewRow` (Index Integer 0, NewRow Long); returns the row.
  int32_t userAddRow();
  /// Raises `MenuBarClick` with the menu bar's tool of that key and Cancel by reference; returns
  /// whether Cancel came back True. Raises 5 for a key the menu bar lacks.
  bool userClickMenu(std::string_view toolKey);
  /// The user's copy-row command on an entry row: raises `MenuBarClick` with the menu bar's
  /// "mnuCopyRow" tool; unless cancelled, appends a copy of the row's cells (values, displays and
  /// numbers, each marked modified) as the new last row, shows it and raises `AddNewRow` (Index
  /// Integer 0, NewRow Long). Returns the new row, or nullopt when the click was cancelled. Raises
  /// 9 for a row outside the page (before any event) and 5 when the menu bar lacks the command.
  std::optional<int32_t> userCopyRow(int32_t row);

  // --- The bill's life in the editor window -------------------------------------------------

  /// The editor starts a new, empty bill: operation mode 1, an empty head, no entry rows,
  /// "FIsSelBill" 0, "NewBillHasData" False, no "vctDoAction"; what was shown of the old bill is
  /// forgotten. Then raises `AfterNewBill`, and, as the window is built, `BarInitialize` with the
  /// editor's toolbar control and `MenuBarInitialize` with its menu bar.
  void newBill();
  /// Opens the stored bill with this FInterID: a new bill's data filled with the stored head and
  /// entry rows as stored data (look-ups resolved, dates of date fields as dates, NULL as an
  /// empty cell, columns the template lacks skipped; nothing marked modified, no Change), the
  /// operation mode set, then raises `AfterLoadBill`. Raises 5 when there is no such bill, before
  /// anything changed.
  void loadBill(int64_t interId, int32_t operationMode = 2);
  /// Makes the bill in the editor a new bill with the same head and rows: new data whose cells are
  /// copies with their modified marks cleared, the bill number ("FBillNo") emptied, operation
  /// mode 1; then raises `AfterCopyBill`.
  void copyBill();
  /// The host generates the bill from data: sets "NewBillHasData" True and, when given,
  /// "vctDoAction" to these field keys; appends an entry row per given row and stores its cells as
  /// data (no Change); then raises `AfterFillRow` for each of them in order (lRow Long, dctPage the
  /// "Page2" Vector, dctEntryData the row's Dictionary, dctLink a new empty Dictionary), every row
  /// being on the page by then. Returns the rows filled. A key the template lacks raises 5 while
  /// its row is stored (rows before it stay, no event raised).
  std::vector<int32_t> fillBill(const std::vector<FillRow>& rows,
                                const std::optional<std::vector<std::string>>& doActionFields = std::nullopt);

  // --- Editor services behind the members ----------------------------------------------------

  /// The definition of a key, or nullptr.
  std::shared_ptr<Dictionary> definition(std::string_view key) const { return template_.definition(key); }
  /// The cell of a definition at a row, or nullptr.
  std::shared_ptr<Dictionary> cellOf(const Dictionary& definition, int32_t row) const;
  /// The record a field's stored value names, as a new Dictionary (empty when none); raises 5 for an
  /// unknown key and 9 for a row without the field.
  std::shared_ptr<Dictionary> lookupRecord(std::string_view key, int32_t row) const;
  /// Runs the actions of a field at a row and records the call.
  void doAction(const Dictionary& definition, int32_t row);
  /// Recomputes and records a column total.
  void setSumData(const Dictionary& definition);
  /// The bill control and the data service, made on first use and owned by the editor.
  std::shared_ptr<BillCtl> billCtl();
  std::shared_ptr<BillDataSrv> dataSrv();

 private:
  using CellKey = std::pair<std::string, int32_t>;

  static std::shared_ptr<Dictionary> emptyCell();
  /// Fresh bill data: empty head cells, no entry rows, the default entries.
  std::shared_ptr<Dictionary> newData() const;
  /// Replaces the bill's data and forgets what the editor showed of the old one (cell texts,
  /// decimals, totals).
  void replaceData(std::shared_ptr<Dictionary> data);
  /// The definition of a key; raises 5 when the template lacks it.
  std::shared_ptr<Dictionary> requireDefinition(std::string_view key) const;
  /// The cell of a definition at a row; raises 9 when there is none.
  std::shared_ptr<Dictionary> requireCell(const Dictionary& definition, int32_t row) const;
  /// Trace key of a cell: the field's key and the row (0 for the head).
  CellKey cellKey(const Dictionary& definition, int32_t row) const;
  /// The editor's own write: stores, keeps the last unit, resolves, marks and shows.
  void store(const Dictionary& definition, int32_t row, const Variant& value, bool markModified,
             bool fillLinks);
  /// Resolves a look-up cell's "FDSP" and "FFND" from its stored value; the record when one.
  std::shared_ptr<Dictionary> resolveLookup(const Dictionary& definition, Dictionary& cell) const;
  /// Shows the cell's value as the editor displays it.
  void refreshDisplay(const Dictionary& definition, int32_t row, const Dictionary& cell);
  /// The record of a look-up table by ID, all columns; nullptr when none.
  std::shared_ptr<Dictionary> fetchRecord(std::string_view table, std::string_view idColumn,
                                          const Variant& id) const;
  double unitCoefficient(int32_t row, std::string_view unitKey) const;
  void runAction(const Dictionary& action, int32_t row);

  Database* db_;
  BillTemplate template_;
  std::shared_ptr<Dictionary> data_;
  int32_t operationMode_ = 1;
  int32_t classTypeId_ = kMtoChangeClassTypeID;
  std::shared_ptr<ClassTypeObject> classType_;
  std::shared_ptr<ClassTypeObject> entryClassType_;
  std::shared_ptr<MultiCheckObject> multiCheck_;
  std::shared_ptr<ActiveControlObject> activeControl_;
  /// The active control's row while that control is the grid.
  std::optional<int32_t> activeGridRow_;
  std::shared_ptr<MenuBar> menuBar_;
  std::shared_ptr<Toolbar> toolbar_;
  std::shared_ptr<BillCtl> billCtl_;
  std::shared_ptr<BillDataSrv> dataSrv_;

  std::map<CellKey, std::string> displayed_;
  std::map<std::string, bool> fieldVisible_;
  std::map<std::string, bool> gridVisible_;
  std::map<CellKey, int32_t> decimals_;
  std::map<std::string, int32_t> sumDecimals_;
  std::map<std::string, double> totals_;
  std::vector<DoActionRecord> doActions_;
};

}  // namespace mto::sim
