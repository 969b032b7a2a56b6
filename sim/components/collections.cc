#include "sim/components/collections.h"

#include "automation/convert.h"
#include "automation/platform.h"

namespace mto::sim {

using automation::raiseError;
using automation::errc::kInvalidCall;
using automation::errc::kSubscriptOutOfRange;

// Most dictionaries are cells and definitions of a dozen entries: those are searched in order, and
// only a larger one keeps a hash index, built when it grows past kIndexedFrom.
constexpr size_t kIndexedFrom = 16;

size_t Dictionary::position(std::string_view key) const {
  if (!index_.empty()) {
    auto it = index_.find(key);
    return it == index_.end() ? entries_.size() : it->second;
  }
  for (size_t i = 0; i < entries_.size(); ++i)
    if (automation::equalsIgnoreCase(entries_[i].first, key)) return i;
  return entries_.size();
}

void Dictionary::reindex() {
  index_.clear();
  if (entries_.size() < kIndexedFrom) return;
  for (size_t i = 0; i < entries_.size(); ++i) index_.emplace(entries_[i].first, i);
}

void Dictionary::set(std::string_view key, Variant value) {
  size_t pos = position(key);
  if (pos < entries_.size()) {
    entries_[pos].second = std::move(value);
    return;
  }
  entries_.emplace_back(std::string(key), std::move(value));
  if (!index_.empty())
    index_.emplace(entries_.back().first, pos);
  else if (entries_.size() >= kIndexedFrom)
    reindex();
}

const Variant* Dictionary::find(std::string_view key) const {
  size_t pos = position(key);
  return pos < entries_.size() ? &entries_[pos].second : nullptr;
}

const Variant& Dictionary::at(std::string_view key) const {
  static const Variant empty;
  const Variant* v = find(key);
  return v ? *v : empty;
}

void Dictionary::remove(std::string_view key) {
  size_t pos = position(key);
  if (pos >= entries_.size()) return;
  entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(pos));
  reindex();
}

const Variant& Dictionary::item(const Variant& keyOrPosition) const {
  if (keyOrPosition.isString()) return at(keyOrPosition.stringValue());
  if (keyOrPosition.isNumeric()) {
    auto pos = automation::toLong(keyOrPosition);
    if (pos < 1 || static_cast<size_t>(pos) > entries_.size())
      raiseError(kSubscriptOutOfRange, {}, "Dictionary");
    return entries_[static_cast<size_t>(pos - 1)].second;
  }
  return at(automation::toText(keyOrPosition));
}

namespace {
std::string keyText(const Variant& key) {
  return automation::toText(key);
}
}  // namespace

const MemberTable<Dictionary>& Dictionary::members() {
  static const MemberTable<Dictionary> table = [] {
    MemberTable<Dictionary> t("Dictionary");
    auto itemMember = [](Dictionary& self, CallKind kind, Args args) -> Variant {
      if (kind == CallKind::PropertyPut || kind == CallKind::PropertyPutRef) {
        if (args.size() != 2) raiseError(automation::errc::kWrongArgumentCount, {}, "Dictionary");
        self.set(keyText(args[0].value()), args[1].value());
        return {};
      }
      if (args.empty()) {
        // The object itself read without an index: no default value of its own.
        raiseError(automation::errc::kArgumentNotOptional, {}, "Dictionary");
      }
      return self.item(requiredArg(args, 0));
    };
    t.add("", itemMember);
    t.add("Item", itemMember);
    t.add("GetValue", [](Dictionary& self, CallKind, Args args) -> Variant {
      const Variant* v = self.find(keyText(requiredArg(args, 0)));
      if (v) return *v;
      const Variant& def = arg(args, 1);
      return def.isMissing() ? Variant() : def;
    });
    t.add("Lookup", [](Dictionary& self, CallKind, Args args) -> Variant {
      return self.contains(keyText(requiredArg(args, 0)));
    });
    t.add("Count", [](Dictionary& self, CallKind, Args) -> Variant {
      return static_cast<int32_t>(self.entries_.size());
    });
    t.add("Key", [](Dictionary& self, CallKind, Args args) -> Variant {
      auto pos = automation::toLong(requiredArg(args, 0));
      if (pos < 1 || static_cast<size_t>(pos) > self.entries_.size())
        raiseError(kSubscriptOutOfRange, {}, "Dictionary");
      return self.entries_[static_cast<size_t>(pos - 1)].first;
    });
    t.add("Items", [](Dictionary& self, CallKind, Args) -> Variant {
      auto v = Vector::create();
      for (const auto& [k, value] : self.entries_) v->add(value);
      return v;
    });
    t.add("Keys", [](Dictionary& self, CallKind, Args) -> Variant {
      auto v = Vector::create();
      for (const auto& [k, value] : self.entries_) v->add(k);
      return v;
    });
    t.add("Remove", [](Dictionary& self, CallKind, Args args) -> Variant {
      self.remove(keyText(requiredArg(args, 0)));
      return {};
    });
    return t;
  }();
  return table;
}

Variant& Vector::at(int64_t index) {
  if (index < 1 || static_cast<size_t>(index) > items_.size()) raiseError(kSubscriptOutOfRange, {}, "Vector");
  return items_[static_cast<size_t>(index - 1)];
}

void Vector::removeAt(int64_t index) {
  at(index);
  items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(index - 1));
}

const MemberTable<Vector>& Vector::members() {
  static const MemberTable<Vector> table = [] {
    MemberTable<Vector> t("Vector");
    auto itemMember = [](Vector& self, CallKind kind, Args args) -> Variant {
      if (kind == CallKind::PropertyPut || kind == CallKind::PropertyPutRef) {
        if (args.size() != 2) raiseError(automation::errc::kWrongArgumentCount, {}, "Vector");
        self.at(automation::toLong(args[0].value())) = args[1].value();
        return {};
      }
      return self.at(automation::toLong(requiredArg(args, 0)));
    };
    t.add("", itemMember);
    t.add("Item", itemMember);
    t.add("Add", [](Vector& self, CallKind, Args args) -> Variant {
      self.add(requiredArg(args, 0));
      return {};
    });
    t.add("UBound",
          [](Vector& self, CallKind, Args) -> Variant { return static_cast<int32_t>(self.size()); });
    t.add("LBound", [](Vector&, CallKind, Args) -> Variant { return int32_t{1}; });
    auto size = [](Vector& self, CallKind, Args) -> Variant { return static_cast<int32_t>(self.size()); };
    t.add("Size", size);
    t.add("Count", size);
    t.add("_NewEnum", [](Vector& self, CallKind, Args) -> Variant { return automation::Array(self.items_); });
    t.add("Remove", [](Vector& self, CallKind, Args args) -> Variant {
      self.removeAt(automation::toLong(requiredArg(args, 0)));
      return {};
    });
    return t;
  }();
  return table;
}

const MemberTable<CollectionUtility>& CollectionUtility::members() {
  static const MemberTable<CollectionUtility> table = [] {
    MemberTable<CollectionUtility> t("Utility");
    t.add("NullToDefault", [](CollectionUtility&, CallKind, Args args) -> Variant {
      const Variant& value = requiredArg(args, 0);
      if (value.isNull()) return requiredArg(args, 1);
      return value;
    });
    return t;
  }();
  return table;
}

void registerCollections(automation::RegistryPlatform& platform) {
  platform.registerFactory(std::string(host::progid::kDictionary), [] { return Dictionary::create(); });
  platform.registerFactory(std::string(host::progid::kVector), [] { return Vector::create(); });
  platform.registerFactory(std::string(host::progid::kUtility),
                           [] { return std::make_shared<CollectionUtility>(); });
}

}  // namespace mto::sim
