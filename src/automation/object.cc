#include "automation/object.h"

#include "automation/error.h"

namespace mto::automation {

uint32_t Object::advise(std::shared_ptr<EventSink>) {
  raiseError(errc::kActionNotSupported);
}

void Object::unadvise(uint32_t) {
  raiseError(errc::kActionNotSupported);
}

namespace detail {
const ObjectPtr& requireObject(const ObjectPtr& target) {
  if (!target) raiseError(errc::kObjectNotSet);
  return target;
}
const ObjectPtr& requireObject(const Variant& target) {
  if (!target.isObject()) raiseError(errc::kObjectRequired);
  return requireObject(target.objectValue());
}
}  // namespace detail

std::string typeNameOf(const Variant& v) {
  if (v.isObject()) return v.objectValue() ? v.objectValue()->typeName() : "Nothing";
  return std::string(varTypeName(v.type()));
}

bool equalsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

}  // namespace mto::automation
