#pragma once

// A small test runner for the COM test host: named cases in groups, checks that report the
// failing expression with its line, and one summary line "N passed, M failed" that scripts grep
// (an exit code alone is not trusted under Wine).

#include <oaidl.h>
#include <windows.h>

#include <functional>
#include <source_location>
#include <string>
#include <string_view>

namespace mto::testhost {

class TestRun {
 public:
  void group(std::string_view name);
  /// Runs one case; an exception escaping it is one failure.
  void run(std::string_view name, const std::function<void()>& body);
  bool expect(bool ok, std::string_view what, std::source_location where = std::source_location::current());
  bool expectEq(const std::string& actual, const std::string& expected, std::string_view what,
                std::source_location where = std::source_location::current());
  bool expectHr(HRESULT actual, HRESULT expected, std::string_view what,
                std::source_location where = std::source_location::current());
  /// Prints "N passed, M failed", counting cases.
  void summary() const;
  int failed() const { return casesFailed_; }

 private:
  void fail(std::string_view message, std::source_location where);
  std::string case_;
  bool caseFailed_ = false;
  int casesPassed_ = 0;
  int casesFailed_ = 0;
};

TestRun& tests();

// Arguments as a host builds them for an event or a call; the VARIANTs own nothing.

inline VARIANT longValue(LONG value) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_I4;
  v.lVal = value;
  return v;
}

inline VARIANT dispatchValue(IDispatch* object) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_DISPATCH;
  v.pdispVal = object;
  return v;
}

/// Nothing: an object argument without an object.
inline VARIANT nothing() {
  return dispatchValue(nullptr);
}

/// A by-reference argument of the given type pointing at the caller's storage.
inline VARIANT byRef(VARTYPE type, void* target) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BYREF | type;
  v.byref = target;
  return v;
}

#define EXPECT(cond) ::mto::testhost::tests().expect((cond), #cond)

}  // namespace mto::testhost
