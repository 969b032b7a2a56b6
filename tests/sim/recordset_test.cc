#include "sim/components/recordset.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "automation/dates.h"

namespace mto::sim {
namespace {

using automation::AutomationError;
using automation::Date;
using automation::makeDate;

// Columns: FKey (text), FCateGory (text), FValue (text, one NULL), FQty (Long), FPrice (Double),
// FDate (Date), [F Note] (text with a blank in its name).
std::shared_ptr<Recordset> sample() {
  auto row = [](const char* key, const char* cat, Variant value, int32_t qty, double price, Date date,
                const char* note) { return Recordset::Row{key, cat, value, qty, price, date, note}; };
  return Recordset::create(
      {"FKey", "FCateGory", "FValue", "FQty", "FPrice", "FDate", "F Note"},
      {
          row("SecUnit", "IC", "1", 5, 2.5, makeDate(2026, 1, 15), "it's"),
          row("DoubleUnit", "IC", "0", -3, 10.0, makeDate(2026, 6, 1), "b"),
          row("CtrlTime", "LowPrcCtrl", "12", 0, 0.125, makeDate(2026, 6, 30), "c"),
          row("FCheckAccount", "ARP", Variant::null(), 7, 1e6, makeDate(2027, 1, 1), "d"),
          row("secunit", "GL", "abc", 12, 3.0, makeDate(2025, 12, 31), "e"),
      });
}

std::vector<std::string> keysUnderFilter(Recordset& rs, const std::string& criteria) {
  rs.setFilter(criteria);
  std::vector<std::string> keys;
  while (!rs.eof()) {
    keys.push_back(rs.value("FKey").stringValue());
    rs.moveNext();
  }
  return keys;
}

struct FilterCase {
  std::string criteria;
  std::vector<std::string> keys;
};

TEST(RecordsetFilter, SelectsTheMatchingRecords) {
  const std::vector<FilterCase> cases = {
      // The plug-in's two shapes of criteria.
      {" FKey='SecUnit' AND FCateGory = 'IC'", {"SecUnit"}},
      {"FKey='CalCostByBatch' AND FCateGory='IC'", {}},
      {" FKey='CtrlTime' AND FCateGory = 'LowPrcCtrl'", {"CtrlTime"}},
      // Text compares without letter case; names of fields too; keywords in any case.
      {"FKey = 'SECUNIT'", {"SecUnit", "secunit"}},
      {"fkey='secunit' and fcategory='gl'", {"secunit"}},
      {"FKey <> 'secunit'", {"DoubleUnit", "CtrlTime", "FCheckAccount"}},
      {"FKey < 'D'", {"CtrlTime"}},
      {"FKey >= 'S'", {"SecUnit", "secunit"}},
      // Quotes inside text; bracketed names.
      {"[F Note] = 'it''s'", {"SecUnit"}},
      // Numbers, with a sign, a decimal point, an exponent, a dollar sign.
      {"FQty > 0", {"SecUnit", "FCheckAccount", "secunit"}},
      {"FQty = -3", {"DoubleUnit"}},
      {"FPrice <= 2.5", {"SecUnit", "CtrlTime"}},
      {"FPrice = 1E6", {"FCheckAccount"}},
      {"FPrice = $10", {"DoubleUnit"}},
      {"FPrice = .125", {"CtrlTime"}},
      // Text field against a number: numeric text compares as a number, other text never matches.
      {"FValue = 12", {"CtrlTime"}},
      {"FValue > 0.5", {"SecUnit", "CtrlTime"}},
      {"FValue <> 1", {"DoubleUnit", "CtrlTime"}},
      // Number field against quoted numeric text.
      {"FQty = '12'", {"secunit"}},
      {"FQty = 'x'", {}},
      // Null matches no clause, not even <>.
      {"FValue <> 'zzz'", {"SecUnit", "DoubleUnit", "CtrlTime", "secunit"}},
      // Dates: ISO and month/day/year; a date field against quoted text; a text field against a date.
      {"FDate = #2026-06-01#", {"DoubleUnit"}},
      {"FDate >= #6/1/2026# AND FDate <= #6/30/2026#", {"DoubleUnit", "CtrlTime"}},
      {"FDate < '2026-01-01'", {"secunit"}},
      // LIKE: a wildcard at the end, at both ends, none; * and % alike; a lone wildcard.
      {"FKey LIKE 'sec*'", {"SecUnit", "secunit"}},
      {"FKey LIKE '%UNIT%'", {"SecUnit", "DoubleUnit", "secunit"}},
      {"FKey LIKE 'ctrltime'", {"CtrlTime"}},
      {"FKey LIKE '*'", {"SecUnit", "DoubleUnit", "CtrlTime", "FCheckAccount", "secunit"}},
      {"FQty LIKE '1%'", {"secunit"}},
      // AND/OR left to right, parentheses, OR of AND groups.
      {"FCateGory = 'IC' AND FQty > 0 OR FKey = 'CtrlTime'", {"SecUnit", "CtrlTime"}},
      {"(FCateGory = 'IC' AND FQty > 0) OR (FCateGory = 'GL' AND FQty > 0)", {"SecUnit", "secunit"}},
      {"FKey = 'a' OR FKey = 'CtrlTime' OR FQty = 7", {"CtrlTime", "FCheckAccount"}},
      {"((FQty = 5))", {"SecUnit"}},
      // Blanks of any kind between tokens, none where none is needed.
      {"\tFQty>0\r\nAND\tFQty<6 ", {"SecUnit"}},
  };
  auto rs = sample();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.criteria);
    EXPECT_EQ(keysUnderFilter(*rs, c.criteria), c.keys);
    EXPECT_EQ(rs->recordCount(), static_cast<int32_t>(c.keys.size()));
  }
}

struct BadFilterCase {
  std::string criteria;
  std::string description;
};

TEST(RecordsetFilter, RefusesMalformedCriteriaWithError3001) {
  const std::vector<BadFilterCase> cases = {
      {"FKey = ", "Filter \"FKey = \" : value expected at position 7"},
      {"FKey", "Filter \"FKey\" : comparison operator (= <> < > <= >= LIKE) expected at position 4"},
      {"= 'a'", "Filter \"= 'a'\" : field name expected at position 0"},
      {"FNothing = 1", "Filter \"FNothing = 1\" : unknown field 'FNothing' at position 0"},
      {"FKey = 'abc", "Filter \"FKey = 'abc\" : closing quote missing for the text at position 7"},
      {"FKey = abc", "Filter \"FKey = abc\" : value expected at position 7"},
      {"FKey = Null", "Filter \"FKey = Null\" : Null cannot be used as a value at position 7"},
      {"FDate = #2026-02-30#", "'2026-02-30' is not a date at position 8"},
      {"FDate = #2026-02-01", "closing '#' missing for the date at position 8"},
      {"FQty = 12abc", "invalid number at position 7"},
      {"FKey = 'a' FQty = 1", "AND or OR expected at position 11"},
      {"FKey = 'a' XOR FQty = 1", "AND or OR expected at position 11"},
      {"FQty = 1 AND (FKey = 'a'", "'(' is not closed at position 13"},
      {"FKey = 'a')", "')' without a matching '(' at position 10"},
      {"[F Note = 'a'", "']' expected to close the field name at position 13"},
      {"FKey LIKE '*sec'", "LIKE pattern '*sec' has a wildcard at its start only at position 10"},
      {"FKey LIKE 's*c'", "LIKE pattern 's*c' has a wildcard inside at position 10"},
      {"FKey LIKE '*s%c*'", "has a wildcard inside"},
      {"FQty LIKE 5", "LIKE needs a pattern in quotes at position 10"},
      {"(FQty = 1 OR FQty = 2) AND FKey = 'a'", "cannot be joined to others by AND"},
      {"FQty = 1 OR FQty = 2 AND FKey = 'a'",
       "cannot be joined to others by AND (write (A AND C) OR (B AND C)) "
       "at position 21"},
      {"FKey = 'a' AND (FQty = 1 OR FQty = 2)", "cannot be joined to others by AND"},
  };
  auto rs = sample();
  rs->setFilter("FQty = 5");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.criteria);
    try {
      rs->setFilter(c.criteria);
      ADD_FAILURE() << "no error";
    } catch (const AutomationError& e) {
      EXPECT_EQ(e.number(), recordset_errc::kInvalidArgument);
      EXPECT_NE(e.info().description.find(c.description), std::string::npos) << e.info().description;
    }
    // A refused filter leaves the one in force.
    EXPECT_EQ(rs->filter(), "FQty = 5");
    EXPECT_EQ(rs->recordCount(), 1);
  }
}

TEST(RecordsetFilter, EmptyTextOrZeroRemovesTheFilter) {
  auto rs = sample();
  put(ObjectPtr(rs), "Filter", "FQty = 5");
  EXPECT_EQ(get(ObjectPtr(rs), "Filter"), Variant("FQty = 5"));
  EXPECT_EQ(rs->recordCount(), 1);

  put(ObjectPtr(rs), "Filter", "");
  EXPECT_EQ(rs->recordCount(), 5);
  EXPECT_EQ(get(ObjectPtr(rs), "Filter"), Variant(int32_t{0}));

  put(ObjectPtr(rs), "Filter", "FQty = 5");
  put(ObjectPtr(rs), "Filter", int32_t{0});
  EXPECT_EQ(rs->recordCount(), 5);
  EXPECT_FALSE(rs->eof());
  EXPECT_EQ(rs->value("FKey"), Variant("SecUnit"));

  EXPECT_THROW(put(ObjectPtr(rs), "Filter", int32_t{1}), AutomationError);
}

TEST(RecordsetFilter, NoMatchLeavesBothEndsTrue) {
  auto rs = sample();
  rs->setFilter("FKey = 'none'");
  EXPECT_TRUE(rs->eof());
  EXPECT_TRUE(rs->bof());
  EXPECT_EQ(rs->recordCount(), 0);
  // A new filter starts again from the first match, whatever the position before.
  rs->setFilter("FCateGory = 'IC'");
  rs->moveNext();
  rs->setFilter("FCateGory = 'IC'");
  EXPECT_EQ(rs->value("FKey"), Variant("SecUnit"));
}

TEST(RecordsetNavigation, WalksForwardAndBackAndRefusesPastTheEnds) {
  auto rs = sample();
  EXPECT_FALSE(rs->bof());
  EXPECT_FALSE(rs->eof());
  rs->moveLast();
  EXPECT_EQ(rs->value(size_t{0}), Variant("secunit"));
  rs->moveNext();
  EXPECT_TRUE(rs->eof());
  try {
    rs->value("FKey");
    ADD_FAILURE() << "read at EOF";
  } catch (const AutomationError& e) {
    EXPECT_EQ(e.number(), recordset_errc::kNoCurrentRecord);
    EXPECT_NE(e.info().description.find("Either BOF or EOF is True"), std::string::npos);
  }
  EXPECT_THROW(rs->moveNext(), AutomationError);
  rs->moveFirst();
  rs->movePrevious();
  EXPECT_TRUE(rs->bof());
  EXPECT_FALSE(rs->eof());
  EXPECT_THROW(rs->movePrevious(), AutomationError);
  EXPECT_THROW(rs->value("FKey"), AutomationError);

  auto empty = Recordset::create({"A"}, {});
  EXPECT_TRUE(empty->eof());
  EXPECT_TRUE(empty->bof());
  EXPECT_THROW(empty->moveFirst(), AutomationError);
  EXPECT_THROW(empty->moveLast(), AutomationError);
}

TEST(RecordsetLateBound, ReadsFieldsByNameAndPosition) {
  ObjectPtr rs = sample();
  EXPECT_EQ(rs->typeName(), "Recordset");
  EXPECT_EQ(get(rs, "EOF"), Variant(false));
  EXPECT_EQ(get(rs, "RecordCount"), Variant(int32_t{5}));

  // rs("fkey").Value, rs.Fields(1).Value, rs.Fields.Item("FQty"), the Field's default member.
  EXPECT_EQ(get(get(rs, "", "fkey"), "Value"), Variant("SecUnit"));
  EXPECT_EQ(get(get(rs, "Fields", int32_t{1}), "Value"), Variant("IC"));
  Variant fields = get(rs, "Fields");
  EXPECT_EQ(typeNameOf(fields), "Fields");
  EXPECT_EQ(get(fields, "Count"), Variant(int32_t{7}));
  Variant qty = get(fields, "Item", "FQty");
  EXPECT_EQ(get(qty, "Name"), Variant("FQty"));
  EXPECT_EQ(get(qty, ""), Variant(int32_t{5}));

  // A Field follows the current record.
  call(rs, "MoveNext");
  EXPECT_EQ(get(qty, "Value"), Variant(int32_t{-3}));

  // NULL stays Null, dates stay dates.
  put(rs, "Filter", "FKey = 'FCheckAccount'");
  EXPECT_TRUE(get(get(rs, "", "FValue"), "Value").isNull());
  EXPECT_EQ(get(get(rs, "", "FDate"), "Value"), Variant(makeDate(2027, 1, 1)));

  for (Variant bad : {Variant("FMissing"), Variant(int32_t{7}), Variant(int32_t{-1})}) {
    try {
      get(rs, "Fields", bad);
      ADD_FAILURE() << describe(bad);
    } catch (const AutomationError& e) {
      EXPECT_EQ(e.number(), recordset_errc::kItemNotFound);
    }
  }
  EXPECT_THROW(put(qty, "Value", int32_t{1}), AutomationError);
}

}  // namespace
}  // namespace mto::sim
