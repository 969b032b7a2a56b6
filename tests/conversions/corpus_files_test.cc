#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "oracle/corpus.h"

namespace mto::oracle {
namespace {

std::vector<Entry> corpusOf(const std::string& text, std::vector<std::string>& problems) {
  std::istringstream in(text);
  return parseCorpus(in, problems);
}

TEST(ConversionCorpusFiles, TheShippedFilesParseAndEveryKnownDifferenceNamesAnEntry) {
  std::ifstream corpusFile(MTO_CONVERSIONS_DIR "/corpus.txt");
  std::ifstream knownFile(MTO_CONVERSIONS_DIR "/wine-differences.txt");
  ASSERT_TRUE(corpusFile && knownFile);
  std::vector<std::string> problems;
  auto corpus = parseCorpus(corpusFile, problems);
  auto known = parseKnownDifferences(knownFile, problems);
  for (const auto& p : checkKnownDifferences(known, corpus)) problems.push_back(p);
  EXPECT_EQ(problems, std::vector<std::string>{});
  EXPECT_GE(corpus.size(), 300u);
}

TEST(ConversionCorpus, ReadsTypedValuesLocalesAndNormalisedKeys) {
  std::vector<std::string> problems;
  auto entries = corpusOf(
      "# comment\n\n[de-DE] double   \"12 \"\"x\"\" \"\ncompare i:5 l:-7\ndateadd \"m\" 1 d:2026-01-31T10:30\n"
      "format \"0.00\" Null\nboolean True\n",
      problems);
  ASSERT_EQ(problems, std::vector<std::string>{});
  ASSERT_EQ(entries.size(), 5u);
  EXPECT_EQ(entries[0].line, 3);
  EXPECT_EQ(entries[0].locales, std::vector<std::string>{"de-DE"});
  EXPECT_EQ(entries[0].arguments[0].text, "12 \"x\" ");
  EXPECT_EQ(entries[0].key, "double \"12 \"\"x\"\" \"");
  EXPECT_EQ(entries[1].arguments[0].kind, Value::Kind::Integer);
  EXPECT_EQ(entries[1].arguments[1].kind, Value::Kind::Long);
  EXPECT_EQ(entries[1].arguments[1].number, -7);
  EXPECT_DOUBLE_EQ(entries[2].arguments[2].number, 46053.4375);
  EXPECT_EQ(entries[3].arguments[1].kind, Value::Kind::Null);
  EXPECT_EQ(entries[4].arguments[0].kind, Value::Kind::Boolean);
  EXPECT_EQ(entries[4].arguments[0].number, -1);
}

TEST(ConversionCorpus, ReportsEachBadLineByNumberAndKeepsTheGoodOnes) {
  std::vector<std::string> problems;
  auto entries = corpusOf(
      "double \"1\"\nround 1\ndouble 1 2\ndouble \"open\ninteger i:40000\nformat 0.00 1\n"
      "dateadd \"m\" 1 46000\ndate d:2026-13-01\n[en-US double 1\n",
      problems);
  EXPECT_EQ(entries.size(), 1u);
  ASSERT_EQ(problems.size(), 8u);
  EXPECT_EQ(problems[0], "line 2: unknown operation");
  EXPECT_EQ(problems[1], "line 3: double takes 1 argument(s)");
  EXPECT_EQ(problems[2], "line 4: unclosed quote");
  EXPECT_EQ(problems[3], "line 5: unreadable value i:40000");
  EXPECT_EQ(problems[4], "line 6: argument types do not suit format");
  EXPECT_EQ(problems[5], "line 7: argument types do not suit dateadd");
  EXPECT_EQ(problems[6], "line 8: unreadable value d:2026-13-01");
  EXPECT_EQ(problems[7], "line 9: unclosed locale list");
}

TEST(ConversionCorpus, DateSerialsFollowTheAutomationCalendar) {
  EXPECT_EQ(dateSerial(2026, 12, 6), 46362);
  EXPECT_EQ(dateSerial(2026, 12, 6, 10, 30), 46362.4375);
  EXPECT_EQ(dateSerial(1899, 12, 30, 6), 0.25);
  EXPECT_EQ(dateSerial(1899, 12, 25, 6), -5.25);  // the time counts forward from a negative day
  EXPECT_EQ(dateSerial(100, 1, 1), -657434);
  EXPECT_EQ(dateSerial(9999, 12, 31), 2958465);
  EXPECT_EQ(dateSerial(2028, 2, 29) - dateSerial(2028, 2, 28), 1);
}

TEST(ConversionResults, DescribedResultsReadBackAndCompareByKindAndValue) {
  const Result samples[] = {{Result::Kind::Error, 13, {}},   {Result::Kind::Double, 0.1, {}},
                            {Result::Kind::Integer, -1, {}}, {Result::Kind::Long, 2147483647, {}},
                            {Result::Kind::Boolean, -1, {}}, {Result::Kind::Text, 0, "say \"1,5\" "},
                            {Result::Kind::Date, 46362.4375, {}}, {Result::Kind::Order, 2, {}}};
  for (const auto& sample : samples) {
    Result back;
    ASSERT_TRUE(parseResult(describe(sample), back)) << describe(sample);
    EXPECT_TRUE(sameResult(sample, back)) << describe(sample) << " read back as " << describe(back);
  }
  EXPECT_EQ(describe({Result::Kind::Order, -1, {}}), "CMP LT");
  Result unused;
  EXPECT_FALSE(parseResult("R8 twelve", unused));
  EXPECT_FALSE(parseResult("CMP ABOVE", unused));
  EXPECT_FALSE(parseResult("12", unused));
  // The same number as another type, or another error, is another result.
  EXPECT_FALSE(sameResult({Result::Kind::Integer, 2, {}}, {Result::Kind::Long, 2, {}}));
  EXPECT_FALSE(sameResult({Result::Kind::Error, 13, {}}, {Result::Kind::Error, 6, {}}));
  // Two parsers of one decimal text may differ in the last bit, never more.
  EXPECT_TRUE(sameResult({Result::Kind::Double, 0.1, {}}, {Result::Kind::Double, 0.1 + 1e-17, {}}));
  EXPECT_FALSE(sameResult({Result::Kind::Double, 0.1, {}}, {Result::Kind::Double, 0.1000000001, {}}));
}

TEST(ConversionKnownDifferences, NeedFiveFieldsAReasonASourceAndAMatchingEntry) {
  std::vector<std::string> problems;
  auto corpus = corpusOf("[en-US] text 1.5\ndouble \"1\"\n", problems);
  std::istringstream in(
      "en-US | text   1.5 | BSTR \"1.5\" | why | where\n"
      "de-DE | text 1.5 | BSTR \"1,5\" | why | where\n"
      "en-US | double \"1\" | R8 one | why | where\n"
      "en-US | double \"1\" | R8 1 |  | where\n"
      "en-US | double \"1\" | R8 1\n"
      "en-US | text 1.5 | BSTR \"1.5\" | again | where\n");
  auto known = parseKnownDifferences(in, problems);
  ASSERT_EQ(problems.size(), 3u);
  EXPECT_EQ(problems[0], "line 3: unreadable Windows result R8 one");
  EXPECT_EQ(problems[1], "line 4: a known difference needs a reason and a source");
  EXPECT_EQ(problems[2], "line 5: needs 5 fields separated by |, has 3");
  ASSERT_EQ(known.size(), 3u);
  EXPECT_EQ(known[0].key, "text 1.5");
  EXPECT_EQ(checkKnownDifferences(known, corpus),
            (std::vector<std::string>{"line 2: no corpus entry text 1.5 runs in de-DE", "line 6: listed twice"}));
}

}  // namespace
}  // namespace mto::oracle
