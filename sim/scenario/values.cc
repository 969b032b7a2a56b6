#include "sim/scenario/values.h"

#include <fmt/format.h>

#include <cstdio>

#include "automation/error.h"
#include "automation/property_object.h"
#include "sim/components/collections.h"

namespace mto::sim::scenario_detail {

using nlohmann::json;

void malformed(const std::string& what) {
  throw Malformed(what);
}

const json& member(const json& object, std::string_view key, std::string_view where) {
  auto it = object.find(key);
  if (it == object.end()) malformed(fmt::format("{} needs \"{}\"", where, key));
  return *it;
}

std::string textOf(const json& value, std::string_view where) {
  if (!value.is_string()) malformed(fmt::format("{} must be a text, not {}", where, value.dump()));
  return value.get<std::string>();
}

int32_t integerOf(const json& value, std::string_view where) {
  if (!value.is_number_integer())
    malformed(fmt::format("{} must be a whole number, not {}", where, value.dump()));
  return value.get<int32_t>();
}

bool boolOf(const json& value, std::string_view where) {
  if (!value.is_boolean()) malformed(fmt::format("{} must be true or false, not {}", where, value.dump()));
  return value.get<bool>();
}

void onlyKeys(const json& object, std::initializer_list<std::string_view> allowed, std::string_view where) {
  if (!object.is_object()) malformed(fmt::format("{} must be an object", where));
  for (const auto& [key, value] : object.items()) {
    bool known = false;
    for (auto a : allowed) known = known || key == a;
    if (!known) malformed(fmt::format("{} has an unknown key \"{}\"", where, key));
  }
}

automation::Date parseIsoDate(const std::string& text, std::string_view where) {
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
  char tail = 0;
  int n = std::sscanf(text.c_str(), "%d-%d-%d %d:%d:%d%c", &y, &mo, &d, &h, &mi, &s, &tail);
  if (n < 3 || n == 4 || n == 7)
    malformed(fmt::format("{}: \"{}\" is not a date YYYY-MM-DD[ HH:MM[:SS]]", where, text));
  try {
    return automation::makeDate(y, mo, d, h, mi, s);
  } catch (const automation::AutomationError&) {
    malformed(fmt::format("{}: \"{}\" is not a valid date", where, text));
  }
}

std::optional<Variant> plainValue(const json& v, std::string_view where) {
  if (v.is_null()) return Variant();
  if (v.is_boolean()) return Variant(v.get<bool>());
  if (v.is_number_integer()) {
    auto n = v.get<int64_t>();
    if (n >= INT32_MIN && n <= INT32_MAX) return Variant(static_cast<int32_t>(n));
    return Variant(static_cast<double>(n));
  }
  if (v.is_number()) return Variant(v.get<double>());
  if (v.is_string()) return Variant(v.get<std::string>());
  if (!v.is_object() || v.size() != 1) return std::nullopt;
  const std::string kind = v.begin().key();
  const json& inner = v.begin().value();
  if (kind == "null") return Variant::null();
  if (kind == "empty") return Variant();
  if (kind == "missing") return Variant::missing();
  if (kind == "nothing") return Variant(automation::ObjectPtr{});
  if (kind == "integer") {
    int32_t n = integerOf(inner, where);
    if (n < INT16_MIN || n > INT16_MAX) malformed(fmt::format("{}: {} does not fit an Integer", where, n));
    return Variant(static_cast<int16_t>(n));
  }
  if (kind == "long") return Variant(integerOf(inner, where));
  if (kind == "double") {
    if (!inner.is_number()) malformed(fmt::format("{}: \"double\" needs a number", where));
    return Variant(inner.get<double>());
  }
  if (kind == "date") return Variant(parseIsoDate(textOf(inner, where), where));
  return std::nullopt;
}

Variant requirePlainValue(const json& v, std::string_view where) {
  auto value = plainValue(v, where);
  if (!value) malformed(fmt::format("{}: {} is not a value", where, v.dump()));
  return *value;
}

Variant argument(const json& a, std::string_view where, const ArgumentObjects& objects) {
  if (auto plain = plainValue(a, where)) return *plain;
  if (!a.is_object() || a.size() != 1) malformed(fmt::format("{}: {} is not an argument", where, a.dump()));
  const std::string kind = a.begin().key();
  const json& inner = a.begin().value();
  if (kind == "definition") {
    auto d = objects.bill->definition(textOf(inner, where));
    if (!d) malformed(fmt::format("{}: the template has no field \"{}\"", where, inner.get<std::string>()));
    return automation::ObjectPtr(d);
  }
  if (kind == "cell") {
    if (!inner.is_array() || inner.size() != 2) malformed(fmt::format("{}: \"cell\" is [key, row]", where));
    auto c = objects.bill->cell(textOf(inner[0], where), integerOf(inner[1], where));
    if (!c) malformed(fmt::format("{}: no cell {} at row {}", where, inner[0].dump(), inner[1].dump()));
    return automation::ObjectPtr(c);
  }
  if (kind == "dictionary") {
    if (!inner.is_object()) malformed(fmt::format("{}: \"dictionary\" takes an object", where));
    auto d = Dictionary::create();
    for (const auto& [k, v] : inner.items()) d->set(k, argument(v, where, objects));
    return automation::ObjectPtr(d);
  }
  if (kind == "vector") {
    if (!inner.is_array()) malformed(fmt::format("{}: \"vector\" takes an array", where));
    auto v = Vector::create();
    for (const auto& e : inner) v->add(argument(e, where, objects));
    return automation::ObjectPtr(v);
  }
  if (auto shaped = shapedArgument(kind, inner, where, objects)) return *shaped;
  if (kind == "bill") return automation::ObjectPtr(objects.bill);
  if (kind == "list") return automation::ObjectPtr(objects.list);
  if (kind == "menuBar")
    return textOf(inner, where) == "list" ? automation::ObjectPtr(objects.list->menuBar())
                                          : automation::ObjectPtr(objects.bill->menuBar());
  if (kind == "toolbar")
    return textOf(inner, where) == "list" ? automation::ObjectPtr(objects.list->toolbar())
                                          : automation::ObjectPtr(objects.bill->toolbar());
  if (kind == "tool") {
    auto t = objects.bill->menuBar()->tool(textOf(inner, where));
    if (!t) malformed(fmt::format("{}: the editor's menu bar has no command {}", where, inner.dump()));
    return automation::ObjectPtr(t);
  }
  malformed(fmt::format("{}: unknown argument kind \"{}\"", where, kind));
}

bool isAbsentMark(const json& v) {
  return v.is_object() && v.size() == 1 && v.contains("absent") && v["absent"] == true;
}

std::optional<Variant> shapedArgument(const std::string& kind, const json& inner, std::string_view where,
                                      const ArgumentObjects& objects) {
  if ((kind == "bill" || kind == "list") && inner.is_number_integer()) {
    int32_t which = integerOf(inner, where);
    if (which != 1 && which != 2) malformed(fmt::format("{}: \"{}\" is 1 or 2, not {}", where, kind, which));
    if (kind == "bill") return automation::ObjectPtr(which == 1 ? objects.bill : objects.bill2);
    return automation::ObjectPtr(which == 1 ? objects.list : objects.list2);
  }
  if (kind == "toolbarTool") {
    if (!inner.is_array() || inner.size() != 2)
      malformed(fmt::format("{}: \"toolbarTool\" is [\"bill\"|\"list\", name]", where));
    std::string owner = textOf(inner[0], where);
    if (owner != "bill" && owner != "list")
      malformed(fmt::format("{}: \"toolbarTool\" is [\"bill\"|\"list\", name]", where));
    const auto& control = owner == "list" ? objects.list->toolbar() : objects.bill->toolbar();
    auto tool = control->tool(textOf(inner[1], where));
    if (!tool)
      malformed(fmt::format("{}: the {}'s toolbar control has no tool {}", where, owner, inner[1].dump()));
    return automation::ObjectPtr(tool);
  }
  if (kind == "object")
    return automation::ObjectPtr(std::make_shared<automation::PropertyObject>(textOf(inner, where)));
  return std::nullopt;
}

FillCell cellOf(const std::string& key, const json& value, std::string_view where) {
  FillCell cell{key, {}, {}, {}};
  if (value.is_object() && value.contains("FFLD")) {
    onlyKeys(value, {"FFLD", "FDSP", "FFND"}, std::string(where) + "." + key);
    cell.value = requirePlainValue(value["FFLD"], key);
    if (value.contains("FDSP")) cell.display = textOf(value["FDSP"], key + ".FDSP");
    if (value.contains("FFND")) cell.number = textOf(value["FFND"], key + ".FFND");
  } else {
    cell.value = requirePlainValue(value, std::string(where) + "." + key);
  }
  return cell;
}

}  // namespace mto::sim::scenario_detail
