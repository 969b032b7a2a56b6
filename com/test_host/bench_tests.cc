// The bench on a bill of a few rows: its figures mean something only if both paths ran every event
// the same way, which the host calls tell: the plug-in's logic is the same on both paths, so a
// difference means that one path lost an event, an argument or a component on the way.

#include <fmt/format.h>

#include "test_host/bench.h"
#include "test_host/check.h"
#include "test_host/suites.h"

namespace mto::testhost {

void runBenchTests() {
  auto& t = tests();
  t.group("the bench");

  t.run("on a bill of 5 rows every event runs on both paths and makes the same host calls", [&] {
    std::string problem;
    std::vector<EventFigures> results = runBench({.rows = 5, .iterations = 1, .drawList = true}, problem);
    t.expectEq(problem, "", "the bench starts");
    EXPECT(results.size() == 6);
    for (const EventFigures& e : results) {
      t.expectEq(e.inProcess.problem, "", e.event + " in process");
      t.expectEq(e.throughCom.problem, "", e.event + " through COM");
      EXPECT(e.inProcess.iterations == 1 && e.throughCom.iterations == 1);
      t.expectEq(fmt::format("{}", e.throughCom.hostCalls), fmt::format("{}", e.inProcess.hostCalls),
                 e.event + ": host calls through COM and in process");
      EXPECT(e.inProcess.hostCalls > 0);
    }
  });
}

}  // namespace mto::testhost
