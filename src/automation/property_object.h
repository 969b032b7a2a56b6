#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "automation/object.h"

namespace mto::automation {

/// A plain object of named properties, read and written late-bound (names compare without regard to
/// case). The component's own small objects (form, template tools) are built from it.
class PropertyObject : public Object {
 public:
  explicit PropertyObject(std::string typeName) : typeName_(std::move(typeName)) {}
  std::string typeName() const override { return typeName_; }
  Variant invoke(std::string_view member, CallKind kind, Args args) override;

  /// Adds or replaces a property.
  void set(std::string_view name, Variant value);
  /// The property's value, Empty when absent.
  const Variant& value(std::string_view name) const;

 private:
  std::string typeName_;
  std::vector<std::pair<std::string, Variant>> properties_;
};

}  // namespace mto::automation
