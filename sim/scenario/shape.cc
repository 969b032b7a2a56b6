#include <fmt/format.h>

#include <string>

#include "sim/components/collections.h"
#include "sim/scenario/runner.h"
#include "sim/scenario/values.h"

// What the plug-in meets, beyond the default host (docs/scenarios.md): the toolbar controls and
// menu bars the setup shapes, the template and data it edits, and the steps that change the host
// between events.

namespace mto::sim::scenario_detail {

using nlohmann::json;

namespace {

/// The names of `list[where]`, an array of texts; an absent key is no names.
std::vector<std::string> namesOf(const json& object, std::string_view key, std::string_view where) {
  std::vector<std::string> names;
  if (!object.contains(key)) return names;
  const json& list = object[std::string(key)];
  if (!list.is_array()) malformed(fmt::format("{}.{} must be an array of names", where, key));
  for (const auto& n : list) names.push_back(textOf(n, fmt::format("{}.{}[]", where, key)));
  return names;
}

/// {"band": ["name", ...]}: the removals of `object[key]` by band.
std::vector<std::pair<std::string, std::string>> removalsOf(const json& object, std::string_view key,
                                                            std::string_view where) {
  std::vector<std::pair<std::string, std::string>> removals;
  if (!object.contains(key)) return removals;
  const json& byBand = object[std::string(key)];
  if (!byBand.is_object()) malformed(fmt::format("{}.{} must be an object of band names", where, key));
  for (const auto& [band, names] : byBand.items())
    for (const auto& name : namesOf(byBand, band, fmt::format("{}.{}", where, key)))
      removals.emplace_back(band, name);
  return removals;
}

/// A value of a template entry: a plain value, an array as a Vector, an object as a Dictionary.
Variant structuredValue(const json& v, const std::string& where) {
  if (auto plain = plainValue(v, where)) return *plain;
  if (v.is_array()) {
    auto vector = Vector::create();
    for (const auto& e : v) vector->add(structuredValue(e, where + "[]"));
    return automation::ObjectPtr(vector);
  }
  auto dictionary = Dictionary::create();
  for (const auto& [k, e] : v.items()) dictionary->set(k, structuredValue(e, where + "." + k));
  return automation::ObjectPtr(dictionary);
}

}  // namespace

std::shared_ptr<Toolbar> Runner::shapeToolbar(std::shared_ptr<Toolbar> control, const json& c,
                                              std::string_view where) {
  onlyKeys(c, {"bands", "removeBands", "removeTools"}, where);
  if (c.contains("bands")) {
    if (!c["bands"].is_array()) malformed(fmt::format("{}.bands must be an array", where));
    control = std::make_shared<Toolbar>();
    const std::string bandWhere = fmt::format("{}.bands[]", where);
    for (const auto& b : c["bands"]) {
      onlyKeys(b, {"name", "caption", "tools"}, bandWhere);
      std::string bandName = textOf(member(b, "name", bandWhere), bandWhere + ".name");
      control->addBand(bandName,
                       b.contains("caption") ? textOf(b["caption"], bandWhere + ".caption") : bandName);
      if (!b.contains("tools")) continue;
      if (!b["tools"].is_array()) malformed(bandWhere + ".tools must be an array");
      const std::string toolWhere = bandWhere + ".tools[]";
      for (const auto& t : b["tools"]) {
        onlyKeys(
            t,
            {"name", "id", "caption", "description", "category", "type", "beginGroup", "enabled", "visible"},
            toolWhere);
        int32_t type = t.contains("type") ? integerOf(t["type"], toolWhere + ".type") : kToolButton;
        if (!t.contains("name")) {
          if (type != kToolSeparator)
            malformed(toolWhere + " needs \"name\" unless its type is 5 (a separator)");
          control->place(bandName, "-");
          continue;
        }
        std::string name = textOf(t["name"], toolWhere + ".name");
        // A tool named on several bands is one master with a copy on each.
        auto master = control->tool(name);
        if (!master) master = control->addTool(name, name);
        auto& s = master->state();
        s.controlType = type;
        if (t.contains("id")) s.id = integerOf(t["id"], toolWhere + ".id");
        if (t.contains("caption")) s.caption = textOf(t["caption"], toolWhere + ".caption");
        if (t.contains("description")) s.description = textOf(t["description"], toolWhere + ".description");
        if (t.contains("category")) s.category = textOf(t["category"], toolWhere + ".category");
        if (t.contains("beginGroup")) s.beginGroup = boolOf(t["beginGroup"], toolWhere + ".beginGroup");
        if (t.contains("enabled")) s.enabled = boolOf(t["enabled"], toolWhere + ".enabled");
        if (t.contains("visible")) s.visible = boolOf(t["visible"], toolWhere + ".visible");
        control->place(bandName, name);
      }
    }
  }
  for (const auto& band : namesOf(c, "removeBands", where))
    if (!control->removeBand(band))
      malformed(fmt::format("{}.removeBands: the control has no band \"{}\"", where, band));
  for (const auto& [band, tool] : removalsOf(c, "removeTools", where))
    if (!control->removeFromBand(band, tool))
      malformed(fmt::format("{}.removeTools: the band \"{}\" has no tool \"{}\"", where, band, tool));
  return control;
}

std::shared_ptr<MenuBar> Runner::shapeMenuBar(std::shared_ptr<MenuBar> bar, const json& m,
                                              std::string_view where) {
  onlyKeys(m, {"bands", "removeBands", "removeCommands"}, where);
  if (m.contains("bands")) {
    if (!m["bands"].is_array()) malformed(fmt::format("{}.bands must be an array", where));
    bar = std::make_shared<MenuBar>();
    const std::string bandWhere = fmt::format("{}.bands[]", where);
    for (const auto& b : m["bands"]) {
      onlyKeys(b, {"key", "caption", "commands"}, bandWhere);
      std::string bandKey = textOf(member(b, "key", bandWhere), bandWhere + ".key");
      bar->addBand(bandKey, b.contains("caption") ? textOf(b["caption"], bandWhere + ".caption") : bandKey);
      if (!b.contains("commands")) continue;
      if (!b["commands"].is_array()) malformed(bandWhere + ".commands must be an array");
      const std::string commandWhere = bandWhere + ".commands[]";
      for (const auto& c : b["commands"]) {
        onlyKeys(c, {"name", "caption", "enabled", "visible", "beginGroup", "imageIndex"}, commandWhere);
        std::string name = textOf(member(c, "name", commandWhere), commandWhere + ".name");
        auto tool = bar->addTool(bandKey, name, name);
        auto& s = tool->state();
        if (c.contains("caption")) s.caption = textOf(c["caption"], commandWhere + ".caption");
        if (c.contains("enabled")) s.enabled = boolOf(c["enabled"], commandWhere + ".enabled");
        if (c.contains("visible")) s.visible = boolOf(c["visible"], commandWhere + ".visible");
        if (c.contains("beginGroup")) s.beginGroup = boolOf(c["beginGroup"], commandWhere + ".beginGroup");
        if (c.contains("imageIndex")) s.imageIndex = integerOf(c["imageIndex"], commandWhere + ".imageIndex");
      }
    }
  }
  for (const auto& band : namesOf(m, "removeBands", where))
    if (!bar->removeBand(band))
      malformed(fmt::format("{}.removeBands: the menu bar has no band \"{}\"", where, band));
  for (const auto& [band, command] : removalsOf(m, "removeCommands", where))
    if (!bar->removeFromBand(band, command))
      malformed(
          fmt::format("{}.removeCommands: the band \"{}\" has no command \"{}\"", where, band, command));
  return bar;
}

void Runner::removeFromMap(const json& keys) {
  if (!keys.is_array()) malformed("setup.notInMap must be an array of field keys");
  auto info = bill_->billTemplate().tableInfo();
  auto map = std::dynamic_pointer_cast<Dictionary>(info->at("Map").objectValue());
  for (const auto& k : keys) {
    std::string key = textOf(k, "setup.notInMap[]");
    if (!map->contains(key)) malformed(fmt::format("setup.notInMap: the map has no field \"{}\"", key));
    map->remove(key);
  }
}

bool Runner::applyShapedTemplateEntry(const std::string& key, const std::string& entry, const json& value) {
  const std::string where = "setup.template." + key + "." + entry;
  if (isAbsentMark(value)) {
    auto definition = bill_->definition(key);
    if (!definition->contains(entry)) malformed(fmt::format("{}: the field has no entry to remove", where));
    definition->remove(entry);
    return true;
  }
  if (!value.is_array() && (!value.is_object() || plainValue(value, where))) return false;
  bill_->billTemplate().set(key, entry, structuredValue(value, where));
  return true;
}

bool Runner::changeHost(const std::string& action, const json& arg) {
  if (action == "operationMode") {
    bill_->setOperationMode(integerOf(arg, "operationMode"));
  } else if (action == "activeControl") {
    applyActiveControl(arg, "activeControl");
  } else if (action == "props") {
    host_->setPropsString(textOf(arg, "props"));
  } else if (action == "uninstall") {
    std::string progId = textOf(arg, "uninstall");
    if (!host_->platform().isRegistered(progId))
      malformed(fmt::format("uninstall: \"{}\" is not installed", progId));
    host_->removeComponent(progId);
  } else if (action == "install") {
    std::string progId = textOf(arg, "install");
    if (!host_->installComponent(progId))
      malformed(fmt::format("install: the host has no component \"{}\"", progId));
  } else {
    return false;
  }
  return true;
}

}  // namespace mto::sim::scenario_detail
