#include "automation/ascii.h"

#include <gtest/gtest.h>

#include <string_view>

namespace mto::automation::ascii {
namespace {

struct Pair {
  std::string_view a, b;
  int order;  // sign of compareIgnoreCase(a, b)
};

// Only A-Z fold; UTF-8 and other bytes compare as unsigned bytes, so names in any script sort
// after ASCII and never equal an ASCII name.
constexpr Pair kPairs[] = {
    {"FItemID", "fitemid", 0},
    {"UserID=", "USERID=", 0},
    {"", "", 0},
    {"a", "B", -1},
    {"Z", "a", 1},
    {"ab", "A", 1},
    {"_", "a", -1},               // '_' (0x5F) sits between upper and lower case; folding puts it before 'a'
    {"\xC3\xA9", "\xC3\x89", 1},  // é and É: not ASCII, not folded
    {"z", "\xC3\xA9", -1},
    {"[", "{", -1},
};

TEST(Ascii, ComparisonHashAndOrderAgree) {
  for (const auto& [a, b, order] : kPairs) {
    SCOPED_TRACE(testing::Message() << '"' << a << "\" vs \"" << b << '"');
    const int got = compareIgnoreCase(a, b);
    EXPECT_EQ((got > 0) - (got < 0), order);
    EXPECT_EQ(equalsIgnoreCase(a, b), order == 0);
    EXPECT_EQ(LessIgnoreCase{}(a, b), order < 0);
    if (order == 0) {
      EXPECT_EQ(HashIgnoreCase{}(a), HashIgnoreCase{}(b));
    }
  }
  EXPECT_TRUE(startsWithIgnoreCase("userid=16394;", "UserID="));
  EXPECT_FALSE(startsWithIgnoreCase("User", "UserID="));
  EXPECT_EQ(lowered("T_SubMessage \xC3\x89"), "t_submessage \xC3\x89");
  EXPECT_EQ(uppered("fitemid"), "FITEMID");
}

}  // namespace
}  // namespace mto::automation::ascii
