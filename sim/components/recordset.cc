#include "sim/components/recordset.h"

#include <utility>

#include "automation/convert.h"
#include "sim/components/filter_criteria.h"
#include "sim/db/database.h"

namespace mto::sim {

using automation::raiseError;
using namespace recordset_errc;

namespace {

constexpr std::string_view kTypeName = "Recordset";
constexpr std::string_view kNoCurrentRecordText =
    "Either BOF or EOF is True, or the current record has been deleted. Requested operation requires a "
    "current "
    "record.";

}  // namespace

Recordset::Recordset(std::vector<std::string> columns, std::vector<Row> rows)
    : columns_(std::move(columns)), rows_(std::move(rows)) {
  for (auto& row : rows_) row.resize(columns_.size(), Variant::null());
  visible_.reserve(rows_.size());
  for (size_t i = 0; i < rows_.size(); ++i) visible_.push_back(i);
}

Recordset::~Recordset() = default;

std::shared_ptr<Recordset> Recordset::create(std::vector<std::string> columns, std::vector<Row> rows) {
  return std::make_shared<Recordset>(std::move(columns), std::move(rows));
}

std::shared_ptr<Recordset> Recordset::fromResult(QueryResult result) {
  return create(std::move(result.columns), std::move(result.rows));
}

std::optional<size_t> Recordset::findColumn(std::string_view name) const {
  for (size_t i = 0; i < columns_.size(); ++i)
    if (automation::equalsIgnoreCase(columns_[i], name)) return i;
  return std::nullopt;
}

bool Recordset::eof() const {
  return position_ >= static_cast<std::ptrdiff_t>(visible_.size());
}

bool Recordset::bof() const {
  return visible_.empty() || position_ < 0;
}

void Recordset::moveFirst() {
  if (visible_.empty())
    raiseError(kNoCurrentRecord, std::string(kNoCurrentRecordText), std::string(kTypeName));
  position_ = 0;
}

void Recordset::moveLast() {
  if (visible_.empty())
    raiseError(kNoCurrentRecord, std::string(kNoCurrentRecordText), std::string(kTypeName));
  position_ = static_cast<std::ptrdiff_t>(visible_.size()) - 1;
}

void Recordset::moveNext() {
  if (eof()) raiseError(kNoCurrentRecord, std::string(kNoCurrentRecordText), std::string(kTypeName));
  ++position_;
}

void Recordset::movePrevious() {
  if (bof()) raiseError(kNoCurrentRecord, std::string(kNoCurrentRecordText), std::string(kTypeName));
  --position_;
}

const Variant& Recordset::value(size_t column) const {
  if (column >= columns_.size()) {
    raiseError(kItemNotFound,
               "Item cannot be found in the collection corresponding to the requested name or ordinal. (" +
                   std::to_string(column) + ")",
               std::string(kTypeName));
  }
  if (bof() || eof()) raiseError(kNoCurrentRecord, std::string(kNoCurrentRecordText), std::string(kTypeName));
  return rows_[visible_[static_cast<size_t>(position_)]][column];
}

const Variant& Recordset::value(std::string_view column) const {
  return value(columnIndex(Variant(column)));
}

size_t Recordset::columnIndex(const Variant& nameOrPosition) const {
  if (nameOrPosition.isString()) {
    if (auto column = findColumn(nameOrPosition.stringValue())) return *column;
  } else if (detail::isPlainNumber(nameOrPosition)) {
    auto position = automation::toLong(nameOrPosition);
    if (position >= 0 && static_cast<size_t>(position) < columns_.size())
      return static_cast<size_t>(position);
  }
  std::string shown =
      nameOrPosition.isString() ? nameOrPosition.stringValue() : automation::describe(nameOrPosition);
  raiseError(kItemNotFound,
             "Item cannot be found in the collection corresponding to the requested name or ordinal. (" +
                 shown + ")",
             std::string(kTypeName));
}

void Recordset::setFilter(std::string_view criteria) {
  std::unique_ptr<detail::FilterNode> tree;
  bool blank = criteria.find_first_not_of(" \t\r\n") == std::string_view::npos;
  if (!blank) tree = detail::parseFilter(criteria, *this);
  filterText_ = blank ? std::string() : std::string(criteria);
  filterTree_ = std::move(tree);
  visible_.clear();
  for (size_t i = 0; i < rows_.size(); ++i)
    if (!filterTree_ || detail::filterMatches(*filterTree_, rows_[i])) visible_.push_back(i);
  position_ = 0;
}

ObjectPtr Recordset::fieldObject(size_t column) {
  return std::make_shared<RecordsetField>(std::static_pointer_cast<Recordset>(shared_from_this()), column);
}

ObjectPtr Recordset::fieldsObject() {
  return std::make_shared<RecordsetFields>(std::static_pointer_cast<Recordset>(shared_from_this()));
}

const MemberTable<Recordset>& Recordset::members() {
  static const MemberTable<Recordset> table = [] {
    MemberTable<Recordset> t{std::string(kTypeName)};
    t.add("EOF", [](Recordset& self, CallKind, Args) -> Variant { return self.eof(); });
    t.add("BOF", [](Recordset& self, CallKind, Args) -> Variant { return self.bof(); });
    t.add("RecordCount", [](Recordset& self, CallKind, Args) -> Variant { return self.recordCount(); });
    t.add("MoveFirst", [](Recordset& self, CallKind, Args) -> Variant {
      self.moveFirst();
      return {};
    });
    t.add("MoveLast", [](Recordset& self, CallKind, Args) -> Variant {
      self.moveLast();
      return {};
    });
    t.add("MoveNext", [](Recordset& self, CallKind, Args) -> Variant {
      self.moveNext();
      return {};
    });
    t.add("MovePrevious", [](Recordset& self, CallKind, Args) -> Variant {
      self.movePrevious();
      return {};
    });
    auto fields = [](Recordset& self, CallKind, Args args) -> Variant {
      if (args.empty() || args[0].isMissing()) return self.fieldsObject();
      return self.fieldObject(self.columnIndex(args[0].value()));
    };
    t.add("", fields);
    t.add("Fields", fields);
    t.add("Filter", [](Recordset& self, CallKind kind, Args args) -> Variant {
      if (kind != CallKind::PropertyPut && kind != CallKind::PropertyPutRef) {
        if (self.filterText_.empty()) return int32_t{0};  // no filter reads as "none" (0)
        return self.filterText_;
      }
      const Variant& value = requiredArg(args, args.empty() ? 0 : args.size() - 1);
      if (value.isString()) {
        self.setFilter(value.stringValue());
      } else if (detail::isPlainNumber(value) && automation::toDouble(value) == 0) {
        self.clearFilter();
      } else {
        raiseError(kInvalidArgument,
                   "Filter " + automation::describe(value) + " : a criteria text, \"\" or 0 is expected",
                   std::string(kTypeName));
      }
      return {};
    });
    return t;
  }();
  return table;
}

// ---------------------------------------------------------------------------------------------
// Fields and Field

const MemberTable<RecordsetFields>& RecordsetFields::members() {
  static const MemberTable<RecordsetFields> table = [] {
    MemberTable<RecordsetFields> t("Fields");
    auto item = [](RecordsetFields& self, CallKind, Args args) -> Variant {
      return self.owner_->fieldObject(self.owner_->columnIndex(requiredArg(args, 0)));
    };
    t.add("", item);
    t.add("Item", item);
    t.add("Count", [](RecordsetFields& self, CallKind, Args) -> Variant {
      return static_cast<int32_t>(self.owner_->columns().size());
    });
    return t;
  }();
  return table;
}

const MemberTable<RecordsetField>& RecordsetField::members() {
  static const MemberTable<RecordsetField> table = [] {
    MemberTable<RecordsetField> t("Field");
    auto value = [](RecordsetField& self, CallKind kind, Args) -> Variant {
      if (kind == CallKind::PropertyPut || kind == CallKind::PropertyPutRef) {
        raiseError(kNotUpdatable,
                   "Current Recordset does not support updating (the record set is read-only).",
                   std::string(kTypeName));
      }
      return self.owner_->value(self.column_);
    };
    t.add("", value);
    t.add("Value", value);
    t.add("Name", [](RecordsetField& self, CallKind, Args) -> Variant {
      return self.owner_->columns()[self.column_];
    });
    return t;
  }();
  return table;
}

}  // namespace mto::sim
