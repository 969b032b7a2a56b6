#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "automation/platform.h"
#include "host/contract.h"
#include "sim/runtime/host_object.h"

namespace mto::sim {

/// The host's keyed collection. Keys compare without regard to letter case and keep the spelling
/// of their first insertion, so a record read under "FISKFPeriod" and "FIsKFPeriod" is one entry.
/// Entries keep insertion order and are also reachable by 1-based position.
///
/// Members: default/"Item" (key or position; get, put, put-ref), "GetValue" (key[, default]),
/// "Lookup" (key), "Count", "Key" (position), "Items" (entries as a Vector), "Keys" (keys as a
/// Vector), "Remove" (key).
class Dictionary : public HostObject<Dictionary> {
 public:
  static const MemberTable<Dictionary>& members();
  static std::shared_ptr<Dictionary> create() { return std::make_shared<Dictionary>(); }

  // Direct access for the simulated host itself; the plug-in goes through `invoke`.
  void set(std::string_view key, Variant value);
  /// The entry, or Empty when absent.
  const Variant& at(std::string_view key) const;
  const Variant* find(std::string_view key) const;
  bool contains(std::string_view key) const { return find(key) != nullptr; }
  void remove(std::string_view key);
  size_t size() const { return entries_.size(); }
  const std::vector<std::pair<std::string, Variant>>& entries() const { return entries_; }

 private:
  const Variant& item(const Variant& keyOrPosition) const;
  /// The position of a key in entries_, or entries_.size() when absent.
  size_t position(std::string_view key) const;
  void reindex();
  std::vector<std::pair<std::string, Variant>> entries_;
  std::unordered_map<std::string, size_t, automation::ascii::HashIgnoreCase,
                     automation::ascii::EqualIgnoreCase>
      index_;  // -> entries_
};

/// The host's vector: elements numbered from 1.
///
/// Members: default/"Item" (index; get, put), "Add" (value), "UBound", "LBound", "Size", "Count",
/// "_NewEnum" (the elements as an array, for enumeration), "Remove" (index).
class Vector : public HostObject<Vector> {
 public:
  static const MemberTable<Vector>& members();
  static std::shared_ptr<Vector> create() { return std::make_shared<Vector>(); }

  void add(Variant value) { items_.push_back(std::move(value)); }
  /// Element i counted from 1; raises 9 outside 1..size.
  Variant& at(int64_t index);
  const Variant& at(int64_t index) const { return const_cast<Vector*>(this)->at(index); }
  size_t size() const { return items_.size(); }
  const std::vector<Variant>& items() const { return items_; }
  void removeAt(int64_t index);

 private:
  std::vector<Variant> items_;
};

/// The host library's utility class. Members: "NullToDefault" (value, default).
class CollectionUtility : public HostObject<CollectionUtility> {
 public:
  static const MemberTable<CollectionUtility>& members();
};

/// The collection library's ProgIDs with their factories.
void registerCollections(automation::RegistryPlatform& platform);

}  // namespace mto::sim
