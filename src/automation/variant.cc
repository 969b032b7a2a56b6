#include "automation/variant.h"

#include <fmt/format.h>

#include "automation/error.h"
#include "automation/object.h"

namespace mto::automation {

std::string_view varTypeName(VarType type) {
  switch (type) {
    case VarType::Empty:
      return "Empty";
    case VarType::Null:
      return "Null";
    case VarType::Boolean:
      return "Boolean";
    case VarType::Integer:
      return "Integer";
    case VarType::Long:
      return "Long";
    case VarType::Double:
      return "Double";
    case VarType::Date:
      return "Date";
    case VarType::String:
      return "String";
    case VarType::Object:
      return "Object";
    case VarType::Array:
      return "Array";
    case VarType::Missing:
      return "Missing";
  }
  return "?";
}

bool Variant::isNumeric() const {
  switch (type()) {
    case VarType::Boolean:
    case VarType::Integer:
    case VarType::Long:
    case VarType::Double:
    case VarType::Date:
      return true;
    default:
      return false;
  }
}

namespace {
template <typename T, typename V>
const T& access(const V& value) {
  if (const T* p = std::get_if<T>(&value)) return *p;
  raiseError(errc::kTypeMismatch);
}
}  // namespace

bool Variant::boolValue() const {
  return access<bool>(value_);
}
int16_t Variant::integerValue() const {
  return access<int16_t>(value_);
}
int32_t Variant::longValue() const {
  return access<int32_t>(value_);
}
double Variant::doubleValue() const {
  return access<double>(value_);
}
Date Variant::dateValue() const {
  return access<Date>(value_);
}
const std::string& Variant::stringValue() const {
  return access<std::string>(value_);
}
const ObjectPtr& Variant::objectValue() const {
  return access<ObjectPtr>(value_);
}
const Array& Variant::arrayValue() const {
  return *access<std::shared_ptr<const Array>>(value_);
}

bool Variant::operator==(const Variant& other) const {
  if (isArray() && other.isArray()) return arrayValue() == other.arrayValue();
  return value_ == other.value_;
}

std::string describe(const Variant& v) {
  switch (v.type()) {
    case VarType::Empty:
    case VarType::Null:
    case VarType::Missing:
      return std::string(varTypeName(v.type()));
    case VarType::Boolean:
      return v.boolValue() ? "Boolean(True)" : "Boolean(False)";
    case VarType::Integer:
      return fmt::format("Integer({})", v.integerValue());
    case VarType::Long:
      return fmt::format("Long({})", v.longValue());
    case VarType::Double:
      return fmt::format("Double({})", v.doubleValue());
    case VarType::Date:
      return fmt::format("Date({})", v.dateValue().serial);
    case VarType::String:
      return fmt::format("String(\"{}\")", v.stringValue());
    case VarType::Object:
      return v.objectValue() ? fmt::format("Object({})", v.objectValue()->typeName()) : "Nothing";
    case VarType::Array:
      return fmt::format("Array({})", v.arrayValue().size());
  }
  return "?";
}

}  // namespace mto::automation
