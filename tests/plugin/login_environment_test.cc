#include "support/login_environment.h"

#include "common/sim_fixture.h"

namespace mto::support {
namespace {

using automation::err;
using automation::ErrorInfo;
using automation::setPendingError;

TEST(FindPropValueTest, MatchesWholeKeysOnlyIgnoringCase) {
  struct Case {
    const char* props;
    const char* key;
    const char* expected;
  };
  const Case cases[] = {
      {"DBLANGUAGE=x;LANGUAGE=en", "LANGUAGE", "en"},  // a key ending with the wanted one is not it
      {"DBLANGUAGE=x;LANGUAGE=en", "Language", "en"},
      {"UserID=16394;UserName=admin", "UserName", "admin"},  // no final ";": the last value whole
      {"UserID=16394;UserName=admin;", "username", "admin"},
      {"UserID=16394;", "AcctID", ""},
      {"UserID=;", "UserID", ""},
      {"", "UserID", ""},
      {"A=1=2;", "A", "1=2"},
      {"XA=1;A=2;", "A", "2"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(FindPropValue(c.props, c.key), c.expected) << c.props << " / " << c.key;
}

class LoginEnvironmentTest : public testing::SimTest {};

TEST_F(LoginEnvironmentTest, PropValuesComeFromTheSharedPropertyOfThisProcess) {
  host().setPropsString("DBLANGUAGE=chs;LANGUAGE=en;UserID=7");
  EXPECT_EQ(GetPropValue("LANGUAGE"), "en");
  EXPECT_EQ(GetPropValue("userid"), "7");
  host().removeComponent("PropsMgr.ShareProps");
  EXPECT_EQ(GetPropValue("LANGUAGE"), "") << "a failure yields an empty value";
  EXPECT_THROW(GetPropsString(), automation::AutomationError);
}

TEST_F(LoginEnvironmentTest, EmptyOrBlankKeysGiveEmptyTextWithoutAskingTheLoader) {
  EXPECT_EQ(GetResText(""), "");
  EXPECT_EQ(GetResText("   "), "");
  EXPECT_EQ(calls("Loader.ResFileBaseName"), 2u);
  EXPECT_EQ(calls("Loader.LanguageID"), 2u);
  EXPECT_EQ(calls("Loader.LoadString"), 0u);
}

TEST_F(LoginEnvironmentTest, CompositeTextsTranslateMarkedPiecesOnly) {
  host().db().execute("INSERT INTO t_ResourceText (key, language, text) VALUES ('k1', 'en', 'One')");
  EXPECT_EQ(GetResText("~$~k1^|^ and ^|^~$~k1"), "One and One");
  EXPECT_EQ(GetResText("a^|^b^|^c"), "abc") << "all literal";
  EXPECT_EQ(GetResText("x^|^~$~"), "x") << "the marker alone is the empty key";
  EXPECT_EQ(GetResText("k1"), "One");
  EXPECT_EQ(GetResText("  k1  "), "One") << "keys are trimmed";
  EXPECT_EQ(GetResText("no such key"), "no such key");
}

TEST_F(LoginEnvironmentTest, MissingOrFailingLoaderGivesTheKeyAndKeepsThePendingError) {
  const ErrorInfo pending{13, "Caller", "Type mismatch", "help.chm", 3};
  host().removeComponent("T8RESLOADER.Loader");
  setPendingError(pending);
  EXPECT_EQ(GetResText("读取当前期间错误。"), "读取当前期间错误。");
  EXPECT_EQ(err(), pending);
}

TEST_F(LoginEnvironmentTest, LoaderFailureMidwayKeepsThePendingError) {
  failMember("Loader.LoadString", 440, "resource file missing");
  const ErrorInfo pending{91, "Caller", "Object not set", "", 0};
  setPendingError(pending);
  EXPECT_EQ(GetResText("调整数量必须大于0。"), "调整数量必须大于0。");
  EXPECT_EQ(err(), pending);
  automation::clearPendingError();
  GetResText("x");
  EXPECT_EQ(err().number, 0);
}

TEST_F(LoginEnvironmentTest, DisabledLogIsDroppedForTheThread) {
  env().logEnabled = false;
  EXPECT_EQ(LogStart("T8MTOChange.clsMTOChange.m_BillInterface_AfterNewBill"), 0);
  env().logEnabled = true;
  EXPECT_EQ(LogStart("T8MTOChange.clsMTOChange.m_BillInterface_AfterNewBill"), 0);
  LogEnd(1, 0);
  EXPECT_EQ(calls("Log.IsEnabled"), 1u);
  EXPECT_EQ(calls("Log.LogStart"), 0u);
  EXPECT_TRUE(env().logScopes.empty());
}

TEST_F(LoginEnvironmentTest, LogScopesRecordCodesAndKeepThePendingError) {
  int32_t handle = LogStart("T8MTOChange.clsMTOChange.m_Billinterface_AddNewRow");
  ASSERT_NE(handle, 0);
  const ErrorInfo pending{5, "Src", "Invalid procedure call or argument", "", 0};
  setPendingError(pending);
  LogEnd(handle, 1);
  EXPECT_EQ(err(), pending);
  ASSERT_EQ(env().logScopes.size(), 1u);
  EXPECT_EQ(env().logScopes[0].code, 1);

  failMember("Log.LogEnd");
  LogEnd(handle, 0);  // absorbed
  EXPECT_EQ(err(), pending);
}

TEST_F(LoginEnvironmentTest, MissingLogComponentIsTriedOnce) {
  host().removeComponent("MvLogMsg.Log");
  EXPECT_EQ(LogStart("a"), 0);
  host().platform().registerFactory("MvLogMsg.Log", []() -> automation::ObjectPtr {
    ADD_FAILURE() << "created again";
    return nullptr;
  });
  EXPECT_EQ(LogStart("b"), 0);
}

TEST_F(LoginEnvironmentTest, MessageServiceIsCachedAndShowsTheErrorObject) {
  ShowMessage("hello");
  setPendingError(ErrorInfo{-100, "[WexPlug.modBillOpt]", "boom", "", 0});
  ShowPendingError();
  ASSERT_EQ(env().messages.size(), 2u);
  EXPECT_EQ(env().messages[0].text, "hello");
  ASSERT_TRUE(env().messages[1].error);
  EXPECT_EQ(env().messages[1].error->number, -100);
  EXPECT_EQ(env().messages[1].error->source, "[WexPlug.modBillOpt]");
  EXPECT_EQ(GetMessageService(), GetMessageService());
}

}  // namespace
}  // namespace mto::support
