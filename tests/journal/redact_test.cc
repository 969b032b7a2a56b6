// The one door of texts into a journal: the values of secret keys of a login property string are
// replaced, and everything else passes byte for byte.

#include "journal/redact.h"

#include <gtest/gtest.h>

#include <sstream>

#include "journal/format.h"

namespace mto::journal {
namespace {

TEST(Redaction, SecretKeysLoseTheirValuesWhateverTheirCase) {
  const std::pair<std::string, std::string> cases[] = {
      {"UserID=16394;PWD=s3cret;AcctID=1;", "UserID=16394;PWD=***;AcctID=1;"},
      {"pwd=a;password=b;PassWord=c;DBPass=d;UserPwd=e",
       "pwd=***;password=***;PassWord=***;DBPass=***;UserPwd=***"},
      {" Password =with spaces;x=1", " Password =***;x=1"},
      {"PWD=;UserName=admin", "PWD=***;UserName=admin"},
      {"PWD=a=b=c;LANGUAGE=en", "PWD=***;LANGUAGE=en"},
      {";;PWD=x;;", ";;PWD=***;;"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(redactSecrets(in), out) << in;
}

TEST(Redaction, OtherTextsPassUnchanged) {
  for (std::string text : {"", "plain text", "UserID=16394;UserName=administrator;DBLANGUAGE=chs;",
                           "select * from t_ICItem where FItemID=12", "a passage without an equals sign",
                           "FPassQty is a field", "\xFF\xFE=\x80;"})
    EXPECT_EQ(redactSecrets(text), text);
  EXPECT_TRUE(isSecretKey("PWD"));
  EXPECT_TRUE(isSecretKey("x_passphrase"));
  EXPECT_FALSE(isSecretKey("UserName"));
  EXPECT_FALSE(isSecretKey("P W D"));
}

TEST(Redaction, NoSecretReachesAFileThroughAnyText) {
  // The writer sends every text through the redaction: values, names, errors, the header.
  const std::string secret = "Password=hunter2;UserID=1";
  std::stringstream file;
  Writer writer(file);
  Header header;
  header.host = secret;
  writer.header(header);
  JournalEntry call = openedEntry(JournalEntry::Kind::Call, 1, secret);
  call.args.push_back(passedArg(plainValue(automation::Variant(secret)), true));
  call.args.push_back(
      passedArg(plainValue(automation::Variant(automation::Array{automation::Variant(secret)})), false));
  const size_t n = writer.begin(call, secret);
  call.args[0].out = plainValue(automation::Variant(secret));
  call.result = plainValue(automation::Variant("PWD=\xFF\xFEhunter2"));  // not UTF-8: written in hex
  call.error = automation::ErrorInfo{5, secret, secret, secret, 0};
  writer.end(n, call);
  const std::string text = file.str();
  EXPECT_EQ(text.find("hunter2"), std::string::npos) << text;
  EXPECT_EQ(text.find("68756e74657232"), std::string::npos) << text;  // "hunter2" in hex
  Recording back = readJournal(file, "r.jsonl");
  EXPECT_EQ(back.journal.entries.at(0).args.at(0).in.value, automation::Variant("Password=***;UserID=1"));
}

}  // namespace
}  // namespace mto::journal
