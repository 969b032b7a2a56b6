#include "bridge/invoke_args.h"

#include "bridge/variant_convert.h"

namespace mto::com {

InvokeArguments::InvokeArguments(const DISPPARAMS& params) {
  size_t count = params.cArgs;
  values_.reserve(count);  // by-reference Args point into values_: no reallocation after this
  args_.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    VARIANT& source = params.rgvarg[count - 1 - i];
    values_.push_back(fromVariant(source));
    if (source.vt & VT_BYREF) {
      args_.push_back(automation::Arg::byRef(values_.back()));
      byRefs_.push_back({i, &source, values_.back()});
    } else {
      args_.emplace_back(values_.back());
    }
  }
}

void InvokeArguments::writeBack() {
  for (const ByRef& ref : byRefs_) {
    const automation::Variant& now = values_[ref.index];
    if (now == ref.original) continue;
    storeByRef(*ref.target, now);
  }
}

}  // namespace mto::com
