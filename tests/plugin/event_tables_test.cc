#include "core/event_tables.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "host/events.h"

namespace mto {
namespace {

namespace ev = host::events;

TEST(EventTables, EveryDeclaredEventRoutesToAHandler) {
  for (const auto& e : ev::kBillEvents) EXPECT_NE(core::findBillEventHandler(e.name), nullptr) << e.name;
  for (const auto& e : ev::kListEvents) EXPECT_NE(core::findListEventHandler(e.name), nullptr) << e.name;
  EXPECT_EQ(core::findBillEventHandler("ListFillRow"), nullptr) << "a list event is not the editor's";
  EXPECT_EQ(core::findBillEventHandler("change"), nullptr) << "event names compare exactly";
}

// The declarations are read by the host side as well; names, DISPIDs and cancel flags must be
// unambiguous there.
TEST(EventContract, NamesAndDispidsAreUniquePerObjectAndCancelFlagsAreTheByReferenceOnes) {
  for (auto table : {std::span<const ev::Event>(ev::kBillEvents), std::span<const ev::Event>(ev::kListEvents)}) {
    std::set<std::string_view> names;
    std::set<int32_t> ids;
    for (const auto& e : table) {
      EXPECT_TRUE(names.insert(e.name).second) << e.name;
      EXPECT_TRUE(ids.insert(e.dispid).second) << e.name;
    }
  }
  EXPECT_EQ(ev::kBillChange.cancelIndex(), 4u);
  EXPECT_EQ(ev::kBillBeforeSave.cancelIndex(), 0u);
  EXPECT_EQ(ev::kBillUnMultiCheck.cancelIndex(), 7u) << "bSendMessage is by reference but not the cancel flag";
  EXPECT_EQ(ev::kBillEntryGridRow.cancelIndex(), std::nullopt) << "its Cancel is passed by value";
  EXPECT_EQ(ev::kListListFillRow.cancelIndex(), std::nullopt);
}

}  // namespace
}  // namespace mto
