#pragma once

#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "automation/convert.h"
#include "automation/error.h"
#include "sim/runtime/host_object.h"

// Small pieces the simulated classes' member tables share.

namespace mto::sim {

/// A record id as host services read one from a value: the leading number of its text, cut to a whole
/// number; one beyond the 64-bit range names no record (0), as no id is that large.
inline int64_t recordIdOf(const Variant& v) {
  double number = automation::leadingNumber(std::string_view(automation::toText(v)));
  if (!(std::fabs(number) < 9.0e18)) return 0;
  return static_cast<int64_t>(number);
}

inline bool isPut(CallKind kind) {
  return kind == CallKind::PropertyPut || kind == CallKind::PropertyPutRef;
}

/// The value of a property put: the last argument.
inline const Variant& putValue(Args args) {
  if (args.empty()) automation::raiseError(automation::errc::kArgumentNotOptional);
  return args.back().value();
}

/// Converts a put value into a field of the property's type.
inline void convertInto(std::string& field, const Variant& v) {
  field = automation::toText(v);
}
inline void convertInto(bool& field, const Variant& v) {
  field = automation::toBoolean(v);
}
inline void convertInto(int32_t& field, const Variant& v) {
  field = automation::toLong(v);
}

[[noreturn]] inline void invalidKey(const std::string& collection, const Variant& key) {
  automation::raiseError(automation::errc::kInvalidCall, "Invalid key: " + automation::describe(key),
                         collection);
}

/// Resolves a name, or a position counted from `firstIndex`, against a list of named items; an
/// unknown name raises 5, a position outside the list 9.
template <typename Item, typename NameOf>
std::shared_ptr<Item> pickNamed(const std::vector<std::shared_ptr<Item>>& items, const Variant& which,
                                NameOf nameOf, const std::string& collection, int32_t firstIndex) {
  if (which.isString()) {
    for (const auto& item : items)
      if (nameOf(*item) == which.stringValue()) return item;
    invalidKey(collection, which);
  }
  auto index = automation::toLong(which) - firstIndex;
  if (index < 0 || static_cast<size_t>(index) >= items.size())
    automation::raiseError(automation::errc::kSubscriptOutOfRange, {}, collection);
  return items[static_cast<size_t>(index)];
}

}  // namespace mto::sim
