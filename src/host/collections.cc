#include "host/collections.h"

#include "automation/convert.h"
#include "automation/error.h"
#include "automation/platform.h"
#include "automation/thread_state.h"
#include "host/contract.h"

namespace mto::host {

using automation::call;
using automation::get;
using automation::put;
using automation::toLong;
using automation::toText;

namespace {
ObjectPtr objectOf(const Variant& v) {
  if (!v.isObject()) automation::raiseError(automation::errc::kObjectRequired);
  return v.objectValue();
}
}  // namespace

DictionaryRef::DictionaryRef(const Variant& v) : obj_(objectOf(v)) {}

DictionaryRef DictionaryRef::create() {
  return DictionaryRef(automation::createObject(progid::kDictionary));
}

Variant DictionaryRef::item(std::string_view key) const {
  return get(obj_, "", key);
}

void DictionaryRef::setItem(std::string_view key, const Variant& value) const {
  if (value.isObject())
    automation::putRef(obj_, "", key, value);
  else
    put(obj_, "", key, value);
}

Variant DictionaryRef::getValue(std::string_view key) const {
  return call(obj_, "GetValue", key);
}

Variant DictionaryRef::getValue(std::string_view key, const Variant& fallback) const {
  return call(obj_, "GetValue", key, fallback);
}

bool DictionaryRef::lookup(std::string_view key) const {
  return automation::toBoolean(call(obj_, "Lookup", key));
}

int32_t DictionaryRef::count() const {
  return toLong(get(obj_, "Count"));
}

std::string DictionaryRef::keyAt(int32_t position) const {
  return toText(get(obj_, "Key", position));
}

ObjectPtr DictionaryRef::items() const {
  return objectOf(call(obj_, "Items"));
}

VectorRef::VectorRef(const Variant& v) : obj_(objectOf(v)) {}

VectorRef VectorRef::create() {
  return VectorRef(automation::createObject(progid::kVector));
}

Variant VectorRef::item(int32_t index) const {
  return get(obj_, "", index);
}

void VectorRef::add(const Variant& value) const {
  call(obj_, "Add", value);
}

int32_t VectorRef::upperBound() const {
  return toLong(call(obj_, "UBound"));
}

int32_t VectorRef::lowerBound() const {
  return toLong(call(obj_, "LBound"));
}

int32_t VectorRef::size() const {
  return toLong(call(obj_, "Size"));
}

namespace {
struct CollectionsState {
  ObjectPtr utility;
};
}  // namespace

Variant nullToDefault(const Variant& value, const Variant& fallback) {
  auto& state = automation::threadState().module<CollectionsState>();
  if (!state.utility) state.utility = automation::createObject(progid::kUtility);
  return call(state.utility, "NullToDefault", value, fallback);
}

}  // namespace mto::host
