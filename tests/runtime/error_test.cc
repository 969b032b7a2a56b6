#include "automation/error.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>
#include <thread>

#include "automation/thread_state.h"

namespace mto::automation {
namespace {

void innermost() {
  raiseError(errc::kTypeMismatch, "Type mismatch", "T8MTOChange");
}

void middle() {
  try {
    innermost();
  } catch (...) {
    reraiseFrom("T8MTOChange.clsMTOChange::GetQty");
  }
}

void outer(int32_t offset) {
  try {
    middle();
  } catch (...) {
    reraiseFrom("T8MTOChange.clsMTOChange::SetQty", offset);
  }
}

TEST(ReraiseTest, ThreeProceduresStackTheirNamesOutermostFirst) {
  try {
    try {
      outer(0);
    } catch (...) {
      reraiseFrom("T8MTOChange.clsMTOChange::ClearFieldInfo");
    }
    FAIL() << "no error raised";
  } catch (const AutomationError& e) {
    EXPECT_EQ(e.number(), 13);
    EXPECT_EQ(e.info().source,
              "T8MTOChange.clsMTOChange::ClearFieldInfo\r\n"
              "T8MTOChange.clsMTOChange::SetQty\r\n"
              "T8MTOChange.clsMTOChange::GetQty\r\n"
              "T8MTOChange");
    EXPECT_EQ(e.info().description, "\r\n\r\n\r\nType mismatch");
  }
}

TEST(ReraiseTest, OffsetVariantAddsToTheNumberAndKeepsHelp) {
  try {
    try {
      raiseError(ErrorInfo{91, "Host", "Object not set", "help.chm", 17});
    } catch (...) {
      reraiseFrom("P", 20000);
    }
  } catch (const AutomationError& e) {
    EXPECT_EQ(e.number(), 20091);
    EXPECT_EQ(e.info().helpFile, "help.chm");
    EXPECT_EQ(e.info().helpContext, 17);
    EXPECT_EQ(e.info().source, "P\r\nHost");
  }
}

TEST(ReraiseTest, ForeignExceptionsBecomeAutomationErrors) {
  try {
    try {
      throw std::runtime_error("disk full");
    } catch (...) {
      reraiseFrom("P");
    }
  } catch (const AutomationError& e) {
    EXPECT_EQ(e.number(), errc::kAutomationError);
    EXPECT_EQ(e.info().description, "\r\ndisk full");
  }
  EXPECT_EQ(errorFromException(std::make_exception_ptr(std::bad_alloc())).number, errc::kOutOfMemory);
  EXPECT_EQ(errorFromException(std::make_exception_ptr(42)).number, errc::kAutomationError);
}

TEST(RaiseErrorTest, DefaultsTakeTheStandardMessageAndTheProjectSource) {
  try {
    raiseError(errc::kOverflow);
  } catch (const AutomationError& e) {
    EXPECT_EQ(e.info().description, "Overflow");
    EXPECT_EQ(e.info().source, "T8MTOChange");
  }
  EXPECT_EQ(standardMessage(60000), "Application-defined or object-defined error");
}

// A service in the style of the text and log services: it raises and absorbs an error of its own.
void absorbingService() {
  PendingErrorGuard keep;
  try {
    raiseError(errc::kCannotCreateObject, "no loader", "Service");
  } catch (const AutomationError& e) {
    setPendingError(e.info());
  }
}

TEST(PendingErrorTest, SurvivesAServiceThatRaisedAndAbsorbedItsOwn) {
  threadState().reset();
  setPendingError(ErrorInfo{13, "Src", "Type mismatch", "file.hlp", 5});
  absorbingService();
  EXPECT_EQ(err(), (ErrorInfo{13, "Src", "Type mismatch", "file.hlp", 5}));

  clearPendingError();
  absorbingService();
  EXPECT_EQ(err().number, 0) << "a service leaves no error behind when none was pending";
}

struct CounterState {
  int value = 0;
};

TEST(ThreadStateTest, ModuleStateIsPerThreadAndResettable) {
  threadState().reset();
  threadState().module<CounterState>().value = 7;
  EXPECT_EQ(threadState().module<CounterState>().value, 7);
  int seenOnOtherThread = -1;
  std::thread([&] { seenOnOtherThread = threadState().module<CounterState>().value; }).join();
  EXPECT_EQ(seenOnOtherThread, 0);
  threadState().reset();
  EXPECT_EQ(threadState().module<CounterState>().value, 0);
}

}  // namespace
}  // namespace mto::automation
