// A recording on the simulated host written to a journal file and replayed from it: identical as
// recorded, a changed answer in the file reported at the event it changed, and a login property
// string's password absent from the file while the recording still replays as identical.

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "automation/convert.h"
#include "automation/thread_state.h"
#include "core/cls_mto_change.h"
#include "host/events.h"
#include "journal/format.h"
#include "sim/components/sim_host.h"
#include "sim/editor/bill_editor.h"
#include "sim/editor/sample_bill.h"
#include "sim/replay/recorder.h"
#include "sim/replay/replayer.h"

namespace mto::sim::replay {
namespace {

using automation::ObjectPtr;
using automation::Variant;

/// A platform for the thread, with its module state dropped on both ends.
class ThreadPlatform {
 public:
  explicit ThreadPlatform(automation::Platform& platform)
      : previous_(automation::setThreadPlatform(&platform)) {
    automation::threadState().reset();
  }
  ~ThreadPlatform() {
    automation::threadState().reset();
    automation::setThreadPlatform(previous_);
  }
  ThreadPlatform(const ThreadPlatform&) = delete;
  ThreadPlatform& operator=(const ThreadPlatform&) = delete;

 private:
  automation::Platform* previous_;
};

/// Records Show, a new material in row 2 (the stock on hand is asked) and a save on a sample bill,
/// written as a journal file; returns the file's text.
std::string recordToFile(const std::string& props = std::string(kDefaultPropsString)) {
  SimHostOptions options;
  options.propsString = props;
  SimHost host(options);
  std::stringstream file;
  journal::Writer writer(file);
  journal::Header header;
  header.time = host.platform().now();
  header.locale = host.platform().locale();
  header.processId = host.platform().processId();
  header.host = "test";
  writer.header(header);
  Recorder recorder(host.platform(), &writer);
  auto editor = BillEditor::create(host.db());
  ThreadPlatform scope(recorder.platform());
  auto plugin = core::clsMTOChange::create();
  recorder.callPlugin(*plugin, "Show", {ObjectPtr(editor)});
  fillSampleBill(*editor, 3);
  auto definition = editor->definition("FItemID");
  auto cell = editor->cell("FItemID", 2);
  cell->set("FFLD", int32_t{13});
  std::vector<Variant> change{ObjectPtr(definition), ObjectPtr(cell),
                              Variant(automation::toLong(definition->at("CtlIndex"))), Variant(int32_t{2}),
                              Variant(false)};
  editor->raise(host::events::kBillChange, change);
  std::vector<Variant> save{Variant(false)};
  editor->raise(host::events::kBillBeforeSave, save);
  return file.str();
}

/// Reads a journal's text and replays it against a fresh plug-in on a platform of its header.
std::optional<Divergence> replayText(const std::string& text) {
  std::stringstream in(text);
  journal::Recording recording = journal::readJournal(in, "test.jsonl");
  automation::RegistryPlatform base;
  base.setLocale(recording.header.locale);
  base.setNow(recording.header.time);
  base.setProcessId(recording.header.processId);
  Replayer replayer(recording.journal, base);
  ThreadPlatform scope(replayer.platform());
  auto plugin = core::clsMTOChange::create();
  replayer.replay(*plugin);
  return replayer.divergence();
}

TEST(JournalFile, ARecordingReplaysFromItsFileAsIdentical) {
  const std::string text = recordToFile();
  EXPECT_GT(std::count(text.begin(), text.end(), '\n'), 100);
  EXPECT_FALSE(replayText(text).has_value());
}

TEST(JournalFile, AnAnswerEditedInTheFileIsReportedInTheEventItChanged) {
  // The stock service's quantity on hand for the new material: 5 more than recorded.
  std::string text = recordToFile();
  const size_t begin = text.find(R"("name":"GetQty")");
  ASSERT_NE(begin, std::string::npos) << "no stock query recorded";
  const std::string number = text.substr(text.rfind("\"b\":", begin) + 4, 8);
  const std::string endTag = "{\"e\":" + number.substr(0, number.find(',')) + ",";
  const size_t end = text.find(endTag, begin);
  ASSERT_NE(end, std::string::npos);
  const size_t lineEnd = text.find('\n', end);
  std::string line = text.substr(end, lineEnd - end);
  const size_t value = line.find(R"("result":{"t":"Double","v":")");
  ASSERT_NE(value, std::string::npos) << line;
  const size_t digits = value + std::string(R"("result":{"t":"Double","v":")").size();
  line.replace(digits, line.find('"', digits) - digits, "12345.5");
  text.replace(end, lineEnd - end, line);
  auto divergence = replayText(text);
  ASSERT_TRUE(divergence.has_value());
  EXPECT_NE(divergence->withinEvent.find("Change"), std::string::npos) << divergence->withinEvent;
  EXPECT_NE(divergence->expected, divergence->actual);
}

TEST(JournalFile, APasswordInTheLoginPropertiesNeverReachesTheFileAndTheRecordingStillReplays) {
  const std::string text = recordToFile(
      "UserID=16394;UserName=administrator;PWD=Zebra-42;DB Password=Okapi-7;AcctID=1;LANGUAGE=en;");
  EXPECT_EQ(text.find("Zebra-42"), std::string::npos);
  EXPECT_EQ(text.find("Okapi-7"), std::string::npos);
  EXPECT_NE(text.find("PWD=***"), std::string::npos) << "the property string was never recorded";
  EXPECT_FALSE(replayText(text).has_value());
}

TEST(JournalFile, AFileCutInsideAnEventReplaysUpToWhereItStops) {
  const std::string text = recordToFile();
  size_t cut = text.size() / 2;
  cut = text.find('\n', cut) + 1;
  auto divergence = replayText(text.substr(0, cut));
  ASSERT_TRUE(divergence.has_value());
  const bool endsHere = divergence->expected == "nothing" ||
                        divergence->expected.find("the journal ends here") != std::string::npos;
  EXPECT_TRUE(endsHere) << divergence->expected;
}

}  // namespace
}  // namespace mto::sim::replay
