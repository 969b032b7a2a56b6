#include "sim/components/toolbar.h"

#include <algorithm>

#include "automation/convert.h"
#include "automation/error.h"
#include "sim/runtime/member_helpers.h"

namespace mto::sim {

namespace {

const std::string& toolName(const ToolbarTool& t) {
  return t.state().name;
}

/// Reads a property of a tool from another library; a tool without it keeps the default.
template <typename T>
void readForeign(const ObjectPtr& tool, std::string_view name, T& field) {
  try {
    convertInto(field, automation::get(tool, name));
  } catch (const automation::AutomationError& e) {
    if (e.number() != automation::errc::kMemberNotFound) throw;
  }
}

ToolbarToolState stateOf(const ObjectPtr& tool) {
  if (auto own = std::dynamic_pointer_cast<ToolbarTool>(tool)) return own->state();
  ToolbarToolState s;
  readForeign(tool, "Name", s.name);
  readForeign(tool, "Caption", s.caption);
  readForeign(tool, "Category", s.category);
  readForeign(tool, "Description", s.description);
  readForeign(tool, "BeginGroup", s.beginGroup);
  readForeign(tool, "Visible", s.visible);
  readForeign(tool, "Enabled", s.enabled);
  readForeign(tool, "ControlType", s.controlType);
  return s;
}

}  // namespace

template <typename F>
void ToolbarTool::apply(F change) {
  change(state_);
  std::erase_if(copies_, [](const auto& c) { return c.expired(); });
  for (const auto& weak : copies_)
    if (auto copy = weak.lock()) change(copy->state_);
}

std::shared_ptr<ToolbarTool> ToolbarTool::placeCopy(const std::shared_ptr<ToolbarContext>& context) {
  auto copy = std::make_shared<ToolbarTool>(state_);
  std::shared_ptr<ToolbarTool> link;
  if (owner_.lock() == context)
    link = std::static_pointer_cast<ToolbarTool>(shared_from_this());
  else if (auto m = master(); m && m->owner_.lock() == context)
    link = m;
  if (link) {
    copy->master_ = link;
    link->copies_.push_back(copy);
  }
  return copy;
}

const MemberTable<ToolbarTool>& ToolbarTool::members() {
  static const MemberTable<ToolbarTool> table = [] {
    MemberTable<ToolbarTool> t("Tool");
    auto property = [&t](std::string_view name, auto ToolbarToolState::*field) {
      t.add(name, [field](ToolbarTool& self, CallKind kind, Args args) -> Variant {
        if (isPut(kind)) {
          auto value = self.state_.*field;
          convertInto(value, putValue(args));
          self.apply([&](ToolbarToolState& s) { s.*field = value; });
          return {};
        }
        return Variant(self.state_.*field);
      });
    };
    property("Name", &ToolbarToolState::name);
    property("ID", &ToolbarToolState::id);
    property("Caption", &ToolbarToolState::caption);
    property("Description", &ToolbarToolState::description);
    property("Category", &ToolbarToolState::category);
    property("BeginGroup", &ToolbarToolState::beginGroup);
    property("Enabled", &ToolbarToolState::enabled);
    property("Visible", &ToolbarToolState::visible);
    property("ControlType", &ToolbarToolState::controlType);
    return t;
  }();
  return table;
}

std::shared_ptr<ToolbarTool> ToolbarTools::find(std::string_view name) const {
  for (const auto& tool : tools_)
    if (tool->state().name == name) return tool;
  return nullptr;
}

std::shared_ptr<ToolbarTool> ToolbarTools::addMaster(ToolbarToolState state) {
  state.id = context_->nextId++;
  auto tool = std::make_shared<ToolbarTool>(std::move(state));
  tool->owner_ = context_;
  tools_.push_back(tool);
  return tool;
}

void ToolbarTools::insert(int32_t position, const ObjectPtr& tool) {
  if (!tool) automation::raiseError(automation::errc::kObjectRequired, {}, "Tools");
  if (position < 0) automation::raiseError(automation::errc::kSubscriptOutOfRange, {}, "Tools");
  auto at = tools_.begin() + std::min<std::ptrdiff_t>(position, static_cast<std::ptrdiff_t>(tools_.size()));
  if (!isControlList_) {
    auto own = std::dynamic_pointer_cast<ToolbarTool>(tool);
    auto copy = own ? own->placeCopy(context_) : std::make_shared<ToolbarTool>(stateOf(tool));
    tools_.insert(at, std::move(copy));
    return;
  }
  ToolbarToolState state = stateOf(tool);
  if (!state.name.empty() && find(state.name))
    automation::raiseError(automation::errc::kInvalidCall, "A tool named " + state.name + " already exists",
                           "Tools");
  state.id = context_->nextId++;
  auto master = std::make_shared<ToolbarTool>(std::move(state));
  master->owner_ = context_;
  tools_.insert(at, std::move(master));
}

void ToolbarTools::removeAt(int32_t position) {
  if (position < 0 || static_cast<size_t>(position) >= tools_.size())
    automation::raiseError(automation::errc::kSubscriptOutOfRange, {}, "Tools");
  tools_.erase(tools_.begin() + position);
}

const MemberTable<ToolbarTools>& ToolbarTools::members() {
  static const MemberTable<ToolbarTools> table = [] {
    MemberTable<ToolbarTools> t("Tools");
    auto item = [](ToolbarTools& self, CallKind, Args args) -> Variant {
      return ObjectPtr(pickNamed(self.tools_, requiredArg(args, 0), toolName, "Tools", 0));
    };
    t.add("", item);
    t.add("Item", item);
    t.add("Count", [](ToolbarTools& self, CallKind, Args) -> Variant {
      return static_cast<int16_t>(self.tools_.size());
    });
    t.add("Insert", [](ToolbarTools& self, CallKind, Args args) -> Variant {
      int32_t position = automation::toLong(requiredArg(args, 0));
      const Variant& tool = requiredArg(args, 1);
      if (!tool.isObject()) automation::raiseError(automation::errc::kObjectRequired, {}, "Tools");
      self.insert(position, tool.objectValue());
      return {};
    });
    t.add("Remove", [](ToolbarTools& self, CallKind, Args args) -> Variant {
      self.removeAt(automation::toLong(requiredArg(args, 0)));
      return {};
    });
    return t;
  }();
  return table;
}

const MemberTable<ToolbarBand>& ToolbarBand::members() {
  static const MemberTable<ToolbarBand> table = [] {
    MemberTable<ToolbarBand> t("Band");
    t.add("Name", [](ToolbarBand& self, CallKind kind, Args args) -> Variant {
      if (isPut(kind)) {
        convertInto(self.name_, putValue(args));
        return {};
      }
      return self.name_;
    });
    t.add("Caption", [](ToolbarBand& self, CallKind kind, Args args) -> Variant {
      if (isPut(kind)) {
        convertInto(self.caption_, putValue(args));
        return {};
      }
      return self.caption_;
    });
    t.add("Visible", [](ToolbarBand& self, CallKind kind, Args args) -> Variant {
      if (isPut(kind)) {
        convertInto(self.visible_, putValue(args));
        return {};
      }
      return self.visible_;
    });
    t.add("Tools", [](ToolbarBand& self, CallKind, Args args) -> Variant {
      const Variant& which = arg(args, 0);
      if (which.isMissing()) return ObjectPtr(self.tools_);
      return ObjectPtr(pickNamed(self.tools_->tools(), which, toolName, "Tools", 0));
    });
    return t;
  }();
  return table;
}

std::shared_ptr<ToolbarBand> ToolbarBands::find(std::string_view name) const {
  for (const auto& band : bands_)
    if (band->name() == name) return band;
  return nullptr;
}

const MemberTable<ToolbarBands>& ToolbarBands::members() {
  static const MemberTable<ToolbarBands> table = [] {
    MemberTable<ToolbarBands> t("Bands");
    auto item = [](ToolbarBands& self, CallKind, Args args) -> Variant {
      return ObjectPtr(pickNamed(
          self.bands_, requiredArg(args, 0), [](const ToolbarBand& b) { return b.name(); }, "Bands", 0));
    };
    t.add("", item);
    t.add("Item", item);
    t.add("Count", [](ToolbarBands& self, CallKind, Args) -> Variant {
      return static_cast<int16_t>(self.bands_.size());
    });
    return t;
  }();
  return table;
}

Toolbar::Toolbar()
    : context_(std::make_shared<ToolbarContext>()),
      tools_(std::make_shared<ToolbarTools>(context_, true)),
      bands_(std::make_shared<ToolbarBands>()) {}

const MemberTable<Toolbar>& Toolbar::members() {
  static const MemberTable<Toolbar> table = [] {
    MemberTable<Toolbar> t("ActiveBar3");
    t.add("Tools", [](Toolbar& self, CallKind, Args args) -> Variant {
      const Variant& which = arg(args, 0);
      if (which.isMissing()) return ObjectPtr(self.tools_);
      return ObjectPtr(pickNamed(self.tools_->tools(), which, toolName, "Tools", 0));
    });
    t.add("Bands", [](Toolbar& self, CallKind, Args args) -> Variant {
      const Variant& which = arg(args, 0);
      if (which.isMissing()) return ObjectPtr(self.bands_);
      return ObjectPtr(pickNamed(
          self.bands_->bands(), which, [](const ToolbarBand& b) { return b.name(); }, "Bands", 0));
    });
    t.add("RecalcLayout", [](Toolbar& self, CallKind, Args) -> Variant {
      ++self.recalcs_;
      return {};
    });
    t.add("CreateTool",
          [](Toolbar&, CallKind, Args) -> Variant { return ObjectPtr(std::make_shared<ToolbarTool>()); });
    return t;
  }();
  return table;
}

std::shared_ptr<ToolbarTool> Toolbar::addTool(std::string name, std::string caption, std::string category) {
  ToolbarToolState state;
  state.name = std::move(name);
  state.description = caption;
  state.caption = std::move(caption);
  state.category = std::move(category);
  return tools_->addMaster(std::move(state));
}

std::shared_ptr<ToolbarBand> Toolbar::addBand(std::string name, std::string caption) {
  auto band = std::make_shared<ToolbarBand>(context_, std::move(name), std::move(caption));
  bands_->append(band);
  return band;
}

bool ToolbarBands::remove(std::string_view name) {
  auto found = std::find_if(bands_.begin(), bands_.end(), [&](const auto& b) { return b->name() == name; });
  if (found == bands_.end()) return false;
  bands_.erase(found);
  return true;
}

bool Toolbar::removeFromBand(std::string_view bandName, std::string_view toolName) {
  auto target = band(bandName);
  if (!target) return false;
  const auto& tools = target->tools()->tools();
  for (size_t i = 0; i < tools.size(); ++i)
    if (tools[i]->state().name == toolName) {
      target->tools()->removeAt(static_cast<int32_t>(i));
      return true;
    }
  return false;
}

void Toolbar::place(std::string_view bandName, std::string_view toolName) {
  auto target = band(bandName);
  if (!target) invalidKey("Bands", Variant(bandName));
  if (toolName == "-") {
    ToolbarToolState separator;
    separator.controlType = kToolSeparator;
    target->tools()->append(std::make_shared<ToolbarTool>(std::move(separator)));
    return;
  }
  auto master = tool(toolName);
  if (!master) invalidKey("Tools", Variant(toolName));
  target->tools()->append(master->placeCopy(context_));
}

std::vector<ToolbarBandState> Toolbar::bandStates() const {
  std::vector<ToolbarBandState> out;
  for (const auto& b : bands_->bands()) {
    ToolbarBandState state{b->name(), {}};
    for (const auto& t : b->tools()->tools()) state.tools.push_back(t->state());
    out.push_back(std::move(state));
  }
  return out;
}

std::vector<std::string> Toolbar::bandToolNames(std::string_view bandName) const {
  std::vector<std::string> names;
  if (auto b = band(bandName))
    for (const auto& t : b->tools()->tools()) names.push_back(t->state().name);
  return names;
}

std::vector<ToolbarToolState> Toolbar::toolStates() const {
  std::vector<ToolbarToolState> out;
  for (const auto& t : tools_->tools()) out.push_back(t->state());
  return out;
}

namespace {

struct SeedTool {
  const char* name;
  const char* caption;
};

void seed(Toolbar& bar, std::initializer_list<SeedTool> tools,
          std::initializer_list<std::pair<const char*, std::initializer_list<const char*>>> bands) {
  for (const auto& t : tools) bar.addTool(t.name, t.caption, "Tools");
  for (const auto& [name, names] : bands) {
    bar.addBand(name, name);
    for (const char* tool : names) bar.place(name, tool);
  }
  // The entries of the menu band open menus.
  if (auto menu = bar.band("menu"))
    for (const auto& entry : menu->tools()->tools())
      if (auto master = entry->master()) {
        master->state().category = "Menus";
        entry->state().category = "Menus";
      }
}

}  // namespace

std::shared_ptr<Toolbar> Toolbar::billEditorToolbar() {
  auto bar = std::make_shared<Toolbar>();
  seed(*bar,
       {{"mnuFile", "&File"},
        {"mnuEdit", "&Edit"},
        {"mnuView", "&View"},
        {"mnuData", "&Data"},
        {"mnuOption", "&Options"},
        {"mnuPushBill", "&Push bill"},
        {"mnuFileNew", "New"},
        {"mnuFileSave", "Save"},
        {"mnuFilePrint", "Print"},
        {"mnuFilePreview", "Preview"},
        {"mnuFileExit", "Exit"},
        {"mnuEditCheck", "Check"},
        {"mnuEditUnCheck", "Uncheck"},
        {"mnuEditCopy", "Copy"},
        {"mnuEditCopyEntry", "Copy entry"},
        {"mnuEditAddRow", "Add row"},
        {"mnuEditDelRow", "Delete row"},
        {"mnuCopyRow", "Copy row"},
        {"mnuBatchFillField", "Batch fill"},
        {"mnuViewToolBar", "Toolbar"},
        {"mnuViewToolCaption", "Tool captions"},
        {"mnuDataLookUp", "Look up"},
        {"mnuStockQuery", "Stock query"},
        {"mnuSupplyInfoQuery", "Supply information"},
        {"mnuOptionBatchFull", "Batch full"},
        {"mnuOptionLinkBill", "Link bill"}},
       {{"menu", {"mnuFile", "mnuEdit", "mnuView", "mnuData", "mnuOption", "mnuPushBill"}},
        {"BandToolBar",
         {"mnuFileNew", "mnuFileSave", "mnuFilePrint", "mnuFilePreview", "-", "mnuEditCheck",
          "mnuEditUnCheck", "-", "mnuDataLookUp", "mnuStockQuery", "-", "mnuFileExit"}},
        {"mnuFile", {"mnuFileNew", "mnuFileSave", "-", "mnuFilePreview", "mnuFilePrint", "-", "mnuFileExit"}},
        {"mnuEdit",
         {"mnuEditCheck", "mnuEditUnCheck", "mnuEditCopy", "mnuEditCopyEntry", "-", "mnuEditAddRow",
          "mnuEditDelRow", "mnuCopyRow", "mnuBatchFillField"}},
        {"mnuView", {"mnuViewToolBar", "mnuViewToolCaption"}},
        {"mnuData", {"mnuDataLookUp", "mnuStockQuery", "mnuSupplyInfoQuery"}},
        {"mnuOption", {"mnuOptionBatchFull", "mnuOptionLinkBill"}},
        {"mnuPop", {"mnuEditCopy", "mnuEditAddRow", "mnuEditDelRow", "mnuCopyRow", "mnuEditCopyEntry"}}});
  return bar;
}

std::shared_ptr<Toolbar> Toolbar::billListToolbar() {
  auto bar = std::make_shared<Toolbar>();
  seed(
      *bar,
      {{"mnuFile", "&File"},
       {"mnuEdit", "&Edit"},
       {"mnuView", "&View"},
       {"mnuData", "&Data"},
       {"mnuPushBill", "&Push bill"},
       {"mnuFileNew", "New"},
       {"mnuFilePrint", "Print"},
       {"mnuFileExit", "Exit"},
       {"mnuEditModify", "Modify"},
       {"mnuEditDelete", "Delete"},
       {"mnuEditCopy", "Copy"},
       {"mnuEditCopyEntry", "Copy entry"},
       {"mnuDataFilter", "Filter"},
       {"mnuDataAccessory", "Accessory"},
       {"mnuCaculate", "Calculate"},
       {"mnuViewToolBar", "Toolbar"},
       {"mnuViewToolCaption", "Tool captions"},
       {"mnuViewRefresh", "Refresh"}},
      {{"menu", {"mnuFile", "mnuEdit", "mnuView", "mnuData", "mnuPushBill"}},
       {"BandToolBar",
        {"mnuFileNew", "mnuEditModify", "mnuEditDelete", "-", "mnuDataFilter", "mnuDataAccessory",
         "mnuCaculate", "-", "mnuFilePrint", "mnuFileExit"}},
       {"mnuFile", {"mnuFileNew", "mnuFilePrint", "-", "mnuFileExit"}},
       {"mnuEdit", {"mnuEditModify", "mnuEditDelete", "mnuEditCopy", "mnuEditCopyEntry", "-", "mnuCaculate"}},
       {"mnuView", {"mnuViewToolBar", "mnuViewToolCaption", "mnuViewRefresh"}},
       {"mnuData", {"mnuDataFilter", "mnuDataAccessory", "mnuCaculate"}},
       {"mnuPop",
        {"mnuEditModify", "mnuEditDelete", "mnuEditCopy", "mnuEditCopyEntry", "-", "mnuDataFilter"}}});
  return bar;
}

void registerToolbarLibrary(automation::RegistryPlatform& platform) {
  platform.registerFactory(std::string(kToolbarToolProgId), [] { return std::make_shared<ToolbarTool>(); });
}

}  // namespace mto::sim
