#pragma once

#include <cstdint>
#include <limits>
#include <string>

#include "automation/error.h"
#include "automation/object.h"

namespace mto::testing {

/// A host Vector whose one element sits at the last index of the 32-bit range (both bounds are
/// that index, as a host's collection may report them). Any other index is out of range, so a loop
/// whose counter wraps past the top fails on its next read instead of running for hours.
class TopOfRangeVector : public automation::Object {
 public:
  static constexpr int32_t kIndex = std::numeric_limits<int32_t>::max();

  explicit TopOfRangeVector(automation::Variant element) : element_(std::move(element)) {}

  std::string typeName() const override { return "Vector"; }

  automation::Variant invoke(std::string_view member, automation::CallKind, automation::Args args) override {
    if (member == "UBound" || member == "LBound") return kIndex;
    if (member == "Size" || member == "Count") return int32_t{1};
    if (member.empty() || member == "Item") {
      ++reads;
      if (args.size() == 1 && args[0].value() == automation::Variant(kIndex)) return element_;
      automation::raiseError(automation::errc::kSubscriptOutOfRange, {}, "Vector");
    }
    automation::raiseError(automation::errc::kMemberNotFound, {}, "Vector");
  }

  /// Element reads so far, the failing ones included.
  int reads = 0;

 private:
  automation::Variant element_;
};

}  // namespace mto::testing
