// The journal file: every value the plug-in and host exchange comes back from the file exactly, the
// nesting of entries is rebuilt from begin and end lines, and a file that is broken or cut short
// gives one line or reads as far as it goes, never a crash.

#include "journal/format.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "automation/dates.h"

namespace mto::journal {
namespace {

using automation::Variant;

/// A header as a test recorder writes it.
Header testHeader() {
  Header h;
  h.time = automation::makeDate(2026, 12, 6, 9, 30, 0);
  h.processId = 77;
  h.moduleVersion = "0.1.0";
  h.host = "test";
  return h;
}

/// Writes one call of `values` (each by value) on object #1 with `result`, and reads it back.
Recording roundTrip(const std::vector<Variant>& values, const Variant& result = {}) {
  std::stringstream file;
  Writer writer(file);
  writer.header(testHeader());
  JournalEntry call = openedEntry(JournalEntry::Kind::Call, 1, "Put", automation::CallKind::PropertyPut);
  for (const auto& v : values) call.args.push_back(passedArg(plainValue(v), false));
  call.result = plainValue(result);
  writer.end(writer.begin(call, "Thing"), call);
  return readJournal(file, "t.jsonl");
}

/// Bit-exact equality, NaN payloads and the sign of zero included; arrays item by item.
bool sameBits(const Variant& a, const Variant& b) {
  if (a.type() != b.type()) return false;
  if (a.type() == automation::VarType::Double)
    return std::bit_cast<uint64_t>(a.doubleValue()) == std::bit_cast<uint64_t>(b.doubleValue());
  if (a.type() == automation::VarType::Date)
    return std::bit_cast<uint64_t>(a.dateValue().serial) == std::bit_cast<uint64_t>(b.dateValue().serial);
  if (a.type() == automation::VarType::Array) {
    if (a.arrayValue().size() != b.arrayValue().size()) return false;
    for (size_t i = 0; i < a.arrayValue().size(); ++i)
      if (!sameBits(a.arrayValue()[i], b.arrayValue()[i])) return false;
    return true;
  }
  return a == b;
}

TEST(JournalFormat, EveryVariantSubtypeComesBackExactly) {
  const double nanWithPayload = std::bit_cast<double>(uint64_t{0x7ff8000000000123});
  const std::vector<Variant> values = {
      Variant(),
      Variant::null(),
      Variant::missing(),
      Variant(true),
      Variant(false),
      Variant(int16_t{-32768}),
      Variant(int16_t{32767}),
      Variant(int32_t{-2147483647 - 1}),
      Variant(int32_t{2147483647}),
      Variant(0.1),
      Variant(-0.0),
      Variant(1.0 / 3.0),
      Variant(std::numeric_limits<double>::denorm_min()),
      Variant(std::numeric_limits<double>::max()),
      Variant(-std::numeric_limits<double>::infinity()),
      Variant(nanWithPayload),
      Variant(automation::Date{46362.395833333336}),
      Variant(automation::Date{-657434.0}),
      Variant(""),
      Variant("Gr\xC3\xBC\xC3\x9F"
              "e \xE2\x82\xAC \xF0\x9F\x98\x80"),
      Variant(std::string("a\0b\n\t\"\\", 8)),
      Variant("\xFF\xFE half \xE2\x82"),  // not UTF-8: bytes kept
      Variant("\xED\xA0\x80"),            // an encoded surrogate is not UTF-8 either
      Variant(automation::Array{Variant(int32_t{1}), Variant("x"),
                                Variant(automation::Array{Variant(2.5), Variant::null()})}),
  };
  Recording back = roundTrip(values, Variant(0.30000000000000004));
  ASSERT_EQ(back.journal.entries.size(), 1u);
  const JournalEntry& call = back.journal.entries[0];
  ASSERT_EQ(call.args.size(), values.size());
  for (size_t i = 0; i < values.size(); ++i)
    EXPECT_TRUE(sameBits(call.args[i].in.value, values[i]))
        << i << ": " << automation::describe(values[i]) << " came back as "
        << automation::describe(call.args[i].in.value);
  EXPECT_TRUE(sameBits(call.result.value, Variant(0.30000000000000004)));
  EXPECT_EQ(call.callKind, automation::CallKind::PropertyPut);
  EXPECT_TRUE(back.cut.empty());
}

TEST(JournalFormat, DoubleTextIsShortestAndExact) {
  EXPECT_EQ(doubleText(0.1), "0.1");
  EXPECT_EQ(doubleText(-0.0), "-0");
  EXPECT_EQ(doubleText(std::numeric_limits<double>::infinity()), "0x7ff0000000000000");
  for (const char* bad : {"", "0x12", "abc", "1e999", "1.5x", "0x7ff000000000000g", "nan", "inf"})
    EXPECT_FALSE(parseDoubleText(bad).has_value()) << bad;
}

TEST(JournalFormat, ObjectsTravelByNumberAndTypeAndTheHeaderKeepsTheLocale) {
  std::stringstream file;
  Writer writer(file);
  Header header = testHeader();
  header.locale.decimalSeparator = ",";
  header.locale.monthNames[2] = "M\xC3\xA4rz";
  writer.header(header);
  JournalEntry show = openedEntry(JournalEntry::Kind::Inbound, 0, "Show");
  show.args.push_back(passedArg(objectValue(1, "BillEvent"), false));
  const size_t showNo = writer.begin(show, "Nothing");
  JournalEntry event = openedEntry(JournalEntry::Kind::Event, 1, "BeforeSave");
  event.sink = 1;
  event.args.push_back(passedArg(plainValue(Variant(false)), true));
  const size_t eventNo = writer.begin(event, "BillEvent");
  JournalEntry call = openedEntry(JournalEntry::Kind::Call, 1, "GetDict", automation::CallKind::PropertyGet);
  call.args.push_back(passedArg(objectValue(0, "frmBar"), false));  // one of the plug-in's own
  const size_t callNo = writer.begin(call, "BillEvent");
  call.result = objectValue(2, "Dictionary");
  writer.end(callNo, call);
  event.args[0].out = plainValue(Variant(true));
  event.error = automation::ErrorInfo{-2147220991, "clsMTOChange\r\nBeforeSave", "no rows", "", 0};
  writer.end(eventNo, event);
  JournalEntry create = openedEntry(JournalEntry::Kind::Create, 0, "T8Collections.Dictionary");
  create.result = objectValue(0, "Nothing");
  writer.end(writer.begin(create, ""), create);
  show.result = plainValue(Variant());
  writer.end(showNo, show);

  Recording back = readJournal(file, "t.jsonl");
  EXPECT_EQ(back.header.locale.decimalSeparator, ",");
  EXPECT_EQ(back.header.locale.monthNames[2], "M\xC3\xA4rz");
  EXPECT_EQ(back.header.processId, 77u);
  EXPECT_EQ(back.header.time, testHeader().time);
  EXPECT_EQ(back.header.host, "test");
  const auto& e = back.journal.entries;
  ASSERT_EQ(e.size(), 4u);
  EXPECT_EQ(e[0].end, 4u);
  EXPECT_EQ(e[1].end, 3u);
  EXPECT_EQ(e[2].end, 3u);
  EXPECT_EQ(e[3].end, 4u);
  EXPECT_EQ(e[1].sink, 1u);
  EXPECT_TRUE(e[1].args[0].byRef);
  EXPECT_EQ(e[1].args[0].out.value, Variant(true));
  ASSERT_TRUE(e[1].error.has_value());
  EXPECT_EQ(*e[1].error, *event.error);
  EXPECT_EQ(e[2].args[0].in.objectType, "frmBar");
  EXPECT_EQ(e[2].result.object, 2u);
  EXPECT_EQ(back.journal.objectTypes, (std::vector<std::string>{"BillEvent", "Dictionary"}));
  EXPECT_EQ(e[3].name, "T8Collections.Dictionary");
  EXPECT_EQ(e[3].kind, JournalEntry::Kind::Create);
}

/// The lines of a small valid journal: header, a member call with one call nested.
std::vector<std::string> validLines() {
  std::stringstream file;
  Writer writer(file);
  writer.header(testHeader());
  JournalEntry show = openedEntry(JournalEntry::Kind::Inbound, 0, "Show");
  show.args.push_back(passedArg(objectValue(1, "BillEvent"), false));
  const size_t showNo = writer.begin(show, "");
  JournalEntry call = openedEntry(JournalEntry::Kind::Call, 1, "GetValue", automation::CallKind::PropertyGet);
  call.args.push_back(passedArg(plainValue(Variant("FQty")), false));
  call.args.push_back(passedArg(plainValue(Variant(int32_t{0})), true));
  const size_t callNo = writer.begin(call, "BillEvent");
  call.result = plainValue(Variant(3.5));
  call.args[1].out = plainValue(Variant(int32_t{4}));
  writer.end(callNo, call);
  writer.end(showNo, show);
  std::vector<std::string> lines;
  for (std::string line; std::getline(file, line);) lines.push_back(line);
  return lines;
}

std::string joined(const std::vector<std::string>& lines) {
  std::string out;
  for (const auto& l : lines) out += l + "\n";
  return out;
}

TEST(JournalFormat, ABrokenFileGivesOneLineNamingTheLine) {
  const auto good = validLines();
  ASSERT_EQ(good.size(), 5u);
  struct Case {
    size_t line;          // 1-based line replaced (0: none, the text is the whole file)
    std::string text;     // its new text
    std::string message;  // a part of the complaint
  };
  const std::vector<Case> cases = {
      {0, "", "empty: a journal starts with its header line"},
      {1, R"({"b":0})", ":1: not a journal"},
      {1, R"({"journal":9,"host":"x"})", ":1: written in format version 9"},
      {2, "this is not json", ":2: not JSON"},
      {2, "[1,2]", ":2: a line is a JSON object"},
      {2, R"({"x":1})", ":2: a line is a header, a begin"},
      {2, R"({"b":5,"kind":"member","name":"Show"})", ":2: entry 5 begins where entry 0 was due"},
      {2, R"({"b":0,"kind":"dance","name":"Show"})", ":2: entry 0: unknown kind \"dance\""},
      {2, R"({"b":0,"kind":"member"})", ":2: entry 0 has no \"name\""},
      {3, R"({"b":1,"kind":"call","obj":1,"type":"BillEvent","name":"GetValue","call":"poke"})",
       ":3: entry 1: unknown call kind \"poke\""},
      {3, R"({"b":1,"kind":"call","obj":1,"type":"Dictionary","name":"GetValue","call":"get"})",
       ":3: entry 1: object #1 is a Dictionary but was a BillEvent"},
      {3, R"({"b":1,"kind":"call","obj":4000000000,"type":"X","name":"G","call":"get"})",
       ":3: entry 1: object #4000000000 is numbered far beyond"},
      {3,
       R"({"b":1,"kind":"call","obj":1,"type":"BillEvent","name":"G","call":"get","args":[{"t":"Long","v":1e3}]})",
       ":3: entry 1's argument 1 is not a whole number"},
      {3,
       R"({"b":1,"kind":"call","obj":1,"type":"BillEvent","name":"G","call":"get","args":[{"t":"Integer","v":40000}]})",
       ":3: entry 1's argument 1 is out of range"},
      {3,
       R"({"b":1,"kind":"call","obj":1,"type":"BillEvent","name":"G","call":"get","args":[{"t":"Double","v":"1,5"}]})",
       "is not a number text"},
      {3,
       R"({"b":1,"kind":"call","obj":1,"type":"BillEvent","name":"G","call":"get","args":[{"t":"String","v":{"hex":"4"}}]})",
       "odd number of hex digits"},
      {3,
       R"({"b":1,"kind":"call","obj":1,"type":"BillEvent","name":"G","call":"get","args":[{"t":"Currency","v":1}]})",
       "unknown type \"Currency\""},
      {4, R"({"e":0})", ":4: entry 0 ends while entry 1, begun inside it, is still open"},
      {4, R"({"e":7})", ":4: entry 7 ends but never began"},
      {4, R"({"e":1,"out":[null]})", ":4: the end of entry 1: \"out\" is not a list of 2 arguments"},
      {4, R"({"e":1,"out":[{"t":"Long","v":1},null]})",
       ":4: the end of entry 1: argument 1 was passed by value"},
      {4, R"({"e":1,"error":{"number":"13"}})", ":4: the end of entry 1's error is not a whole number"},
      {5, R"({"e":1})", ":5: entry 1 ends twice"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> lines = good;
    std::string file = c.line == 0 ? c.text : (lines[c.line - 1] = c.text, joined(lines));
    std::stringstream in(file);
    try {
      (void)readJournal(in, "j.jsonl");
      ADD_FAILURE() << "read without complaint: line " << c.line << " " << c.text;
    } catch (const JournalError& e) {
      const std::string what = e.what();
      EXPECT_NE(what.find(c.message), std::string::npos) << what;
      EXPECT_TRUE(what.starts_with("j.jsonl")) << what;
      EXPECT_EQ(what.find('\n'), std::string::npos) << what;
    }
  }
}

TEST(JournalFormat, AFileCutAnywhereReadsAsFarAsItGoesOrComplainsAboutItsHeader) {
  const std::string whole = joined(validLines());
  const size_t headerEnd = whole.find('\n') + 1;
  for (size_t keep = 0; keep < whole.size(); ++keep) {
    std::stringstream in(whole.substr(0, keep));
    try {
      Recording r = readJournal(in, "cut.jsonl");
      EXPECT_GE(keep, headerEnd - 1) << keep;  // a whole header, its line break or not
      // Short of the last end line, an entry is left open or a last line cut off.
      if (!r.journal.entries.empty() && keep < whole.size() - 1) {
        EXPECT_FALSE(r.cut.empty()) << keep;
      }
      EXPECT_EQ(r.cut.find('\n'), std::string::npos);
      for (const auto& e : r.journal.entries) EXPECT_LE(e.end, r.journal.entries.size());
    } catch (const JournalError& e) {
      EXPECT_LT(keep, headerEnd - 1) << keep << ": " << e.what();
    }
  }
  // Cut after the call began: the call and the member are open, the call last.
  auto lines = validLines();
  lines.resize(3);
  std::stringstream in(joined(lines));
  Recording r = readJournal(in, "cut.jsonl");
  ASSERT_EQ(r.journal.entries.size(), 2u);
  EXPECT_FALSE(r.journal.entries[0].finished);
  EXPECT_FALSE(r.journal.entries[1].finished);
  EXPECT_EQ(r.journal.entries[0].end, 2u);
  EXPECT_NE(r.cut.find("after line 3, inside entry 1 (begun on line 3)"), std::string::npos) << r.cut;
}

}  // namespace
}  // namespace mto::journal
