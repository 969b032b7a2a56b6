#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "automation/error.h"
#include "automation/thread_state.h"
#include "sim/host_object.h"
#include "sim/sim_host.h"

namespace mto::testing {

/// A fresh simulated host (in-memory database, demo seed) per test, host calls counted from zero.
class SimTest : public ::testing::Test {
 protected:
  SimTest() : host_(std::make_unique<sim::SimHost>()) { sim::HostCallCounter::instance().reset(); }

  sim::SimHost& host() { return *host_; }
  sim::Environment& env() { return host_->env(); }
  uint64_t calls(const std::string& typeAndMember) const {
    auto all = sim::HostCallCounter::instance().snapshot();
    auto it = all.find(typeAndMember);
    return it == all.end() ? 0 : it->second;
  }
  /// Makes a host member fail with the given error.
  void failMember(const std::string& typeAndMember, int32_t number = 5, std::string description = "failing") {
    sim::HostFaults::instance().fail(typeAndMember,
                                     automation::ErrorInfo{number, "SimHost", std::move(description), {}, 0});
  }

 private:
  std::unique_ptr<sim::SimHost> host_;
};

}  // namespace mto::testing
