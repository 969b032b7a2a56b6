#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "automation/object.h"
#include "support/instance_state.h"

namespace mto::core {

/// Type names by which `Show` tells a bill editor from a bill list (exact, case-sensitive).
inline constexpr std::string_view kBillTypeName = "BillEvent";
inline constexpr std::string_view kListTypeName = "ListEvents";

/// The creatable class "T8MTOChange.clsMTOChange". Hosts hand it their editor or list through
/// `Show`; from then on the bound object's events drive it. Destroying the last reference is the
/// class termination: the editor binding is released first, then the list binding.
///
/// Late-bound members: "Show" (object), "InsertSepTool" (bar, tool), "RemoveSepTool" (bar, tool),
/// "GetFiledValue" (bill, row, field key) returning text.
class clsMTOChange : public automation::Object {
 public:
  static std::shared_ptr<clsMTOChange> create();
  ~clsMTOChange() override;
  clsMTOChange(const clsMTOChange&) = delete;
  clsMTOChange& operator=(const clsMTOChange&) = delete;

  std::string typeName() const override { return "clsMTOChange"; }
  automation::Variant invoke(std::string_view member, automation::CallKind kind,
                             automation::Args args) override;

  /// Binds a bill editor or a list by its run-time type name; anything else binds nothing.
  void Show(const automation::Variant& oBillInterface);

  const support::InstanceState& state() const { return state_; }

 private:
  clsMTOChange() = default;
  struct Subscription;
  void bind(automation::ObjectPtr& slot, uint32_t& cookie, automation::ObjectPtr next, bool isBill);
  void release(automation::ObjectPtr& slot, uint32_t& cookie) noexcept;

  support::InstanceState state_;
  uint32_t billCookie_ = 0;
  uint32_t listCookie_ = 0;
};

}  // namespace mto::core
