#include "automation/property_object.h"

#include <algorithm>

#include "automation/error.h"

namespace mto::automation {

void PropertyObject::set(std::string_view name, Variant v) {
  auto it = std::find_if(properties_.begin(), properties_.end(),
                         [&](const auto& p) { return equalsIgnoreCase(p.first, name); });
  if (it != properties_.end())
    it->second = std::move(v);
  else
    properties_.emplace_back(std::string(name), std::move(v));
}

const Variant& PropertyObject::value(std::string_view name) const {
  static const Variant empty;
  auto it = std::find_if(properties_.begin(), properties_.end(),
                         [&](const auto& p) { return equalsIgnoreCase(p.first, name); });
  return it == properties_.end() ? empty : it->second;
}

Variant PropertyObject::invoke(std::string_view member, CallKind kind, Args args) {
  auto it = std::find_if(properties_.begin(), properties_.end(),
                         [&](const auto& p) { return equalsIgnoreCase(p.first, member); });
  if (it == properties_.end()) raiseError(errc::kMemberNotFound, {}, typeName_);
  if (kind == CallKind::PropertyPut || kind == CallKind::PropertyPutRef) {
    if (args.size() != 1) raiseError(errc::kWrongArgumentCount, {}, typeName_);
    it->second = args[0].value();
    return {};
  }
  if (!args.empty()) raiseError(errc::kWrongArgumentCount, {}, typeName_);
  return it->second;
}

}  // namespace mto::automation
