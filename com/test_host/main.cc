// The COM test host: a Windows console program that plays the bill runtime. It serves the
// collection library's classes to CreateObject, checks the COM edge in its own process, then
// creates the registered plug-in by ProgID and drives it with bill and list objects. It prints one
// line "N passed, M failed" at the end. `replay --expected DIR FILE...` replays scenario files
// through COM instead (replay.h); `bench [--rows N] [--iterations K] [--json FILE]` measures the
// plug-in's events through COM beside the same events in process (bench.h).

#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "bridge/com_ptr.h"
#include "bridge/object_dispatch.h"
#include "bridge/text.h"
#include "host/contract.h"
#include "sim/components/collections.h"
#include "test_host/bench.h"
#include "test_host/check.h"
#include "test_host/host_types.h"
#include "test_host/os_hooks.h"
#include "test_host/replay.h"
#include "test_host/suites.h"

namespace {

using mto::testhost::ComPtr;

/// Serves the collection library as the real host does, so that the plug-in's CreateObject of
/// "T8Collections.Dictionary" and friends finds the test host's classes.
bool serveCollections(mto::testhost::ClassRegistrations& classes) {
  using namespace mto;
  auto progId = [](std::string_view id) { return std::wstring(id.begin(), id.end()); };
  bool ok = classes.add(progId(host::progid::kDictionary), testhost::kClsidDictionary,
                        [] { return com::ObjectDispatch::create(sim::Dictionary::create()); });
  ok = classes.add(progId(host::progid::kVector), testhost::kClsidVector,
                   [] { return com::ObjectDispatch::create(sim::Vector::create()); }) && ok;
  ok = classes.add(progId(host::progid::kUtility), testhost::kClsidUtility,
                   [] { return com::ObjectDispatch::create(std::make_shared<sim::CollectionUtility>()); }) && ok;
  return ok;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc > 1 && std::wstring_view(argv[1]) == L"replay") {
    std::vector<std::string> arguments;
    for (int i = 2; i < argc; ++i) arguments.push_back(mto::com::toUtf8(argv[i]));
    return mto::testhost::runReplay(arguments);
  }
  if (argc > 1 && std::wstring_view(argv[1]) == L"bench") {
    std::vector<std::string> arguments;
    for (int i = 2; i < argc; ++i) arguments.push_back(mto::com::toUtf8(argv[i]));
    return mto::testhost::runBenchCommand(arguments);
  }
  // No message box may wait for a click: neither this program's (the bridge's platform in the
  // bridge tests) nor the plug-in DLL's is ever shown.
  std::string problem;
  HMODULE plugin = mto::testhost::loadRegisteredPlugin();
  if (!mto::testhost::hookMessageBox(GetModuleHandleW(nullptr), problem) ||
      (plugin && !mto::testhost::hookMessageBox(plugin, problem))) {
    std::printf("message boxes cannot be intercepted: %s\n0 passed, 1 failed\n", problem.c_str());
    return 1;
  }
  mto::com::ComInitialization apartment;
  if (!apartment.ok()) {
    std::printf("CoInitializeEx failed\n0 passed, 1 failed\n");
    return 1;
  }
  auto& tests = mto::testhost::tests();
  {
    mto::testhost::ClassRegistrations classes;
    mto::testhost::runComObjectTests();
    tests.group("test host set-up");
    tests.run("the registered plug-in's DLL is loaded, its message boxes intercepted", [&] { EXPECT(plugin); });
    tests.run("the collection library is served to CreateObject", [&] { EXPECT(serveCollections(classes)); });
    mto::testhost::runBridgeTests();
    mto::testhost::runPluginTests();
    mto::testhost::runTypeLibraryTests();
    mto::testhost::runSqliteTests();
    mto::testhost::runReplayTests();
  }
  // After the collection library's classes are revoked: the bench serves the same ProgIDs itself.
  mto::testhost::runBenchTests();
  tests.summary();
  return tests.failed() == 0 ? 0 : 1;
}
