#pragma once

#include <cstdint>
#include <fstream>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "automation/error.h"
#include "automation/object.h"
#include "host/events.h"
#include "journal/format.h"
#include "journal/recorder.h"
#include "sim/components/sim_host.h"
#include "sim/editor/bill_editor.h"
#include "sim/editor/bill_list.h"
#include "sim/scenario/scenario.h"
#include "sim/scenario/trace.h"

// The scenario runner behind runScenario. Its work lies in three files by job: setup.cc builds the
// host the setup describes, steps.cc performs the steps and records their traces, scenario.cc runs
// the whole; expectations.h checks a step's record.

namespace mto::sim::scenario_detail {

/// What one step gathers while it runs; the runner turns it into the step's trace record.
struct StepContext {
  /// The step's trace record, filled as the step goes.
  nlohmann::json record = nlohmann::json::object();
  /// The cells as the first event of the step found them: what the host itself wrote (a user's
  /// entry, a new row) lies before it, what the plug-in wrote after it.
  std::optional<CellSnapshot> atFirstEvent;
  /// The step's Cancel as it came back; nullopt when the step had none.
  std::optional<bool> cancel;
  /// Errors the plug-in returned to the host during the step.
  std::vector<automation::ErrorInfo> errors;
  /// The result of a call or of an added row, valid when `hasResult`.
  Variant result;
  bool hasResult = false;
};

/// Runs one scenario once. The runner owns the simulated host, the editor, the list and the
/// plug-in for the run; nothing of them outlives `run` but the trace.
class Runner {
 public:
  /// `file` names the scenario in errors; `databaseFile` empty means a new in-memory database.
  /// Untraced, the run keeps no trace, no journal of host calls and checks no expectation. With a
  /// journal directory, each plug-in instance is recorded into a file there (recording.cc).
  Runner(std::string file, std::string databaseFile, bool traced = true, JournalOptions journal = {})
      : file_(std::move(file)),
        databaseFile_(std::move(databaseFile)),
        traced_(traced),
        journal_(std::move(journal)) {}
  /// Gives the thread back its host's platform when a recording still holds it.
  ~Runner();
  Runner(const Runner&) = delete;
  Runner& operator=(const Runner&) = delete;

  /// Sets the host up, runs every step and returns the trace with the failed expectations. Raises
  /// ScenarioError for a malformed scenario or a setup that fails.
  ScenarioResult run(const nlohmann::json& scenario);

 private:
  // --- setup.cc: the host the setup describes; every reader raises Malformed.

  /// Makes the host, the editor and the list, applies every setup key and clears the call counts.
  void setup(const nlohmann::json& s);
  /// Runs a statement or an array of statements; a failing statement is Malformed.
  void runSql(const nlohmann::json& sql, std::string_view where);
  /// Sets the system locale from the keys given; the others keep their defaults.
  void applyLocale(const nlohmann::json& l);
  /// Rows of the system profile: {"SecUnit": "0"} sets the IC row, null deletes it; a row of another
  /// table or category is {"table": ..., "category": ..., "key": ..., "value": ...}.
  void applyProfile(const nlohmann::json& p);
  /// Inserts or replaces rows of t_AccessRight; "allowed" defaults to true.
  void applyPermissions(const nlohmann::json& p);
  /// Overrides entries of the template's definitions; a field the template lacks is Malformed.
  void applyTemplate(const nlohmann::json& t);
  /// Sets the cells of one row (0: head) as stored data, look-ups resolved unless given.
  void setCells(const nlohmann::json& cells, int32_t row, std::string_view where);
  /// The bill in the editor: mode, class type, cells, data, multi-level check, active control.
  void applyBill(const nlohmann::json& b);
  /// Sets the editor's active control from {"name", "index", "col", "row"}, or clears it for
  /// null; `where` names the key in errors (set-up and step alike).
  void applyActiveControl(const nlohmann::json& a, const std::string& where);
  /// The bill list: display mode, fill switch, multi-level check and rows.
  void applyList(const nlohmann::json& l);

  // --- shape.cc: the command surfaces and the template's shape; every reader raises Malformed.

  /// A toolbar control as `c` describes it: the default one with bands and band tools removed, or,
  /// with "bands", a new one holding exactly those bands and tools. `where` names the setup key.
  std::shared_ptr<Toolbar> shapeToolbar(std::shared_ptr<Toolbar> control, const nlohmann::json& c,
                                        std::string_view where);
  /// A menu bar as `m` describes it, in the way of `shapeToolbar`.
  std::shared_ptr<MenuBar> shapeMenuBar(std::shared_ptr<MenuBar> bar, const nlohmann::json& m,
                                        std::string_view where);
  /// Removes field keys from the table information's "Map" only; the definitions stay.
  void removeFromMap(const nlohmann::json& keys);
  /// Applies one field's entry of setup.template beyond plain values: null removes the field,
  /// {"absent": true} an entry, arrays and objects become Vectors and Dictionaries. Returns false
  /// for an entry that is a plain value, which the caller sets as before.
  bool applyShapedTemplateEntry(const std::string& key, const std::string& entry,
                                const nlohmann::json& value);
  /// A step that changes the host between events: "operationMode", "activeControl", "props",
  /// "install", "uninstall". Returns false for another action.
  bool changeHost(const std::string& action, const nlohmann::json& arg);

  // --- lifecycle_steps.cc: the bill's life in the editor window; every reader raises Malformed.

  /// A step of the bill's life: "newBill", "loadBill", "copyBill", "fillBill", "copyRow". Records
  /// what the host did in the step's trace. Returns false for another action.
  bool lifecycleStep(const std::string& action, const nlohmann::json& arg, StepContext& context);

  // --- steps.cc: the actions and the trace of a step.

  /// Records the events raised on `target` into the running step, under `name` ("bill", "list").
  void observe(HostObjectBase& target, std::string name);
  /// Runs one step and returns its trace record; failed expectations are added to `failures`.
  nlohmann::json runStep(const nlohmann::json& step, int index, std::vector<std::string>& failures);
  /// Performs the step's one action and returns its name; the plug-in's errors go to `context`.
  std::string act(const nlohmann::json& step, StepContext& context);
  /// Opens the list: `true` draws what it shows, "stored" first shows the stored bills. Records the
  /// columns ("listColumns") and the drawn cells ("listCells") in the step's trace.
  void openList(const nlohmann::json& arg, StepContext& context);
  /// A user's command: MenuBarClick, then (unless cancelled) the host's own action.
  void click(const std::string& key, const std::string& on, StepContext& context);
  /// Raises an event the plug-in handles on the bill or the list with the step's arguments, and
  /// takes the step's Cancel from the by-reference argument that carries it.
  void raiseEvent(const std::string& event, const nlohmann::json& step, StepContext& context);
  /// Takes what an event call handed back, failed or not: the step's Cancel, every by-reference
  /// argument by its declared name ("byRef") and the entries of the Dictionary and Vector arguments
  /// ("argsAfter").
  void recordEventOutcome(const host::events::Event& declared, const std::vector<Variant>& args,
                          StepContext& context);
  /// An argument of the scenario text over this run's editor and list.
  Variant argument(const nlohmann::json& a, std::string_view where);
  // --- recording.cc: the plug-in's instances, recorded with a journal directory.

  /// One plug-in instance's recording: its file, the writer on it and the recorder writing through
  /// it, declared so that the recorder goes first.
  struct InstanceRecording {
    /// Opens `path` anew; the caller checks `file`.
    InstanceRecording(const std::string& path, automation::Platform& host);
    std::ofstream file;
    journal::Writer writer;
    journal::Recorder recorder;
  };

  /// The plug-in, created on first use and kept until released; with a journal directory, its
  /// recording starts with it.
  automation::ObjectPtr plugin();
  /// Calls a member of the plug-in as the host does (recorded when recording); errors reach the caller.
  Variant callPlugin(std::string_view member, automation::Args args);
  /// Releases the plug-in and ends its recording.
  void releasePlugin();
  /// Opens the next instance's journal file, writes its header and sets the recording platform for
  /// the thread. Raises std::runtime_error when the file cannot be written.
  void startRecording();
  /// Gives the thread its host's platform back; the recorder stays, as the host's objects may still
  /// hold the plug-in's subscriptions through it.
  void stopRecording();

  std::string file_;
  std::string databaseFile_;
  bool traced_ = true;
  std::unique_ptr<SimHost> host_;
  /// The host's calls when set-up ended; a trace counts the calls after it.
  std::map<std::string, uint64_t> callsAtStart_;
  std::shared_ptr<BillEditor> bill_;
  std::shared_ptr<BillList> list_;
  /// A second editor and list, for steps that show the plug-in another object ({"bill": 2}).
  std::shared_ptr<BillEditor> bill2_;
  std::shared_ptr<BillList> list2_;
  JournalOptions journal_;
  /// Every instance's recording of the run, the current one last; they outlive the plug-in.
  std::vector<std::unique_ptr<InstanceRecording>> recordings_;
  InstanceRecording* recording_ = nullptr;  // the current instance's, while it lives
  automation::ObjectPtr plugin_;
  /// The step that is running, for the event observers; null between steps.
  StepContext* step_ = nullptr;
};

}  // namespace mto::sim::scenario_detail
