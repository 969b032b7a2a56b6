#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace mto::automation {

class Object;
class Variant;
using ObjectPtr = std::shared_ptr<Object>;
using Array = std::vector<Variant>;

/// Subtypes of the automation VARIANT that the plug-in meets.
enum class VarType : uint8_t {
  Empty,
  Null,
  Boolean,
  Integer,
  Long,
  Double,
  Date,
  String,
  Object,
  Array,
  Missing
};

std::string_view varTypeName(VarType type);

/// An automation date: days since 1899-12-30, the fraction of a day being the time.
struct Date {
  double serial = 0;
  bool operator==(const Date&) const = default;
};

/// A value as late-bound calls pass it. Strings are UTF-8. An Object subtype may hold a null
/// pointer ("Nothing"). Arrays are immutable once built, so copies share them.
class Variant {
 public:
  Variant() = default;
  Variant(bool v) : value_(v) {}
  Variant(int16_t v) : value_(v) {}
  Variant(int32_t v) : value_(v) {}
  Variant(double v) : value_(v) {}
  Variant(Date v) : value_(v) {}
  Variant(std::string v) : value_(std::move(v)) {}
  Variant(std::string_view v) : value_(std::string(v)) {}
  Variant(const char* v) : value_(std::string(v)) {}
  Variant(ObjectPtr v) : value_(std::move(v)) {}
  Variant(std::nullptr_t) : value_(ObjectPtr{}) {}
  Variant(Array v) : value_(std::make_shared<const Array>(std::move(v))) {}

  template <typename T>
  requires std::is_base_of_v<Object, T> Variant(std::shared_ptr<T> v) : value_(ObjectPtr(std::move(v))) {}

  static Variant null() { return Variant(NullTag{}); }
  static Variant missing() { return Variant(MissingTag{}); }

  VarType type() const { return static_cast<VarType>(value_.index()); }
  bool isEmpty() const { return type() == VarType::Empty; }
  bool isNull() const { return type() == VarType::Null; }
  bool isMissing() const { return type() == VarType::Missing; }
  bool isString() const { return type() == VarType::String; }
  bool isObject() const { return type() == VarType::Object; }
  bool isArray() const { return type() == VarType::Array; }
  bool isDate() const { return type() == VarType::Date; }
  /// Integer, Long, Double, Boolean or Date: the subtypes that compare as numbers.
  bool isNumeric() const;

  // Raw access; the subtype must match (checked, raising error 13 otherwise).
  bool boolValue() const;
  int16_t integerValue() const;
  int32_t longValue() const;
  double doubleValue() const;
  Date dateValue() const;
  const std::string& stringValue() const;
  const ObjectPtr& objectValue() const;
  const Array& arrayValue() const;

  /// Identity for objects, equal subtype and value otherwise. Not the language's "=" (see compare).
  bool operator==(const Variant& other) const;

 private:
  struct NullTag {
    bool operator==(const NullTag&) const = default;
  };
  struct MissingTag {
    bool operator==(const MissingTag&) const = default;
  };
  explicit Variant(NullTag t) : value_(t) {}
  explicit Variant(MissingTag t) : value_(t) {}

  std::variant<std::monostate, NullTag, bool, int16_t, int32_t, double, Date, std::string, ObjectPtr,
               std::shared_ptr<const Array>, MissingTag>
      value_;
};

/// A short description for traces and test failures, e.g. `Long(5)`, `String("a")`.
std::string describe(const Variant& v);

}  // namespace mto::automation
