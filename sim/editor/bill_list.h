#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "automation/error.h"
#include "sim/editor/bill_editor.h"
#include "sim/components/collections.h"
#include "sim/db/database.h"
#include "sim/runtime/host_object.h"
#include "sim/editor/menu_bar.h"
#include "sim/components/toolbar.h"

namespace mto::sim {

/// The cell colour the list starts every cell with (white).
inline constexpr int32_t kListDefaultBackColor = 0xFFFFFF;

/// One column of the bill list: the field it shows and its caption.
struct ListColumn {
  std::string field;
  std::string caption;
  bool operator==(const ListColumn&) const = default;
};

/// One row of the bill list: stored values by field name. A row may hold fields that no column
/// shows (the material's quantity decimals, say) and may lack fields that a column shows.
using ListRow = std::map<std::string, Variant, std::less<>>;

/// What drawing left in one cell.
struct ListCellDraw {
  int32_t row = 0;  // from 1
  std::string field;
  /// The list's own text of the stored value.
  std::string hostText;
  /// The text shown: the host's, or the one ListFillRow handed back.
  std::string text;
  /// Whether ListFillRow was raised for the cell.
  bool raised = false;
  bool continueRaise = false;
  int32_t backColor = kListDefaultBackColor;
  /// The error ListFillRow returned; the cell then keeps the host's text and colour.
  std::optional<automation::ErrorInfo> error;
};

/// An error that one cell's ListFillRow returned.
struct ListDrawError {
  int32_t row = 0;
  std::string field;
  automation::ErrorInfo error;
};

/// The list's display object ("ListDisplay"). Member: "ShowMode" (Long, read only; 3 is the
/// reduced mode).
class ListDisplay : public HostObject<ListDisplay> {
 public:
  static const MemberTable<ListDisplay>& members();
  int32_t showMode() const { return showMode_; }
  void setShowMode(int32_t mode) { showMode_ = mode; }

 private:
  int32_t showMode_ = 0;
};

/// The list's template object ("ListTemplate"). Member: "TableInfo" ([key]): the table
/// information Dictionary (the same object on every call), or its entry; an unknown key raises 5.
/// The information holds "ClassTypeID"; "CallByCalculate" is absent unless set.
class ListTemplate : public HostObject<ListTemplate> {
 public:
  static const MemberTable<ListTemplate>& members();
  ListTemplate();
  const std::shared_ptr<Dictionary>& tableInfo() const { return tableInfo_; }

 private:
  std::shared_ptr<Dictionary> tableInfo_;
};

/// The host's bill list ("ListEvents") of MTO change bills.
///
/// Late-bound members (names compare without case; every call counted as "ListEvents.<Member>"):
/// - "RaiseListFillRow" (Boolean, get and put): whether drawing raises ListFillRow; False until
///   the plug-in switches it on.
/// - "ListDisplay", "ListTemplate": the objects above.
/// - "MultiCheck": Nothing, or a multi-level check object ("IsRun", "ExistMultiCheck").
/// - "MenuBar": the list's menu bar.
/// All but "RaiseListFillRow" are read only (a put raises 383).
///
/// Events it raises: "ListFillRow" from `drawRows`; "BarInitialize", "MenuBarInitialize",
/// "MenuBarClick" and "UnMultiCheck" through the helpers below. An error a handler returns from
/// ListFillRow is kept for the cell; from the other events it reaches the C++ caller.
///
/// The Database must outlive the list.
class BillList : public HostObject<BillList> {
 public:
  static const MemberTable<BillList>& members();
  /// A list with the default columns and the demo rows.
  static std::shared_ptr<BillList> create(Database& db);
  explicit BillList(Database& db);

  /// The columns an MTO change list shows: bill number, date, material code and name, secondary
  /// coefficient, stock and change quantities, source and target tracking numbers.
  static std::vector<ListColumn> defaultColumns();
  /// Eight bills over the demo materials, each with the material's quantity decimals
  /// ("FItemID_FQtyDecimal") and a secondary coefficient: the material's own, or 0, negative,
  /// Null, or one in the thousands, so that every branch of the coefficient column shows up.
  static std::vector<ListRow> demoRows(Database& db);
  /// The columns of the list of stored bills, as a user sees them: bill number, date, material
  /// number and name, warehouse, source and target tracking numbers, stock and change quantities,
  /// secondary coefficient.
  static std::vector<ListColumn> storedBillColumns();
  /// One row per entry of the stored bills, by bill and entry, with the fields of
  /// `Database::mtoChangeListRows` ("FItemID_FQtyDecimal" among them); "FDate" as a date when the
  /// stored text is one, else as stored.
  static std::vector<ListRow> storedBillRows(Database& db);
  /// Shows the stored bills as they are now: the columns and rows above, in place of what the
  /// list showed. The last draw stays until the next `drawRows`.
  void showStoredBills();

  // --- Host state --------------------------------------------------------------------------------

  bool fillRowSwitch() const { return raiseFillRow_; }
  void setFillRowSwitch(bool on) { raiseFillRow_ = on; }
  const std::shared_ptr<ListDisplay>& display() const { return display_; }
  int32_t showMode() const { return display_->showMode(); }
  void setShowMode(int32_t mode) { display_->setShowMode(mode); }
  const std::shared_ptr<ListTemplate>& listTemplate() const { return template_; }
  /// Sets "CallByCalculate" in the template's table information to any value.
  void setCallByCalculate(Variant value);
  /// Removes "CallByCalculate", so readers get their default.
  void clearCallByCalculate();
  void setMultiCheck(bool isRun, bool exists);
  void clearMultiCheck() { multiCheck_.reset(); }
  const std::shared_ptr<MenuBar>& menuBar() const { return menuBar_; }
  void setMenuBar(std::shared_ptr<MenuBar> bar) { menuBar_ = std::move(bar); }
  /// The list window's toolbar control, handed to the plug-in by `BarInitialize`.
  const std::shared_ptr<Toolbar>& toolbar() const { return toolbar_; }
  void setToolbar(std::shared_ptr<Toolbar> bar) { toolbar_ = std::move(bar); }
  Database& database() const { return *db_; }

  // --- Grid --------------------------------------------------------------------------------------

  const std::vector<ListColumn>& columns() const { return columns_; }
  void setColumns(std::vector<ListColumn> columns) { columns_ = std::move(columns); }
  const std::vector<ListRow>& rows() const { return rows_; }
  void setRows(std::vector<ListRow> rows) { rows_ = std::move(rows); }
  int32_t rowCount() const { return static_cast<int32_t>(rows_.size()); }

  /// Draws the grid row by row, column by column. Each cell starts with the list's own text of
  /// its value ("" for Null, Empty or a field the row lacks); with the switch on, ListFillRow
  /// (lRow, RowData, HeadDict, CellData by reference, BackColor by reference, ContinueRaise by
  /// reference False) may replace it. RowData is a one-record Recordset of the row's fields;
  /// HeadDict a new Dictionary with "FColName" and "FCaption". A cell whose event returns an
  /// error keeps the host's text and colour, and drawing goes on. Returns the cells in drawing
  /// order, kept until the next draw.
  const std::vector<ListCellDraw>& drawRows();
  const std::vector<ListCellDraw>& drawnCells() const { return drawn_; }
  /// The texts of the last draw, one vector per row in column order.
  std::vector<std::vector<std::string>> cellTexts() const;
  /// A cell of the last draw by row (from 1) and field; nullptr when not drawn.
  const ListCellDraw* drawnCell(int32_t row, std::string_view field) const;
  /// The errors of the last draw, in drawing order.
  std::vector<ListDrawError> drawErrors() const;

  // --- Events ------------------------------------------------------------------------------------

  using HostObjectBase::raise;
  /// Raises `BarInitialize` with the list's toolbar control.
  void barInitialize();
  /// Raises `MenuBarInitialize` with the list's menu bar.
  void menuBarInitialize();
  /// Raises `MenuBarClick` with the menu bar's tool of that key and Cancel by reference; returns
  /// whether Cancel came back True. Raises 5 for a key the menu bar lacks.
  bool userClickMenu(std::string_view toolKey);

 private:
  Database* db_;
  bool raiseFillRow_ = false;
  std::shared_ptr<ListDisplay> display_;
  std::shared_ptr<ListTemplate> template_;
  std::shared_ptr<MultiCheckObject> multiCheck_;
  std::shared_ptr<MenuBar> menuBar_;
  std::shared_ptr<Toolbar> toolbar_;
  std::vector<ListColumn> columns_;
  std::vector<ListRow> rows_;
  std::vector<ListCellDraw> drawn_;
};

}  // namespace mto::sim
