#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "sim/runtime/host_object.h"

namespace mto::sim {

/// Snapshot of one menu tool, for traces.
struct MenuToolState {
  std::string name;
  std::string caption;
  bool enabled = true;
  bool visible = true;
  bool beginGroup = false;
  int32_t imageIndex = 0;
  bool operator==(const MenuToolState&) const = default;
};

/// Snapshot of one band: its key and its tools in menu order.
struct MenuBandState {
  std::string key;
  std::vector<MenuToolState> tools;
};

/// One command of the menu bar ("WEXTool"). Members: "Name" and "Key" (read only), "Caption",
/// "Enabled", "Visible", "BeginGroup" (a group line above the command: the third switch),
/// "ImageIndex" (the command's picture in the host's image list: the number).
class MenuTool : public HostObject<MenuTool> {
 public:
  static const MemberTable<MenuTool>& members();
  explicit MenuTool(std::string name, std::string caption = {})
      : state_{std::move(name), std::move(caption)} {}

  const std::string& name() const { return state_.name; }
  const MenuToolState& state() const { return state_; }
  MenuToolState& state() { return state_; }

 private:
  MenuToolState state_;
};

/// An ordered list of menu tools ("WEXTools"), either every tool of a menu bar or the tools of
/// one band. Members: default/"Item" (key, or position from 1), "Count", "ToolByName" (name: the
/// tool of that name; the menu bar's list creates it, not placed on any band, when missing),
/// "InsertTool" (tool, key: a band's list puts the tool at the place of the tool with that key,
/// which moves one down; a tool already on the band is moved). An unknown key raises 5.
class MenuTools : public HostObject<MenuTools> {
 public:
  static const MemberTable<MenuTools>& members();
  explicit MenuTools(bool ownsTools) : ownsTools_(ownsTools) {}

  std::shared_ptr<MenuTool> find(std::string_view key) const;
  /// The tool of that key; raises 5 when missing.
  std::shared_ptr<MenuTool> at(std::string_view key) const;
  void append(std::shared_ptr<MenuTool> tool) { tools_.push_back(std::move(tool)); }
  void insertAt(std::shared_ptr<MenuTool> tool, std::string_view key);
  /// Takes the tool of that key off this list; false when the list lacks it.
  bool remove(std::string_view key);
  const std::vector<std::shared_ptr<MenuTool>>& tools() const { return tools_; }

 private:
  bool ownsTools_;
  std::vector<std::shared_ptr<MenuTool>> tools_;
};

/// One menu of the bar ("WEXBand"). Members: "Key" and "Name" (read only), "Caption",
/// "Visible", "WEXTools" (without an argument the band's tool list, with a key that tool).
class MenuBand : public HostObject<MenuBand> {
 public:
  static const MemberTable<MenuBand>& members();
  MenuBand(std::string key, std::string caption)
      : key_(std::move(key)), caption_(std::move(caption)), tools_(std::make_shared<MenuTools>(false)) {}

  const std::string& key() const { return key_; }
  const std::shared_ptr<MenuTools>& tools() const { return tools_; }

 private:
  std::string key_;
  std::string caption_;
  bool visible_ = true;
  std::shared_ptr<MenuTools> tools_;
};

/// The bands of a menu bar ("WEXBands"). Members: default/"Item" (key, or position from 1),
/// "Count". An unknown key raises 5.
class MenuBands : public HostObject<MenuBands> {
 public:
  static const MemberTable<MenuBands>& members();
  std::shared_ptr<MenuBand> find(std::string_view key) const;
  std::shared_ptr<MenuBand> at(std::string_view key) const;
  void append(std::shared_ptr<MenuBand> band) { bands_.push_back(std::move(band)); }
  /// Takes the band of that key out; false when there is none.
  bool remove(std::string_view key);
  const std::vector<std::shared_ptr<MenuBand>>& bands() const { return bands_; }

 private:
  std::vector<std::shared_ptr<MenuBand>> bands_;
};

/// The menu bar of an editor or list window ("MenuBar"). A tool is one object wherever it is
/// placed, so a state set through the bar's `WEXTools` shows on every band that holds the tool.
/// Members: "WEXBands" ([key]), "WEXTools" ([key]), "Refresh".
class MenuBar : public HostObject<MenuBar> {
 public:
  static const MemberTable<MenuBar>& members();
  MenuBar() : bands_(std::make_shared<MenuBands>()), tools_(std::make_shared<MenuTools>(true)) {}

  /// The bill editor's menus: File, Edit, View, Data and Option with the commands the plug-in
  /// configures, among them "mnuStockQuery" and "mnuSupplyInfoQuery" on the Data menu.
  static std::shared_ptr<MenuBar> billEditorMenus();
  /// The bill list's menus, with the check and navigation commands the list disables.
  static std::shared_ptr<MenuBar> billListMenus();

  std::shared_ptr<MenuBand> addBand(std::string key, std::string caption);
  /// Puts a tool on a band (which must exist), creating the tool on first use.
  std::shared_ptr<MenuTool> addTool(std::string_view bandKey, std::string toolKey, std::string caption);

  /// Takes a band off the bar; its commands stay commands of the bar. False for an unknown band.
  bool removeBand(std::string_view bandKey) { return bands_->remove(bandKey); }
  /// Takes a command off one band only; false when the band or the command there is missing.
  bool removeFromBand(std::string_view bandKey, std::string_view toolKey);

  std::shared_ptr<MenuTool> tool(std::string_view key) const { return tools_->find(key); }
  std::shared_ptr<MenuBand> band(std::string_view key) const { return bands_->find(key); }
  int32_t refreshCount() const { return refreshes_; }

  /// Bands in order, each with its tools in order.
  std::vector<MenuBandState> bandStates() const;
  /// Every tool of the bar in creation order, placed or not.
  std::vector<MenuToolState> toolStates() const;

 private:
  std::shared_ptr<MenuBands> bands_;
  std::shared_ptr<MenuTools> tools_;
  int32_t refreshes_ = 0;
};

/// Raises `event` (the window's MenuBarClick) on `raiser` with the bar's command of that key and
/// Cancel, as a window does when the user runs a command; returns whether Cancel came back set. A
/// key the bar lacks raises 5 with `source`.
bool raiseMenuBarClick(HostObjectBase& raiser, const host::events::Event& event, const MenuBar* bar,
                       std::string_view toolKey, std::string_view source);

}  // namespace mto::sim
