#include "sim/components/collections.h"

#include <gtest/gtest.h>

#include "automation/platform.h"
#include "host/collections.h"

namespace mto::sim {
namespace {

using automation::AutomationError;
using host::DictionaryRef;
using host::VectorRef;

class CollectionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto platform = std::make_shared<automation::RegistryPlatform>();
    registerCollections(*platform);
    previous_ = automation::setPlatform(platform);
  }
  void TearDown() override { automation::setPlatform(previous_); }
  std::shared_ptr<automation::Platform> previous_;
};

TEST_F(CollectionsTest, DictionaryKeysIgnoreCaseAndKeepOrderAndFirstSpelling) {
  auto d = DictionaryRef::create();
  d.setItem("FIsKFPeriod", true);
  d.setItem("FQtyDecimal", 2);
  d.setItem("FISKFPERIOD", false);  // replaces, keeps position and spelling
  EXPECT_EQ(d.count(), 2);
  EXPECT_EQ(d.keyAt(1), "FIsKFPeriod");
  EXPECT_EQ(d.item("FISKFPeriod"), Variant(false));
  EXPECT_TRUE(d.lookup("fqtydecimal"));
  EXPECT_FALSE(d.lookup("FName"));
  EXPECT_EQ(d.getValue("FName", "x"), Variant("x"));
  EXPECT_TRUE(d.getValue("FName").isEmpty());
  EXPECT_TRUE(d.item("FName").isEmpty());
  EXPECT_THROW(d.keyAt(3), AutomationError);

  VectorRef entries(d.items());
  ASSERT_EQ(entries.size(), 2);
  EXPECT_EQ(entries.item(2), Variant(2));
}

TEST_F(CollectionsTest, DictionaryHoldsObjectsAndPositionsReachEntries) {
  auto outer = DictionaryRef::create();
  auto inner = DictionaryRef::create();
  inner.setItem("FFLD", 5.0);
  outer.setItem("Page1", Variant(inner.object()));
  DictionaryRef back(outer.item("Page1"));
  EXPECT_EQ(back.object(), inner.object());
  EXPECT_EQ(automation::get(outer.object(), "", 1).objectValue(), inner.object());
  EXPECT_THROW(automation::get(outer.object(), "", 2), AutomationError);
}

TEST_F(CollectionsTest, VectorCountsFromOneAndEnumerates) {
  auto v = VectorRef::create();
  EXPECT_EQ(v.upperBound(), 0);
  EXPECT_EQ(v.lowerBound(), 1);
  v.add("a");
  v.add(2);
  EXPECT_EQ(v.upperBound(), 2);
  EXPECT_EQ(v.size(), 2);
  EXPECT_EQ(v.item(1), Variant("a"));
  EXPECT_THROW(v.item(0), AutomationError);
  EXPECT_THROW(v.item(3), AutomationError);
  auto all = automation::call(v.object(), "_NewEnum");
  ASSERT_TRUE(all.isArray());
  EXPECT_EQ(all.arrayValue().size(), 2u);
}

TEST_F(CollectionsTest, NullToDefaultAndUnknownMembers) {
  EXPECT_EQ(host::nullToDefault(Variant::null(), ""), Variant(""));
  EXPECT_EQ(host::nullToDefault(7, ""), Variant(7));
  auto d = DictionaryRef::create();
  try {
    automation::call(d.object(), "NoSuchMember");
    FAIL();
  } catch (const AutomationError& e) {
    EXPECT_EQ(e.number(), automation::errc::kMemberNotFound);
  }
  EXPECT_THROW(automation::call(Variant(), "Count"), AutomationError) << "not an object: 424";
  EXPECT_THROW(automation::call(automation::ObjectPtr{}, "Count"), AutomationError) << "Nothing: 91";
}

TEST_F(CollectionsTest, EveryLateBoundCallIsCountedByTheHostCurrentOnTheThread) {
  auto d = DictionaryRef::create();
  d.setItem("uncounted", 0);  // no host alive: nothing counts, nothing fails
  HostState outer;
  HostState inner;
  {
    HostState::Scope current(outer);
    d.setItem("a", 1);
    d.getValue("a", 0);
    {
      HostState::Scope nested(inner);
      inner.faults.fail("Dictionary.GetValue", automation::ErrorInfo{5, "SimHost", "failing", {}, 0});
      EXPECT_THROW(d.getValue("b", 0), automation::AutomationError);
    }
    d.getValue("b", 0);  // the outer host again: its members do not fail
  }
  EXPECT_EQ(outer.calls.total(), 3u);
  EXPECT_EQ(outer.calls.snapshot().at("Dictionary.GetValue"), 2u);
  EXPECT_EQ(inner.calls.snapshot(), (std::map<std::string, uint64_t>{{"Dictionary.GetValue", 1}}))
      << "a failing call is still a call";
}

// Scripts apply to the nth matching call or to matching arguments, a returned value replaces the
// member's own answer, and the journal records only once switched on, with errors.
TEST_F(CollectionsTest, ScriptedMembersAndTheJournal) {
  auto d = DictionaryRef::create();
  HostState host;
  HostState::Scope current(host);
  d.setItem("a", 1);
  EXPECT_TRUE(host.journal.entries().empty()) << "off until someone reads it";
  host.journal.switchOn();

  HostFaults::Script second;
  second.error = automation::ErrorInfo{7, "SimHost", "second", {}, 0};
  second.onlyCall = 2;
  host.faults.script("Dictionary.GetValue", second);
  EXPECT_NO_THROW(d.getValue("a", 0));
  EXPECT_THROW(d.getValue("a", 0), automation::AutomationError);
  EXPECT_NO_THROW(d.getValue("a", 0));

  HostFaults::Script answer;
  answer.result = Variant("scripted");
  answer.argsMatch = [](Args args) { return args.size() > 0 && args[0].value() == Variant("b"); };
  host.faults.script("Dictionary.GetValue", answer);
  EXPECT_EQ(d.getValue("b", 0), Variant("scripted"));
  EXPECT_EQ(d.getValue("a", 0), Variant(1)) << "other arguments get the member's own answer";

  EXPECT_TRUE(host.faults.restore("Dictionary.GetValue"));
  EXPECT_FALSE(host.faults.restore("Dictionary.GetValue"));
  EXPECT_TRUE(host.faults.empty());

  const auto& entries = host.journal.entries();
  ASSERT_EQ(entries.size(), 5u);
  EXPECT_EQ(memberName(entries[1].memberId), "Dictionary.GetValue");
  EXPECT_EQ(entries[1].errorNumber, 7);
  EXPECT_FALSE(entries[2].errorNumber);
  EXPECT_EQ(entries[3].args[0].value, Variant("b"));
}

}  // namespace
}  // namespace mto::sim
