#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "automation/platform.h"
#include "host/contract.h"
#include "sim/runtime/host_object.h"

namespace mto::sim {

/// The ProgID of a free-standing tool of the toolbar library (not yet on any control).
inline constexpr std::string_view kToolbarToolProgId = host::progid::kToolbarTool;

/// A tool's kind ("ControlType"): 0 a button, 5 a separator.
inline constexpr int32_t kToolButton = 0;
inline constexpr int32_t kToolSeparator = 5;

/// Snapshot of one tool, for traces.
struct ToolbarToolState {
  std::string name;
  int32_t id = 0;
  std::string caption;
  std::string description;
  std::string category;
  bool beginGroup = false;
  bool enabled = true;
  bool visible = true;
  int32_t controlType = kToolButton;
  bool operator==(const ToolbarToolState&) const = default;
};

struct ToolbarBandState {
  std::string name;
  std::vector<ToolbarToolState> tools;
};

/// What the lists of one control share: the control's identity and its next tool ID. Lists and
/// tools keep it alive, so they stay usable after the control itself is gone.
struct ToolbarContext {
  int32_t nextId = 1;
};

/// One tool ("Tool"). Members: "Name", "ID", "Caption", "Description", "Category", "BeginGroup",
/// "Enabled", "Visible", "ControlType". A tool of the control's own list is the master of the
/// copies placed on bands: a property set on the master is set on each copy too, while a property
/// set on a band's copy stays with that copy.
class ToolbarTool : public HostObject<ToolbarTool> {
 public:
  static const MemberTable<ToolbarTool>& members();
  ToolbarTool() = default;
  explicit ToolbarTool(ToolbarToolState state) : state_(std::move(state)) {}

  const ToolbarToolState& state() const { return state_; }
  ToolbarToolState& state() { return state_; }
  /// The master this tool is a band copy of; nullptr for masters and free-standing tools.
  std::shared_ptr<ToolbarTool> master() const { return master_.lock(); }
  /// A copy for a band of `context`'s control, linked to this tool when it is a master of that
  /// control (or to its master when it is a copy).
  std::shared_ptr<ToolbarTool> placeCopy(const std::shared_ptr<ToolbarContext>& context);

 private:
  friend class ToolbarTools;
  /// Applies a change to this tool and, for a master, to its live copies.
  template <typename F>
  void apply(F change);

  ToolbarToolState state_;
  std::weak_ptr<ToolbarContext> owner_;  // set on masters: the control whose list holds them
  std::weak_ptr<ToolbarTool> master_;
  std::vector<std::weak_ptr<ToolbarTool>> copies_;
};

/// An ordered list of tools ("Tools"), positions from 0. Members: default/"Item" (0-based
/// position, or name), "Count" (Integer), "Insert" (position, tool), "Remove" (position).
/// A band's list stores a copy of the tool inserted; the control's list takes a tool of another
/// control (or a free-standing one) as a new master copied from its Name, Caption, Category,
/// Description, BeginGroup, Visible and Enabled, and refuses a second tool of a name it has.
/// An unknown name raises 5, a position outside the list 9; inserting beyond the end appends.
class ToolbarTools : public HostObject<ToolbarTools> {
 public:
  static const MemberTable<ToolbarTools>& members();
  ToolbarTools(std::shared_ptr<ToolbarContext> context, bool isControlList)
      : context_(std::move(context)), isControlList_(isControlList) {}

  std::shared_ptr<ToolbarTool> find(std::string_view name) const;
  const std::vector<std::shared_ptr<ToolbarTool>>& tools() const { return tools_; }
  /// Inserts as the late-bound `Insert` does.
  void insert(int32_t position, const ObjectPtr& tool);
  void removeAt(int32_t position);
  void append(std::shared_ptr<ToolbarTool> tool) { tools_.push_back(std::move(tool)); }
  /// Adds a master at the end of the control's list (the ID is assigned).
  std::shared_ptr<ToolbarTool> addMaster(ToolbarToolState state);

 private:
  std::shared_ptr<ToolbarContext> context_;
  bool isControlList_;
  std::vector<std::shared_ptr<ToolbarTool>> tools_;
};

/// One band ("Band"): "Name", "Caption", "Visible", "Tools" (without an argument the list, with a
/// name or position that tool).
class ToolbarBand : public HostObject<ToolbarBand> {
 public:
  static const MemberTable<ToolbarBand>& members();
  ToolbarBand(std::shared_ptr<ToolbarContext> context, std::string name, std::string caption)
      : name_(std::move(name)),
        caption_(std::move(caption)),
        tools_(std::make_shared<ToolbarTools>(std::move(context), false)) {}

  const std::string& name() const { return name_; }
  const std::shared_ptr<ToolbarTools>& tools() const { return tools_; }

 private:
  std::string name_;
  std::string caption_;
  bool visible_ = true;
  std::shared_ptr<ToolbarTools> tools_;
};

/// The bands of a control ("Bands"), positions from 0. Members: default/"Item" (name or 0-based
/// position), "Count".
class ToolbarBands : public HostObject<ToolbarBands> {
 public:
  static const MemberTable<ToolbarBands>& members();
  std::shared_ptr<ToolbarBand> find(std::string_view name) const;
  const std::vector<std::shared_ptr<ToolbarBand>>& bands() const { return bands_; }
  void append(std::shared_ptr<ToolbarBand> band) { bands_.push_back(std::move(band)); }
  /// Takes the band of that name out; false when there is none.
  bool remove(std::string_view name);

 private:
  std::vector<std::shared_ptr<ToolbarBand>> bands_;
};

/// The toolbar control of an editor or list window ("ActiveBar3"). Members: "Tools" ([name]),
/// "Bands" ([name or position]), "RecalcLayout", "CreateTool" (a new free-standing tool).
class Toolbar : public HostObject<Toolbar> {
 public:
  static const MemberTable<Toolbar>& members();
  Toolbar();
  Toolbar(const Toolbar&) = delete;
  Toolbar& operator=(const Toolbar&) = delete;

  /// The bill editor's control: bands "menu", "BandToolBar" (without copy, add-row and delete-row
  /// buttons, which the plug-in adds), "mnuFile", "mnuEdit", "mnuView", "mnuData", "mnuOption" and
  /// the pop-up menu "mnuPop" (the copy command first).
  static std::shared_ptr<Toolbar> billEditorToolbar();
  /// The bill list's control, with the commands the list hides or moves.
  static std::shared_ptr<Toolbar> billListToolbar();

  /// Adds a master tool (the ID is assigned).
  std::shared_ptr<ToolbarTool> addTool(std::string name, std::string caption, std::string category = "Tools");
  std::shared_ptr<ToolbarBand> addBand(std::string name, std::string caption);
  /// Places a copy of the master `toolName` at the end of a band; "-" places a separator.
  void place(std::string_view bandName, std::string_view toolName);

  /// Takes a band off the control; its tools stay tools of the control. False for an unknown band.
  bool removeBand(std::string_view bandName) { return bands_->remove(bandName); }
  /// Takes the first tool of that name off one band only; false when the band or the tool there is
  /// missing.
  bool removeFromBand(std::string_view bandName, std::string_view toolName);

  std::shared_ptr<ToolbarTool> tool(std::string_view name) const { return tools_->find(name); }
  std::shared_ptr<ToolbarBand> band(std::string_view name) const { return bands_->find(name); }
  int32_t recalcCount() const { return recalcs_; }

  /// Bands in order, each with its tools in order.
  std::vector<ToolbarBandState> bandStates() const;
  /// The names on one band in order ("" for an unnamed separator); empty for an unknown band.
  std::vector<std::string> bandToolNames(std::string_view bandName) const;
  /// The control's own tools in order.
  std::vector<ToolbarToolState> toolStates() const;

 private:
  std::shared_ptr<ToolbarContext> context_;
  std::shared_ptr<ToolbarTools> tools_;
  std::shared_ptr<ToolbarBands> bands_;
  int32_t recalcs_ = 0;
};

/// Registers the free-standing tool's ProgID.
void registerToolbarLibrary(automation::RegistryPlatform& platform);

}  // namespace mto::sim
