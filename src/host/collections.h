#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "automation/object.h"

namespace mto::host {

using automation::ObjectPtr;
using automation::Variant;

/// A view of the host's `Dictionary`: every member is one late-bound call.
///   default member (key) get/put/put-ref, "GetValue" (key[, default]), "Lookup" (key), "Count",
///   "Key" (position from 1), "Items" (entries as a Vector).
class DictionaryRef {
 public:
  DictionaryRef() = default;
  explicit DictionaryRef(ObjectPtr obj) : obj_(std::move(obj)) {}
  /// Takes the object a Variant holds; anything else raises 424.
  explicit DictionaryRef(const Variant& v);

  /// A new, empty dictionary of the host's library.
  static DictionaryRef create();

  Variant item(std::string_view key) const;
  void setItem(std::string_view key, const Variant& value) const;
  Variant getValue(std::string_view key) const;
  Variant getValue(std::string_view key, const Variant& fallback) const;
  bool lookup(std::string_view key) const;
  int32_t count() const;
  std::string keyAt(int32_t position) const;
  /// The entries in order, as the host's Vector.
  ObjectPtr items() const;

  const ObjectPtr& object() const { return obj_; }
  explicit operator bool() const { return obj_ != nullptr; }

 private:
  ObjectPtr obj_;
};

/// A view of the host's `Vector` (elements from 1): "Item", "Add", "UBound", "LBound", "Size".
class VectorRef {
 public:
  VectorRef() = default;
  explicit VectorRef(ObjectPtr obj) : obj_(std::move(obj)) {}
  explicit VectorRef(const Variant& v);

  static VectorRef create();

  Variant item(int32_t index) const;
  void add(const Variant& value) const;
  int32_t upperBound() const;
  int32_t lowerBound() const;
  int32_t size() const;

  const ObjectPtr& object() const { return obj_; }
  explicit operator bool() const { return obj_ != nullptr; }

 private:
  ObjectPtr obj_;
};

/// The host library's null-to-default operation, on the thread's one utility object (created on
/// first use and kept).
Variant nullToDefault(const Variant& value, const Variant& fallback);

}  // namespace mto::host
