#include "sim/editor/bill_editor_support.h"

#include "automation/convert.h"
#include "automation/dates.h"
#include "sim/editor/bill_template.h"

namespace mto::sim::editor_detail {

std::shared_ptr<Dictionary> asDictionary(const Variant* v) {
  if (!v || !v->isObject()) return nullptr;
  return std::dynamic_pointer_cast<Dictionary>(v->objectValue());
}

std::string textOf(const Dictionary& d, std::string_view entry) {
  const Variant* v = d.find(entry);
  return v && v->isString() ? v->stringValue() : std::string();
}

const Dictionary& definitionArg(Args args, size_t i) {
  const Variant& v = HostObjectBase::requiredArg(args, i);
  if (!v.isObject() || !v.objectValue())
    automation::raiseError(automation::errc::kObjectRequired, {}, std::string(kSource));
  auto* d = dynamic_cast<const Dictionary*>(v.objectValue().get());
  if (!d)
    automation::raiseError(automation::errc::kTypeMismatch, "Not a field definition", std::string(kSource));
  return *d;
}

int32_t longArg(Args args, size_t i) {
  return automation::toLong(HostObjectBase::requiredArg(args, i));
}
std::string textArg(Args args, size_t i) {
  return automation::toText(HostObjectBase::requiredArg(args, i));
}

bool hasValue(const Variant& v) {
  if (v.isEmpty() || v.isNull() || v.isMissing()) return false;
  if (v.isString() && v.stringValue().empty()) return false;
  if (automation::isNumeric(v)) return automation::toDouble(v) != 0;
  return true;
}

std::string displayText(const Variant& v) {
  switch (v.type()) {
    case automation::VarType::Null:
    case automation::VarType::Object:
    case automation::VarType::Array:
    case automation::VarType::Missing:
      return {};
    case automation::VarType::Date:
      return automation::dateText(v.dateValue());
    default:
      return automation::toText(v);
  }
}

bool isLookUp(const Dictionary& definition) {
  int32_t source = numberEntry(definition, "FSourceType");
  return (source == source_type::kLookUpSql || source == source_type::kAccount) &&
         !textOf(definition, "FSRCTableName").empty() && !textOf(definition, "FSRCFieldName").empty();
}

}  // namespace mto::sim::editor_detail
