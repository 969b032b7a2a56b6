#include "sim/editor/menu_bar.h"

#include <algorithm>

#include "automation/convert.h"
#include "automation/error.h"
#include "sim/runtime/member_helpers.h"

namespace mto::sim {

namespace {

constexpr int32_t kReadOnlyProperty = 383;

/// A read-write property over a field that `access` reaches.
template <typename Self, typename Access>
void property(MemberTable<Self>& t, std::string_view name, Access access) {
  t.add(name, [access](Self& self, CallKind kind, Args args) -> Variant {
    auto& field = access(self);
    if (isPut(kind)) {
      convertInto(field, putValue(args));
      return {};
    }
    return Variant(field);
  });
}

template <typename Self, typename Read>
void readOnly(MemberTable<Self>& t, std::string_view name, Read read) {
  t.add(name, [read, name = std::string(name)](Self& self, CallKind kind, Args) -> Variant {
    if (isPut(kind)) automation::raiseError(kReadOnlyProperty, "Can't assign to read-only property " + name);
    return read(self);
  });
}

}  // namespace

const MemberTable<MenuTool>& MenuTool::members() {
  static const MemberTable<MenuTool> table = [] {
    MemberTable<MenuTool> t("WEXTool");
    readOnly(t, "Name", [](MenuTool& s) { return Variant(s.state_.name); });
    readOnly(t, "Key", [](MenuTool& s) { return Variant(s.state_.name); });
    property(t, "Caption", [](MenuTool& s) -> std::string& { return s.state_.caption; });
    property(t, "Enabled", [](MenuTool& s) -> bool& { return s.state_.enabled; });
    property(t, "Visible", [](MenuTool& s) -> bool& { return s.state_.visible; });
    property(t, "BeginGroup", [](MenuTool& s) -> bool& { return s.state_.beginGroup; });
    property(t, "ImageIndex", [](MenuTool& s) -> int32_t& { return s.state_.imageIndex; });
    return t;
  }();
  return table;
}

std::shared_ptr<MenuTool> MenuTools::find(std::string_view key) const {
  // Command keys compare exactly, as the host's keyed collections of commands do.
  for (const auto& tool : tools_)
    if (tool->name() == key) return tool;
  return nullptr;
}

bool MenuTools::remove(std::string_view key) {
  auto found = std::find_if(tools_.begin(), tools_.end(), [&](const auto& t) { return t->name() == key; });
  if (found == tools_.end()) return false;
  tools_.erase(found);
  return true;
}

std::shared_ptr<MenuTool> MenuTools::at(std::string_view key) const {
  auto tool = find(key);
  if (!tool) invalidKey("WEXTools", Variant(key));
  return tool;
}

void MenuTools::insertAt(std::shared_ptr<MenuTool> tool, std::string_view key) {
  at(key);
  std::erase(tools_, tool);
  auto place = std::find_if(tools_.begin(), tools_.end(), [&](const auto& t) { return t->name() == key; });
  tools_.insert(place, std::move(tool));
}

const MemberTable<MenuTools>& MenuTools::members() {
  static const MemberTable<MenuTools> table = [] {
    MemberTable<MenuTools> t("WEXTools");
    auto item = [](MenuTools& self, CallKind, Args args) -> Variant {
      return ObjectPtr(pickNamed(
          self.tools_, requiredArg(args, 0), [](const MenuTool& m) { return m.name(); }, "WEXTools", 1));
    };
    t.add("", item);
    t.add("Item", item);
    t.add("Count", [](MenuTools& self, CallKind, Args) -> Variant {
      return static_cast<int32_t>(self.tools_.size());
    });
    t.add("ToolByName", [](MenuTools& self, CallKind, Args args) -> Variant {
      std::string name = automation::toText(requiredArg(args, 0));
      if (auto tool = self.find(name)) return ObjectPtr(tool);
      if (!self.ownsTools_) invalidKey("WEXTools", Variant(name));
      auto tool = std::make_shared<MenuTool>(name);
      self.tools_.push_back(tool);
      return ObjectPtr(tool);
    });
    t.add("InsertTool", [](MenuTools& self, CallKind, Args args) -> Variant {
      if (self.ownsTools_)
        automation::raiseError(automation::errc::kInvalidCall, "Tools are placed on a band", "WEXTools");
      const Variant& toolArg = requiredArg(args, 0);
      auto tool = toolArg.isObject() ? std::dynamic_pointer_cast<MenuTool>(toolArg.objectValue()) : nullptr;
      if (!tool) automation::raiseError(automation::errc::kTypeMismatch, "Not a menu tool", "WEXTools");
      self.insertAt(tool, automation::toText(requiredArg(args, 1)));
      return {};
    });
    return t;
  }();
  return table;
}

const MemberTable<MenuBand>& MenuBand::members() {
  static const MemberTable<MenuBand> table = [] {
    MemberTable<MenuBand> t("WEXBand");
    readOnly(t, "Key", [](MenuBand& s) { return Variant(s.key_); });
    readOnly(t, "Name", [](MenuBand& s) { return Variant(s.key_); });
    property(t, "Caption", [](MenuBand& s) -> std::string& { return s.caption_; });
    property(t, "Visible", [](MenuBand& s) -> bool& { return s.visible_; });
    t.add("WEXTools", [](MenuBand& self, CallKind, Args args) -> Variant {
      const Variant& key = arg(args, 0);
      if (key.isMissing()) return ObjectPtr(self.tools_);
      return ObjectPtr(pickNamed(
          self.tools_->tools(), key, [](const MenuTool& m) { return m.name(); }, "WEXTools", 1));
    });
    return t;
  }();
  return table;
}

std::shared_ptr<MenuBand> MenuBands::find(std::string_view key) const {
  for (const auto& band : bands_)
    if (band->key() == key) return band;
  return nullptr;
}

bool MenuBands::remove(std::string_view key) {
  auto found = std::find_if(bands_.begin(), bands_.end(), [&](const auto& b) { return b->key() == key; });
  if (found == bands_.end()) return false;
  bands_.erase(found);
  return true;
}

std::shared_ptr<MenuBand> MenuBands::at(std::string_view key) const {
  auto band = find(key);
  if (!band) invalidKey("WEXBands", Variant(key));
  return band;
}

const MemberTable<MenuBands>& MenuBands::members() {
  static const MemberTable<MenuBands> table = [] {
    MemberTable<MenuBands> t("WEXBands");
    auto item = [](MenuBands& self, CallKind, Args args) -> Variant {
      return ObjectPtr(pickNamed(
          self.bands_, requiredArg(args, 0), [](const MenuBand& b) { return b.key(); }, "WEXBands", 1));
    };
    t.add("", item);
    t.add("Item", item);
    t.add("Count", [](MenuBands& self, CallKind, Args) -> Variant {
      return static_cast<int32_t>(self.bands_.size());
    });
    return t;
  }();
  return table;
}

const MemberTable<MenuBar>& MenuBar::members() {
  static const MemberTable<MenuBar> table = [] {
    MemberTable<MenuBar> t("MenuBar");
    t.add("WEXBands", [](MenuBar& self, CallKind, Args args) -> Variant {
      const Variant& key = arg(args, 0);
      if (key.isMissing()) return ObjectPtr(self.bands_);
      return ObjectPtr(pickNamed(
          self.bands_->bands(), key, [](const MenuBand& b) { return b.key(); }, "WEXBands", 1));
    });
    t.add("WEXTools", [](MenuBar& self, CallKind, Args args) -> Variant {
      const Variant& key = arg(args, 0);
      if (key.isMissing()) return ObjectPtr(self.tools_);
      return ObjectPtr(pickNamed(
          self.tools_->tools(), key, [](const MenuTool& m) { return m.name(); }, "WEXTools", 1));
    });
    t.add("Refresh", [](MenuBar& self, CallKind, Args) -> Variant {
      ++self.refreshes_;
      return {};
    });
    return t;
  }();
  return table;
}

std::shared_ptr<MenuBand> MenuBar::addBand(std::string key, std::string caption) {
  auto band = std::make_shared<MenuBand>(std::move(key), std::move(caption));
  bands_->append(band);
  return band;
}

bool MenuBar::removeFromBand(std::string_view bandKey, std::string_view toolKey) {
  auto band = bands_->find(bandKey);
  return band && band->tools()->remove(toolKey);
}

std::shared_ptr<MenuTool> MenuBar::addTool(std::string_view bandKey, std::string toolKey,
                                           std::string caption) {
  auto band = bands_->at(bandKey);
  auto tool = tools_->find(toolKey);
  if (!tool) {
    tool = std::make_shared<MenuTool>(std::move(toolKey), std::move(caption));
    tools_->append(tool);
  }
  band->tools()->append(tool);
  return tool;
}

std::vector<MenuBandState> MenuBar::bandStates() const {
  std::vector<MenuBandState> out;
  for (const auto& band : bands_->bands()) {
    MenuBandState state{band->key(), {}};
    for (const auto& tool : band->tools()->tools()) state.tools.push_back(tool->state());
    out.push_back(std::move(state));
  }
  return out;
}

std::vector<MenuToolState> MenuBar::toolStates() const {
  std::vector<MenuToolState> out;
  for (const auto& tool : tools_->tools()) out.push_back(tool->state());
  return out;
}

namespace {

struct SeedTool {
  const char* key;
  const char* caption;
};

void seedBand(MenuBar& bar, const char* bandKey, const char* caption, std::initializer_list<SeedTool> tools) {
  bar.addBand(bandKey, caption);
  for (const auto& t : tools) bar.addTool(bandKey, t.key, t.caption);
}

}  // namespace

std::shared_ptr<MenuBar> MenuBar::billEditorMenus() {
  auto bar = std::make_shared<MenuBar>();
  seedBand(*bar, "mnuFile", "&File",
           {{"mnuFileNew", "&New"},
            {"mnuFileSave", "&Save"},
            {"mnuFilePreview", "Print pre&view"},
            {"mnuFilePrint", "&Print"},
            {"mnuFileExit", "E&xit"}});
  seedBand(*bar, "mnuEdit", "&Edit",
           {{"mnuEditCheck", "&Check"},
            {"mnuEditUnCheck", "&Uncheck"},
            {"mnuEditCopy", "&Copy bill"},
            {"mnuEditAddRow", "&Add row"},
            {"mnuEditDelRow", "&Delete row"},
            {"mnuCopyRow", "Copy &row"},
            {"mnuBatchFillField", "&Batch fill field"}});
  seedBand(*bar, "mnuView", "&View",
           {{"mnuViewToolBar", "&Toolbar"}, {"mnuViewToolCaption", "Tool &captions"}});
  seedBand(*bar, "mnuData", "&Data",
           {{"mnuDataLookUp", "&Look up (F7)"},
            {"mnuStockQuery", "&Stock query"},
            {"mnuSupplyInfoQuery", "S&upply information"},
            {"mnuDataViewPrvBill", "&Previous bill"},
            {"mnuDataViewNextBill", "&Next bill"}});
  seedBand(*bar, "mnuOption", "&Options",
           {{"mnuOptionBatchFull", "&Batch full"}, {"mnuOptionLinkBill", "&Link bill"}});
  return bar;
}

std::shared_ptr<MenuBar> MenuBar::billListMenus() {
  auto bar = std::make_shared<MenuBar>();
  seedBand(*bar, "mnuFile", "&File",
           {{"mnuFileNew", "&New"}, {"mnuFilePrint", "&Print"}, {"mnuFileExit", "E&xit"}});
  seedBand(*bar, "mnuEdit", "&Edit",
           {{"mnuEditModify", "&Modify"},
            {"mnuEditDelete", "&Delete"},
            {"mnuEditCopy", "&Copy"},
            {"mnuEditCheck", "&Check"},
            {"mnuEditStartMultiCheck", "&Start multi-level check"},
            {"mnuEditMultiCheck", "Multi-level c&heck"},
            {"mnuEditUnMultiCheck", "Multi-level &uncheck"},
            {"mnuBackData", "&Back data"}});
  seedBand(*bar, "mnuData", "&Data",
           {{"mnuDataFilter", "&Filter"},
            {"mnuDataAccessory", "&Accessory"},
            {"mnuDataViewPrvBill", "&Previous bill"},
            {"mnuDataViewNextBill", "&Next bill"}});
  return bar;
}

bool raiseMenuBarClick(HostObjectBase& raiser, const host::events::Event& event, const MenuBar* bar,
                       std::string_view toolKey, std::string_view source) {
  auto tool = bar ? bar->tool(toolKey) : nullptr;
  if (!tool)
    automation::raiseError(automation::errc::kInvalidCall, "No menu command " + std::string(toolKey),
                           std::string(source));
  std::vector<Variant> args{ObjectPtr(tool), Variant(false)};
  raiser.raise(event, args);
  return cancelRequested(args[*event.cancelIndex()]);
}

}  // namespace mto::sim
