#include "test_host/check.h"

#include <cstdio>
#include <exception>

#include "automation/error.h"

namespace mto::testhost {

namespace {
std::string printable(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\r')
      out += "\\r";
    else if (c == '\n')
      out += "\\n";
    else
      out += c;
  }
  return out;
}
}  // namespace

TestRun& tests() {
  static TestRun run;
  return run;
}

void TestRun::group(std::string_view name) {
  std::printf("== %.*s\n", static_cast<int>(name.size()), name.data());
  std::fflush(stdout);
}

void TestRun::run(std::string_view name, const std::function<void()>& body) {
  case_ = std::string(name);
  caseFailed_ = false;
  try {
    body();
  } catch (const automation::AutomationError& e) {
    fail("automation error " + std::to_string(e.number()) + " from " + printable(e.info().source) + ": " +
             printable(e.info().description),
         std::source_location::current());
  } catch (const std::exception& e) {
    fail(std::string("exception: ") + e.what(), std::source_location::current());
  } catch (...) {
    fail("unknown exception", std::source_location::current());
  }
  if (caseFailed_) {
    ++casesFailed_;
  } else {
    ++casesPassed_;
    std::printf("  ok   %s\n", case_.c_str());
  }
  std::fflush(stdout);
}

void TestRun::fail(std::string_view message, std::source_location where) {
  if (!caseFailed_) std::printf("  FAIL %s\n", case_.c_str());
  caseFailed_ = true;
  std::printf("       %s:%u: %.*s\n", where.file_name(), static_cast<unsigned>(where.line()),
              static_cast<int>(message.size()), message.data());
}

bool TestRun::expect(bool ok, std::string_view what, std::source_location where) {
  if (!ok) fail(what, where);
  return ok;
}

bool TestRun::expectEq(const std::string& actual, const std::string& expected, std::string_view what,
                       std::source_location where) {
  if (actual == expected) return true;
  fail(std::string(what) + ": got \"" + printable(actual) + "\", want \"" + printable(expected) + "\"", where);
  return false;
}

bool TestRun::expectHr(HRESULT actual, HRESULT expected, std::string_view what, std::source_location where) {
  if (actual == expected) return true;
  char text[96];
  std::snprintf(text, sizeof text, ": got 0x%08lX, want 0x%08lX", static_cast<unsigned long>(actual),
                static_cast<unsigned long>(expected));
  fail(std::string(what) + text, where);
  return false;
}

void TestRun::summary() const {
  std::printf("%d passed, %d failed\n", casesPassed_, casesFailed_);
  std::fflush(stdout);
}

}  // namespace mto::testhost
