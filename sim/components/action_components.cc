#include "sim/components/action_components.h"

#include <memory>

#include "automation/convert.h"
#include "host/contract.h"
#include "sim/components/collections.h"
#include "sim/runtime/host_object.h"
#include "sim/runtime/member_helpers.h"

namespace mto::sim {

namespace {

class StockStatusWindow : public HostObject<StockStatusWindow> {
 public:
  explicit StockStatusWindow(Environment& env) : env_(env) {}
  static const MemberTable<StockStatusWindow>& members() {
    static const MemberTable<StockStatusWindow> table = [] {
      MemberTable<StockStatusWindow> t("SSFace");
      t.add("ShowByBill", [](StockStatusWindow& self, CallKind, Args args) -> Variant {
        self.env_.hostActions.push_back({std::string(host::progid::kStockStatus),
                                         "ShowByBill",
                                         automation::toText(requiredArg(args, 0)),
                                         {}});
        return {};
      });
      t.add("Show", [](StockStatusWindow& self, CallKind, Args) -> Variant {
        self.env_.hostActions.push_back({std::string(host::progid::kStockStatus), "Show", "", {}});
        return {};
      });
      return t;
    }();
    return table;
  }

 private:
  Environment& env_;
};

class ActionRunner : public HostObject<ActionRunner> {
 public:
  ActionRunner(Environment& env, std::string progId) : env_(env), progId_(std::move(progId)) {}
  static const MemberTable<ActionRunner>& members() {
    static const MemberTable<ActionRunner> table = [] {
      MemberTable<ActionRunner> t("clsDoAction");
      t.add("SetInterface", [](ActionRunner& self, CallKind, Args args) -> Variant {
        self.interface_ = requiredArg(args, 0);
        return {};
      });
      t.add("DataSrv", [](ActionRunner& self, CallKind kind, Args args) -> Variant {
        if (isPut(kind)) {
          self.dataSrv_ = putValue(args);
          return {};
        }
        return self.dataSrv_;
      });
      t.add("DoAction", [](ActionRunner& self, CallKind, Args args) -> Variant {
        HostActionRecord record{self.progId_, "DoAction", automation::toText(requiredArg(args, 0)), {}};
        const Variant& parameters = requiredArg(args, 1);
        if (auto dict = parameters.isObject()
                            ? std::dynamic_pointer_cast<Dictionary>(parameters.objectValue())
                            : nullptr)
          for (const auto& [key, value] : dict->entries()) {
            record.parameterKeys.push_back(key);
            record.parameterValues.push_back(value);
          }
        record.interfaceSet = self.interface_.isObject() && self.interface_.objectValue();
        record.dataSrvSet = self.dataSrv_.isObject() && self.dataSrv_.objectValue();
        self.env_.hostActions.push_back(std::move(record));
        return {};
      });
      return t;
    }();
    return table;
  }

 private:
  Environment& env_;
  std::string progId_;
  Variant interface_;
  Variant dataSrv_;
};

}  // namespace

void registerActionComponents(automation::RegistryPlatform& platform, Environment& env) {
  platform.registerFactory(std::string(host::progid::kStockStatus),
                           [&env] { return std::make_shared<StockStatusWindow>(env); });
  for (std::string_view progId : {host::progid::kBatchAction, host::progid::kStockQtyAction}) {
    std::string id(progId);
    platform.registerFactory(id, [&env, id] { return std::make_shared<ActionRunner>(env, id); });
  }
}

}  // namespace mto::sim
