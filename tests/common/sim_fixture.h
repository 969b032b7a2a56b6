#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "automation/error.h"
#include "automation/object.h"
#include "automation/thread_state.h"
#include "common/error_number.h"
#include "sim/components/sim_host.h"
#include "sim/runtime/host_object.h"

namespace mto::automation {
/// Shows Variants in test failures by subtype and value.
inline void PrintTo(const Variant& v, std::ostream* os) {
  *os << describe(v);
}
}  // namespace mto::automation

namespace mto::testing {

/// Records the events an object raises and lets a test react inside them.
class RecordingSink : public automation::EventSink {
 public:
  struct Event {
    std::string name;
    std::vector<automation::Variant> args;
    std::vector<bool> byRef;
  };
  std::function<void(std::string_view, automation::Args)> react;
  std::vector<Event> events;

  void onEvent(std::string_view event, automation::Args args) override {
    Event e{std::string(event), {}, {}};
    for (auto& a : args) {
      e.args.push_back(a.value());
      e.byRef.push_back(a.isByRef());
    }
    events.push_back(std::move(e));
    if (react) react(event, args);
  }
};

/// A fresh simulated host (in-memory database, demo seed) per test, with its own count of host
/// calls and its own failing members.
class SimTest : public ::testing::Test {
 protected:
  SimTest() : host_(std::make_unique<sim::SimHost>()) {}

  sim::SimHost& host() { return *host_; }
  sim::Environment& env() { return host_->env(); }
  /// Host calls from here on are the ones `calls` and `callsSinceMark` report.
  void startCounting() { mark_ = host_->state().calls.snapshot(); }
  /// Host calls per "Type.Member" since `startCounting` (since the host started, before it).
  std::map<std::string, uint64_t> callsSinceMark() const {
    return sim::callsBetween(mark_, host_->state().calls.snapshot());
  }
  uint64_t calls(const std::string& typeAndMember) const {
    auto all = callsSinceMark();
    auto it = all.find(typeAndMember);
    return it == all.end() ? 0 : it->second;
  }
  /// Makes a host member fail with the given error.
  void failMember(const std::string& typeAndMember, int32_t number = 5, std::string description = "failing") {
    host_->state().faults.fail(typeAndMember,
                               automation::ErrorInfo{number, "SimHost", std::move(description), {}, 0});
  }

 private:
  std::unique_ptr<sim::SimHost> host_;
  std::map<std::string, uint64_t> mark_;
};

}  // namespace mto::testing
