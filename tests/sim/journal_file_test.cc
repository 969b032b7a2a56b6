// A recording on the simulated host written to a journal file and replayed from it: identical as
// recorded, a changed answer in the file reported at the event it changed, and a login property
// string's password absent from the file while the recording still replays as identical.

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "automation/convert.h"
#include "automation/thread_state.h"
#include "common/recorded_session.h"
#include "core/cls_mto_change.h"
#include "host/events.h"
#include "journal/format.h"
#include "journal/recorder.h"
#include "sim/components/collections.h"
#include "sim/components/sim_host.h"
#include "sim/editor/bill_editor.h"
#include "sim/editor/sample_bill.h"
#include "sim/replay/replayer.h"

namespace mto::sim::replay {
namespace {

using automation::ObjectPtr;
using automation::Variant;

/// What a recording left: the file's text and the recorder's state at its end.
struct Recorded {
  std::string text;
  size_t keptEntries = 0;
  bool writing = false;
  std::vector<std::string> notes;  // the host platform's
  bool saveRefused = false;
};

/// Records Show, a new material in row 2 (the stock on hand is asked) and a save on a sample bill,
/// written as a journal file (into `through` when given, else into a string); returns what it left.
Recorded record(const std::string& props = std::string(kDefaultPropsString),
                journal::Recorder::Keep keep = journal::Recorder::Keep::Everything,
                std::streambuf* through = nullptr) {
  SimHostOptions options;
  options.propsString = props;
  SimHost host(options);
  std::stringstream text;
  std::ostream file(through ? through : text.rdbuf());
  journal::Writer writer(file);
  journal::Header header;
  header.time = host.platform().now();
  header.locale = host.platform().locale();
  header.processId = host.platform().processId();
  header.host = "test";
  writer.header(header);
  journal::Recorder recorder(host.platform(), &writer, keep);
  const bool refused = recordSampleSession(host, recorder);
  return Recorded{text.str(), recorder.journal().entries.size(), recorder.writing(), host.platform().notes(),
                  refused};
}

std::string recordToFile(const std::string& props = std::string(kDefaultPropsString)) {
  return record(props).text;
}

/// A file that takes `room` bytes and then fails every write, as a full disk does.
class FullDisk : public std::streambuf {
 public:
  explicit FullDisk(size_t room) : room_(room) {}

 protected:
  int_type overflow(int_type c) override {
    if (room_ == 0) return traits_type::eof();
    --room_;
    return traits_type::not_eof(c);
  }
  std::streamsize xsputn(const char*, std::streamsize n) override {
    if (static_cast<size_t>(n) > room_) {
      room_ = 0;
      return 0;
    }
    room_ -= static_cast<size_t>(n);
    return n;
  }

 private:
  size_t room_;
};

/// Reads a journal's text and replays it against a fresh plug-in on a platform of its header.
std::optional<Divergence> replayText(const std::string& text) {
  std::stringstream in(text);
  journal::Recording recording = journal::readJournal(in, "test.jsonl");
  automation::RegistryPlatform base;
  base.setLocale(recording.header.locale);
  base.setNow(recording.header.time);
  base.setProcessId(recording.header.processId);
  Replayer replayer(recording.journal, base);
  FreshThread scope(replayer.platform());
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

TEST(JournalFile, ARecorderKeepingOnlyOpenEntriesWritesTheSameFileAndKeepsNothing) {
  const Recorded everything = record();
  const Recorded streaming = record(std::string(kDefaultPropsString), journal::Recorder::Keep::OpenEntries);
  // The same lines after the header, whose time is the clock's.
  auto body = [](const std::string& text) { return text.substr(text.find('\n')); };
  EXPECT_EQ(body(streaming.text), body(everything.text));
  EXPECT_EQ(streaming.keptEntries, 0u);
  EXPECT_GT(everything.keptEntries, 100u);
}

TEST(JournalFile, AFullDiskStopsTheRecordingWithOneNoteAndLeavesTheHostUndisturbed) {
  const Recorded whole = record();
  FullDisk disk(whole.text.size() / 3);
  const Recorded cut = record(std::string(kDefaultPropsString), journal::Recorder::Keep::OpenEntries, &disk);
  EXPECT_FALSE(cut.writing);
  ASSERT_EQ(cut.notes.size(), 1u);
  EXPECT_NE(cut.notes[0].find("no longer recorded"), std::string::npos) << cut.notes[0];
  EXPECT_TRUE(whole.writing);
  EXPECT_TRUE(whole.notes.empty());
  EXPECT_EQ(cut.saveRefused, whole.saveRefused);
}

TEST(Recorder, AWrapperHoldsItsHostObjectOnlyWhileThePluginDoesAndOutlivesTheRecorder) {
  SimHost host;
  auto dictionary = std::static_pointer_cast<automation::Object>(Dictionary::create());
  automation::ObjectPtr wrapper;
  {
    journal::Recorder recorder(host.platform());
    wrapper = recorder.wrap(dictionary);
    EXPECT_EQ(recorder.wrap(dictionary), wrapper) << "one wrapper while the plug-in holds it";
    EXPECT_EQ(dictionary.use_count(), 2);
    automation::put(wrapper, "Item", "FKey", int32_t{1});
    EXPECT_EQ(recorder.journal().entries.size(), 1u);
    auto otherObject = std::static_pointer_cast<automation::Object>(Dictionary::create());
    std::weak_ptr<automation::Object> otherHost = otherObject;
    automation::ObjectPtr other = recorder.wrap(otherObject);
    otherObject.reset();
    other.reset();
    EXPECT_TRUE(otherHost.expired()) << "a dropped wrapper lets its host object go";
  }
  // The recorder is gone: the wrapper passes calls through, unrecorded.
  EXPECT_EQ(automation::call(wrapper, "Item", "FKey"), Variant(int32_t{1}));
  wrapper.reset();
  EXPECT_EQ(dictionary.use_count(), 1);
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
