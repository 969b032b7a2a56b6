#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "core/cls_mto_change.h"
#include "sim/components/sim_host.h"
#include "sim/db/database.h"
#include "sim/editor/bill_list.h"
#include "sim/scenario/demo.h"
#include "sim/scenario/scenario.h"

namespace mto::sim {
namespace {

using nlohmann::json;

class ScenarioRunnerTest : public ::testing::Test {
 protected:
  ScenarioRunnerTest() {
    setPluginFactory([] { return core::clsMTOChange::create(); });
  }

  /// The one-line error a malformed scenario gives.
  static std::string errorOf(const std::string& text) {
    try {
      runScenario(json::parse(text), "case.json");
    } catch (const ScenarioError& e) {
      return e.what();
    }
    return "no error";
  }
};

TEST_F(ScenarioRunnerTest, MalformedScenariosNameFileStepAndProblem) {
  struct Case {
    const char* scenario;
    const char* error;
  };
  const Case cases[] = {
      {R"({"steps": [{"bind": "bill"}, {"event": "Chnage", "args": []}]})",
       "case.json: step 2: unknown event \"Chnage\" of the bill"},
      {R"({"steps": [{"setCell": {"key": "FNoSuchField", "row": 1, "value": 1}}]})",
       "case.json: step 1: setCell: the template has no field \"FNoSuchField\""},
      {R"({"steps": [{"setCell": {"key": "FItemID", "row": "one", "value": 1}}]})",
       "case.json: step 1: setCell.row must be a whole number, not \"one\""},
      {R"({"steps": [{"setCell": {"key": "FItemID", "row": 3, "value": 1}}]})",
       "case.json: step 1: setCell: the bill has no row 3"},
      {R"({"steps": [{"bind": "bill", "save": true}]})",
       "case.json: step 1: one action per step, found \"bind\" and \"save\""},
      {R"({"steps": [{"bind": "sheet"}]})", "case.json: step 1: bind takes \"bill\" or \"list\""},
      {R"({"steps": [{"bind": "bill", "expect": {"cels": []}}]})",
       "case.json: step 1: expect has an unknown key \"cels\""},
      {R"({"steps": [{"bind": "bill", "expect": {"ce\nls\u0001": []}}]})",
       "case.json: step 1: expect has an unknown key \"ce\\nls\\x01\""},
      {R"({"name": {"bill": true}})", "case.json: setup: \"name\" must be a text"},
      {R"({"steps": [{"bind": "bill", "expect": [{"cells": []}]}]})",
       "case.json: step 1: expect must be an object"},
      {R"({"setup": {"bill": {"rows": [{"FQty": [1]}]}}})",
       "case.json: setup: setup.bill.rows[].FQty: [1] is not a value"},
      {R"({"setup": {"today": "06/12/2026"}})",
       "case.json: setup: setup.today: \"06/12/2026\" is not a date YYYY-MM-DD[ HH:MM[:SS]]"},
      {R"x({"setup": {"sql": "INSERT INTO nowhere VALUES (1)"}})x", "case.json: setup: setup.sql: "},
      {R"([1, 2])", "case.json: setup: a scenario is a JSON object"},
      {R"({"steps": [{"bind": "bill"}, {"event": "EntryGridRow", "args": [0, 1, 1, true, true, true, 0, {"ref": false}]}]})",
       "case.json: step 2: args[7]: EntryGridRow takes it by value, not {\"ref\": ...}"},
      {R"({"steps": [{"bind": "bill", "expect": {"calls": [{"member": "SysInfo.GetQty"}]}}]})",
       "case.json: step 1: expect.calls[] has an unknown key \"member\""},
      {R"({"steps": [{"bind": "bill", "expect": {"calls": [{"call": "SysInfo.GetQty", "args": [[1]]}]}}]})",
       "case.json: step 1: expect.calls[].args[]: [1] is not an argument pattern"},
      {R"({"steps": [{"bind": "bill", "expect": {"calls": {"exact": true}}}]})",
       "case.json: step 1: expect.calls needs \"calls\""},
      {R"({"steps": [{"bind": "bill", "expect": {"created": "MvLogMsg.Log"}}]})",
       "case.json: step 1: expect.created must be an array of ProgIDs"},
      {R"({"setup": {"failing": [{"member": "SysInfo.GetQty", "call": 0}]}})",
       "case.json: setup: setup.failing[].call must be 1 or more, not 0"},
      {R"({"setup": {"returning": [{"member": "SysInfo.GetQty"}]}})",
       "case.json: setup: setup.returning[] needs \"value\""},
      {R"({"setup": {"returning": [{"member": "GetQty", "value": 1}]}})",
       "case.json: setup: setup.returning[].member: \"GetQty\" is not \"Type.Member\""},
      {R"({"steps": [{"failing": {"member": "SysInfo.GetQty"}}]})",
       "case.json: step 1: failing must be an array"},
      {R"({"steps": [{"returning": [{"member": "Log.IsEnabled", "value": [false]}]}]})",
       "case.json: step 1: returning[].value: [false] is not a value"},
      {R"({"steps": [{"restore": "Log.IsEnabled"}]})",
       "case.json: step 1: restore: \"Log.IsEnabled\" has no failing or returning script"},
      // What the plug-in meets: command surfaces, template shape, host changes, other objects.
      {R"({"setup": {"toolbar": {"removeBands": ["noBand"]}}})",
       "case.json: setup: setup.toolbar.removeBands: the control has no band \"noBand\""},
      {R"({"setup": {"listToolbar": {"bands": [{"name": "B", "tools": [{"type": 0}]}]}}})",
       "case.json: setup: setup.listToolbar.bands[].tools[] needs \"name\" unless its type is 5 (a "
       "separator)"},
      {R"({"setup": {"menuBar": {"removeCommands": {"mnuFile": ["mnuNoSuch"]}}}})",
       "case.json: setup: setup.menuBar.removeCommands: the band \"mnuFile\" has no command \"mnuNoSuch\""},
      {R"({"setup": {"notInMap": ["FNoSuchField"]}})",
       "case.json: setup: setup.notInMap: the map has no field \"FNoSuchField\""},
      {R"({"setup": {"template": {"FNote": {"FNoEntry": {"absent": true}}}}})",
       "case.json: setup: setup.template.FNote.FNoEntry: the field has no entry to remove"},
      {R"({"steps": [{"install": "No.Such"}]})",
       "case.json: step 1: install: the host has no component \"No.Such\""},
      {R"({"steps": [{"uninstall": "No.Such"}]})",
       "case.json: step 1: uninstall: \"No.Such\" is not installed"},
      {R"({"steps": [{"operationMode": "new"}]})",
       "case.json: step 1: operationMode must be a whole number, not \"new\""},
      {R"({"steps": [{"show": {"bill": 3}}]})", "case.json: step 1: show: \"bill\" is 1 or 2, not 3"},
      {R"({"steps": [{"show": {"toolbarTool": ["bill", "NoTool"]}}]})",
       "case.json: step 1: show: the bill's toolbar control has no tool \"NoTool\""},
      {R"({"steps": [{"event": "BeforeSave", "on": "bill3"}]})",
       "case.json: step 1: \"on\" is \"bill\", \"list\", \"bill2\" or \"list2\""},
      {R"({"steps": [{"bind": "bill", "expect": {"messages": [{"kind": "warning"}]}}]})",
       "case.json: step 1: expect.messages[0].kind is \"message\" or \"error\", not \"warning\""},
      {R"({"steps": [{"bind": "bill", "expect": {"messages": [{"kind": "error", "code": 5}]}}]})",
       "case.json: step 1: expect.messages[0] has an unknown key \"code\""},
      {R"({"steps": [{"bind": "bill", "expect": {"messageBoxes": [5]}}]})",
       "case.json: step 1: expect.messageBoxes[0] must be a text or an object"},
      {R"({"steps": [{"bind": "bill", "expect": {"byRef": {"Cancel": false}}}]})",
       "case.json: step 1: expect.byRef needs an event step"},
      {R"({"steps": [{"event": "BeforeSave", "args": [false], "expect": {"byRef": {"Cancel": false}}}]})",
       "case.json: step 1: expect.byRef: the event passed no by-reference argument \"Cancel\""},
      {R"({"steps": [{"addRow": true, "expect": {"argsAfter": {"dct": {}}}}]})",
       "case.json: step 1: expect.argsAfter needs an event step"},
      {R"({"steps": [{"event": "BeginEdit", "args": [{"nothing": true}, 1, 1], "expect": {"argsAfter": {"dct": {}}}}]})",
       "case.json: step 1: expect.argsAfter: the event passed no Dictionary or Vector \"dct\""},
      {R"({"steps": [{"addRow": true, "expect": {"hostActions": [{"call": "DoAction", "parameters": 5}]}}]})",
       "case.json: step 1: expect.hostActions[].parameters must be an array of keys or an object of values"},
      {R"({"steps": [{"addRow": true, "expect": {"toolbar": {"BandToolBar": "mnuFileSave"}}}]})",
       "case.json: step 1: expect.toolbar.BandToolBar must be an array"},
      {R"({"steps": [{"addRow": true, "expect": {"listToolbar": {"BandToolBar": [{"name": "x", "shown": true}]}}}]})",
       "case.json: step 1: expect.listToolbar.BandToolBar[0] has an unknown key \"shown\""},
      {R"({"steps": [{"addRow": true, "expect": {"listTools": {"mnuNoSuch": {"greyed": true}}}}]})",
       "case.json: step 1: expect.listTools.mnuNoSuch has an unknown key \"greyed\""},
      // The bill's life in the editor window.
      {R"({"steps": [{"newBill": false}]})", "case.json: step 1: newBill takes true"},
      {R"({"steps": [{"loadBill": 99}]})", "case.json: step 1: loadBill: No MTO change bill with FInterID 99"},
      {R"({"steps": [{"loadBill": {"id": 1}}]})", "case.json: step 1: loadBill has an unknown key \"id\""},
      {R"({"steps": [{"fillBill": {"rows": [{"FBillNo": "x"}]}}]})",
       "case.json: step 1: fillBill.rows[]: the template has no entry field \"FBillNo\""},
      {R"({"steps": [{"fillBill": {"rows": [{"FQty": [1]}]}}]})",
       "case.json: step 1: fillBill.rows[].FQty: [1] is not a value"},
      {R"({"steps": [{"fillBill": {"rows": [], "doAction": "FQty"}}]})",
       "case.json: step 1: fillBill.doAction must be an array of field keys"},
      {R"({"steps": [{"copyRow": 1}]})", "case.json: step 1: copyRow: the bill has no row 1"},
  };
  for (const auto& c : cases) {
    std::string error = errorOf(c.scenario);
    EXPECT_EQ(error.rfind(c.error, 0), 0u) << c.scenario << "\n gave: " << error;
    EXPECT_EQ(error.find('\n'), std::string::npos) << "one line";
  }
}

// The event's declaration, not the scenario's spelling, says how an argument travels: a plain
// Cancel is still passed by reference and reported, and a step that leaves Cancel out has none.
TEST_F(ScenarioRunnerTest, EventArgumentsTravelAsTheEventDeclaresThem) {
  auto result = runScenario(json::parse(R"({"steps": [
      {"bind": "bill"},
      {"addRow": true},
      {"event": "Change", "args": [{"definition": "FNote"}, {"cell": ["FNote", 1]}, 1, 1, false],
       "expect": {"cancel": false}},
      {"event": "Change", "args": [{"definition": "FNote"}, {"cell": ["FNote", 1]}, 1, 1],
       "expect": {"cancel": null}},
      {"event": "BeforeSave", "args": [false], "expect": {"cancel": true}}]})"),
                            "case.json");
  EXPECT_EQ(result.failures, std::vector<std::string>{})
      << "the empty bill's save is refused through bCancel";
}

// Each step of the bill's life says in its trace what the host did, beside the events it raised.
TEST_F(ScenarioRunnerTest, BillLifeStepsTraceWhatTheHostDid) {
  auto result = runScenario(json::parse(R"({
    "setup": {"bill": {"head": {"FBillNo": "MTO-1", "FDate": {"date": "2026-12-06"}},
                       "rows": [{"FItemID": 12, "FStockID": 31, "FSPID": 41, "FFromMTONo": "MTO-2026-001",
                                 "FToMTONo": "MTO-2026-002", "FQty": 5, "FChangeQty": 5}]}},
    "steps": [{"bind": "bill"},
              {"save": true, "expect": {"saved": true}},
              {"newBill": true, "expect": {"data": {"NewBillHasData": false}}},
              {"loadBill": {"interId": 1, "operationMode": 3},
               "expect": {"cells": [{"key": "FBillNo", "row": 0, "FFLD": "MTO-1"}, {"key": "FQty", "FFLD": 5}]}},
              {"copyBill": true, "expect": {"cells": [{"key": "FBillNo", "row": 0, "FFLD": ""}]}},
              {"fillBill": {"rows": [{"FItemID": 13}, {"FQty": {"FFLD": 2, "FDSP": "2"}}], "doAction": ["FQty"]},
               "expect": {"data": {"NewBillHasData": false}}},
              {"copyRow": 2, "expect": {"cancel": false, "cells": [{"key": "FItemID", "row": 4, "FFLD": 13}]}}]})"),
                            "case.json");
  EXPECT_EQ(result.failures, std::vector<std::string>{});
  const json& steps = result.trace["steps"];
  auto events = [&](size_t i) {
    std::vector<std::string> names;
    for (const auto& e : steps[i]["events"]) names.push_back(e["event"]);
    return names;
  };
  EXPECT_EQ(steps[2]["hostAction"], "newBill");
  EXPECT_EQ(events(2), (std::vector<std::string>{"AfterNewBill", "BarInitialize", "MenuBarInitialize"}));
  EXPECT_EQ(steps[3]["loadedBill"], 1);
  EXPECT_EQ(steps[3]["operationMode"], 3);
  EXPECT_EQ(events(3), std::vector<std::string>{"AfterLoadBill"});
  EXPECT_EQ(steps[4]["hostAction"], "copyBill");
  EXPECT_EQ(events(4), std::vector<std::string>{"AfterCopyBill"});
  EXPECT_EQ(steps[5]["filledRows"], json::parse("[2, 3]"));
  EXPECT_EQ(events(5), (std::vector<std::string>{"AfterFillRow", "AfterFillRow"}));
  EXPECT_EQ(steps[5]["events"][0]["args"][0], 2);
  EXPECT_EQ(steps[6]["copiedRow"], json::parse(R"({"from": 2, "to": 4})"));
  EXPECT_EQ(events(6), (std::vector<std::string>{"MenuBarClick", "AddNewRow"}));
}

TEST_F(ScenarioRunnerTest, OpenListDrawsTheDemoRowsOrTheStoredBills) {
  auto result = runScenario(json::parse(R"({
    "setup": {"bill": {"head": {"FBillNo": "MTO-1", "FDate": {"date": "2026-12-06"}},
                       "rows": [{"FItemID": 14, "FStockID": 31, "FChangeQty": 24},
                                {"FItemID": 12, "FStockID": 32, "FChangeQty": 5}]}},
    "steps": [{"openList": true},
              {"save": true, "expect": {"saved": true}},
              {"openList": "stored",
               "expect": {"listTexts": [{"row": 1, "column": "FItemName", "text": "Hex bolt"},
                                        {"row": 2, "column": "FStockName", "text": "Finished goods warehouse"}]}}]})"),
                            "case.json");
  EXPECT_EQ(result.failures, std::vector<std::string>{});
  const json& steps = result.trace["steps"];
  EXPECT_EQ(steps[0]["listCells"].size(), BillList::demoRows(*Database::openInMemory()).size() *
                                              BillList::defaultColumns().size());
  const json& stored = steps[2];
  ASSERT_EQ(stored["listColumns"].size(), BillList::storedBillColumns().size());
  EXPECT_EQ(stored["listColumns"][0], json::parse(R"({"field": "FBillNo", "caption": "Bill no."})"));
  EXPECT_EQ(stored["listCells"].size(), 2 * BillList::storedBillColumns().size());
  EXPECT_EQ(stored["listCells"], result.trace["final"]["listCells"]);

  EXPECT_NE(errorOf(R"({"steps": [{"openList": "all"}]})").find("openList takes true or \"stored\""),
            std::string::npos);
  EXPECT_NE(errorOf(R"({"steps": [{"openList": false}]})").find("openList"), std::string::npos);
}

// The demo is a scenario like any other: it must run to its end with nothing malformed and no
// error returned to the host, whatever the plug-in's list handlers do with the list.
TEST_F(ScenarioRunnerTest, DemoStoresTheBillThenListsItAndTriesACopyAsAStockClerk) {
  auto result = runScenario(json::parse(demoStory()), "demo");
  EXPECT_EQ(result.failures, std::vector<std::string>{});
  const json& steps = result.trace["steps"];
  for (const auto& step : steps) EXPECT_EQ(step["errors"], json::array()) << step["name"];
  const json* list = nullptr;
  for (const auto& step : steps)
    if (step.contains("listCells")) list = &step;
  ASSERT_NE(list, nullptr);
  // Every entry row of the stored bill is a line of the list, the box-packed bolts among them.
  const size_t columns = (*list)["listColumns"].size();
  EXPECT_EQ((*list)["listCells"].size(), result.trace["final"]["rows"].size() * columns);
  bool bolts = false;
  for (const auto& cell : (*list)["listCells"]) bolts = bolts || cell["text"] == "Hex bolt";
  EXPECT_TRUE(bolts);
  const json& last = steps.back();
  EXPECT_EQ(last["action"], "click");
  EXPECT_EQ(last["events"][0]["on"], "list");
  EXPECT_EQ(last["events"][0]["event"], "MenuBarClick");

  std::ostringstream out;
  printTranscript(result.trace, out);
  EXPECT_NE(out.str().find("the list shows:"), std::string::npos);
}

TEST_F(ScenarioRunnerTest, UnreadableFileIsAScenarioError) {
  EXPECT_THROW(runScenarioFile("/nonexistent/scenario.json"), ScenarioError);
  std::string path = ::testing::TempDir() + "broken.json";
  { std::ofstream(path) << "{\"steps\": [ {\"bind\": \"bill\"} "; }
  try {
    runScenarioFile(path);
    FAIL();
  } catch (const ScenarioError& e) {
    EXPECT_NE(std::string(e.what()).find("not valid JSON"), std::string::npos);
  }
}

TEST_F(ScenarioRunnerTest, FailedExpectationsAreReportedNotThrown) {
  auto result = runScenario(json::parse(R"({
    "setup": {"bill": {"rows": [{"FStockID": 31, "FSPID": 42}]}},
    "steps": [{"bind": "bill"},
              {"setCell": {"key": "FItemID", "row": 1, "value": 12},
               "expect": {"cells": [{"key": "FQty", "FFLD": 1}], "cancel": true}}]})"),
                            "case.json");
  ASSERT_EQ(result.failures.size(), 2u);
  EXPECT_EQ(result.failures[0], "case.json: step 2: cancel: expected true, got false");
  EXPECT_EQ(result.failures[1], "case.json: step 2: FQty[1].FFLD: expected 1, got 1000.0");
  EXPECT_EQ(result.trace["steps"][1]["events"][0]["event"], "Change");
  EXPECT_EQ(result.trace["final"]["rows"][0]["FQty"]["FFLD"], 1000.0);
}

TEST_F(ScenarioRunnerTest, EveryExpectationKeyIsCheckedAndFailuresComeInKeyOrder) {
  auto result = runScenario(json::parse(R"({
    "steps": [{"addRow": true,
               "expect": {"cancel": null, "messages": [], "error": null,
                          "cells": [{"key": "FItemID", "row": 1, "FFLD": ""}],
                          "hidden": [], "hiddenGrid": [], "totals": {"FQty": {"value": null}},
                          "result": 1, "logScopes": [], "listTexts": [], "data": {"FIsSelBill": 0},
                          "hostCalls": {"SysInfo.GetQty": 0}, "tools": {"mnuFileSave": {"enabled": true}},
                          "hostActions": [], "saved": false}},
              {"addRow": true, "expect": {"saved": true, "data": {"FIsSelBill": 5}, "messages": ["x"]}}]})"),
                            "case.json");
  ASSERT_EQ(result.failures.size(), 3u) << result.trace["steps"].dump(2);
  EXPECT_EQ(result.failures[0], "case.json: step 2: messages: expected [\"x\"], got []");
  EXPECT_EQ(result.failures[1], "case.json: step 2: data FIsSelBill: expected 5, got 0");
  EXPECT_EQ(result.failures[2], "case.json: step 2: saved: expected true");
}

TEST_F(ScenarioRunnerTest, HandlerErrorsAreTracedAsReturnedToTheHost) {
  auto result = runScenario(json::parse(R"({
    "setup": {"bill": {"rows": [{"FKFDate": "soon"}]}},
    "steps": [{"bind": "bill"}, {"setCell": {"key": "FStockID", "row": 1, "value": 31}}]})"),
                            "case.json");
  const json& step = result.trace["steps"][1];
  ASSERT_EQ(step["errors"].size(), 1u);
  EXPECT_EQ(step["errors"][0]["number"], 13);
  EXPECT_EQ(step["events"][0]["error"]["number"], 13);
}

// A handler's error does not hide what the event handed back: Cancel and every by-reference
// argument are reported as the handler left them, and the Dictionary it was handed is read back.
TEST_F(ScenarioRunnerTest, FailedEventStillReportsByReferenceArgumentsAndArgumentObjects) {
  auto result = runScenario(json::parse(R"({
    "setup": {"bill": {"rows": [{"FKFDate": "soon", "FStockID": 31}]}},
    "steps": [{"bind": "bill"},
              {"event": "Change", "args": [{"definition": "FStockID"}, {"cell": ["FStockID", 1]}, 1, 1, true],
               "expect": {"cancel": true, "byRef": {"Cancel": true}, "error": {"number": 13}}},
              {"event": "BeginEdit", "args": [{"dictionary": {"FKey": "FItemID"}}, 1, 1],
               "expect": {"argsAfter": {"dct": {"FKey": "FItemID", "FFilter": "<absent>"}}, "byRef": {}}}]})"),
                            "case.json");
  EXPECT_EQ(result.failures, std::vector<std::string>{});
  EXPECT_EQ(result.trace["steps"][1]["byRef"], json::parse(R"({"Cancel": true})"));
}

// A command or band that is not there is a failed expectation of the step, not a malformed file.
TEST_F(ScenarioRunnerTest, MissingCommandsAndBandsFailTheStep) {
  auto result = runScenario(json::parse(R"({
    "steps": [{"bind": "list",
               "expect": {"tools": {"mnuNoSuch": {"enabled": true}}, "listTools": {"mnuNoSuch": {}},
                          "listToolbar": {"NoBand": []}}}]})"),
                            "case.json");
  ASSERT_EQ(result.failures.size(), 3u);
  EXPECT_EQ(result.failures[0], "case.json: step 1: tools: the menu bar has no command \"mnuNoSuch\"");
  EXPECT_EQ(result.failures[1], "case.json: step 1: listToolbar: no band \"NoBand\"");
  EXPECT_EQ(result.failures[2], "case.json: step 1: listTools: the menu bar has no command \"mnuNoSuch\"");
}

// Messages by kind and plain texts mix in one list; a kind that differs fails as a whole list.
TEST_F(ScenarioRunnerTest, MessagesAreCheckedByKindOrByText) {
  auto result = runScenario(json::parse(R"({
    "setup": {"profile": {"PurHPriceZero": "abc"}},
    "steps": [{"bind": "bill", "expect": {"messages": ["Type mismatch"]}},
              {"bind": "bill", "expect": {"messages": [{"kind": "error", "number": 13}]}},
              {"bind": "bill", "expect": {"messages": [{"kind": "message", "text": "Type mismatch"}]}}]})"),
                            "case.json");
  ASSERT_EQ(result.failures.size(), 1u) << result.trace["steps"].dump(2);
  EXPECT_EQ(result.failures[0],
            "case.json: step 3: messages: expected [{\"kind\":\"message\",\"text\":\"Type mismatch\"}], got "
            "[{\"kind\":\"error\",\"text\":\"Type mismatch\"}]");
}

}  // namespace
}  // namespace mto::sim
