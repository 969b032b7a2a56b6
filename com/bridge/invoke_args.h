#pragma once

#include <windows.h>
#include <oaidl.h>

#include <vector>

#include "automation/object.h"

namespace mto::com {

/// The arguments of an incoming IDispatch::Invoke (a call on a plug-in object, or an event on a
/// sink) as the runtime's `Args`, in natural order (COM passes them last first). A VT_BYREF
/// argument, of any referenced type, becomes a by-reference `Arg`; after the callee returns,
/// `writeBack` stores what it assigned into the caller's storage.
class InvokeArguments {
 public:
  explicit InvokeArguments(const DISPPARAMS& params);
  InvokeArguments(const InvokeArguments&) = delete;
  InvokeArguments& operator=(const InvokeArguments&) = delete;

  automation::Args args() { return automation::Args(args_); }
  /// Stores the by-reference arguments the callee changed; unchanged ones are left untouched.
  void writeBack();

 private:
  struct ByRef {
    size_t index;
    VARIANT* target;
    automation::Variant original;
  };
  std::vector<automation::Variant> values_;
  std::vector<automation::Arg> args_;
  std::vector<ByRef> byRefs_;
};

}  // namespace mto::com
