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

}  // namespace mto::automation
