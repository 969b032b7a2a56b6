// The recorder and the replaying host: a recording of the plug-in on the simulated host replays as
// identical against a fresh plug-in, and a changed answer, a missing call or a cut journal is
// reported where it parts, never as a crash.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "automation/convert.h"
#include "automation/thread_state.h"
#include "common/recorded_session.h"
#include "core/cls_mto_change.h"
#include "host/events.h"
#include "journal/recorder.h"
#include "sim/components/sim_host.h"
#include "sim/editor/bill_editor.h"
#include "sim/editor/sample_bill.h"
#include "sim/replay/replayer.h"

namespace mto::sim::replay {

using journal::openedEntry;
using journal::plainValue;
namespace {

using automation::ObjectPtr;
using automation::Variant;

/// Show, a new material in row 2 and a save, recorded on a sample bill of three rows.
class ReplayTest : public testing::Test {
 protected:
  void SetUp() override {
    recordSampleSession(host_, recorder_);
    journal_ = recorder_.journal();
  }

  /// Replays `journal` against a fresh plug-in.
  std::optional<Divergence> replay(const Journal& journal,
                                   Replayer::Check check = Replayer::Check::Everything) {
    Replayer replayer(journal, host_.platform());
    replayer.setCheck(check);
    FreshThread scope(replayer.platform());
    auto plugin = core::clsMTOChange::create();
    replayer.replay(*plugin);
    return replayer.divergence();
  }

  /// The index of the first call of `member` whose first argument is `firstArg`.
  size_t firstCall(std::string_view member, const Variant& firstArg) const {
    for (size_t i = 0; i < journal_.entries.size(); ++i) {
      const auto& e = journal_.entries[i];
      if (e.kind == JournalEntry::Kind::Call && e.name == member && !e.args.empty() &&
          e.args[0].in.value == firstArg)
        return i;
    }
    ADD_FAILURE() << "no call " << member;
    return 0;
  }

  SimHost host_;
  journal::Recorder recorder_{host_.platform()};
  Journal journal_;
};

TEST_F(ReplayTest, RecordingHoldsTheHostsTurnsWithTheirCallsNested) {
  std::vector<std::string> topLevel;
  for (size_t i = 0; i < journal_.entries.size(); i = journal_.entries[i].end)
    topLevel.push_back(journal_.entries[i].name);
  EXPECT_EQ(topLevel, (std::vector<std::string>{"Show", "Change", "BeforeSave"}));
  const auto calls = std::count_if(journal_.entries.begin(), journal_.entries.end(),
                                   [](const auto& e) { return e.kind == JournalEntry::Kind::Call; });
  EXPECT_GT(calls, 50);
  // The save's Cancel came back as the plug-in left it: refused, as the new material emptied row
  // 2's quantity to move.
  const auto& save = journal_.entries[journal_.entries[journal_.entries[0].end].end];
  ASSERT_TRUE(save.args.at(0).byRef);
  EXPECT_EQ(save.args[0].in.value, Variant(false));
  EXPECT_EQ(save.args[0].out.value, Variant(true));
}

TEST_F(ReplayTest, AFreshPluginReplaysTheRecordingAsIdenticalInBothModes) {
  EXPECT_FALSE(replay(journal_).has_value());
  EXPECT_FALSE(replay(journal_, Replayer::Check::AnswersOnly).has_value());
}

TEST_F(ReplayTest, AChangedAnswerIsReportedWhereThePluginPartsInTheEventItHappenedIn) {
  // Row 2's material now answers 4 decimals instead of 3: the plug-in then writes other decimals.
  Journal edited = journal_;
  const size_t read = firstCall("GetValue", Variant("FQtyDecimal"));
  edited.entries[read].result = plainValue(Variant(int32_t{4}));
  auto divergence = replay(edited);
  ASSERT_TRUE(divergence.has_value());
  EXPECT_GT(divergence->entry, read);
  EXPECT_NE(divergence->expected, divergence->actual);
  EXPECT_NE(divergence->actual.find("Long(4)"), std::string::npos) << divergence->actual;
  EXPECT_NE(divergence->withinEvent.find("Change"), std::string::npos) << divergence->withinEvent;
}

TEST_F(ReplayTest, ARecordedErrorThePluginDidNotSeeIsADivergence) {
  Journal edited = journal_;
  edited.entries[firstCall("GetValue", Variant("FQtyDecimal"))].error =
      automation::ErrorInfo{13, "BillEvent", "Type mismatch", "", 0};
  auto divergence = replay(edited);
  ASSERT_TRUE(divergence.has_value());
  EXPECT_NE(divergence->expected.find("no error"), std::string::npos) << divergence->expected;
  EXPECT_NE(divergence->actual.find("error 13"), std::string::npos) << divergence->actual;
}

TEST_F(ReplayTest, ACallThePluginNoLongerMakesIsReported) {
  // The journal claims one more call at the end of the save than the plug-in makes.
  Journal edited = journal_;
  const size_t save = edited.entries[edited.entries[0].end].end;
  JournalEntry extra = openedEntry(JournalEntry::Kind::Call, 1, "Refresh");
  extra.end = edited.entries.size() + 1;
  edited.entries.push_back(extra);
  edited.entries[save].end = edited.entries.size();
  auto divergence = replay(edited);
  ASSERT_TRUE(divergence.has_value());
  EXPECT_NE(divergence->expected.find("Refresh"), std::string::npos) << divergence->expected;
  EXPECT_NE(divergence->actual.find("without it"), std::string::npos) << divergence->actual;
}

TEST_F(ReplayTest, ACutJournalEndsInADivergenceNotACrash) {
  for (size_t keep : {journal_.entries.size() / 2, size_t{1}, journal_.entries.size() - 1}) {
    Journal cut = journal_;
    cut.entries.resize(keep);
    for (auto check : {Replayer::Check::Everything, Replayer::Check::AnswersOnly}) {
      auto divergence = replay(cut, check);
      ASSERT_TRUE(divergence.has_value()) << keep;
      EXPECT_EQ(divergence->expected, "nothing") << keep;
    }
  }
}

}  // namespace
}  // namespace mto::sim::replay
