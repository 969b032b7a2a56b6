#include "sim/runtime/host_object.h"

#include <algorithm>

#include "automation/convert.h"

namespace mto::sim {

HostCallCounter& HostCallCounter::instance() {
  static HostCallCounter counter;
  return counter;
}

uint64_t* HostCallCounter::counterFor(const std::string& typeAndMember) {
  return &counters_[typeAndMember];
}

void HostCallCounter::reset() {
  for (auto& [name, count] : counters_) count = 0;
}

uint64_t HostCallCounter::total() const {
  uint64_t sum = 0;
  for (const auto& [name, count] : counters_) sum += count;
  return sum;
}

std::map<std::string, uint64_t> HostCallCounter::snapshot() const {
  std::map<std::string, uint64_t> out;
  for (const auto& [name, count] : counters_)
    if (count) out.emplace(name, count);
  return out;
}

HostFaults& HostFaults::instance() {
  static HostFaults faults;
  return faults;
}

void HostFaults::check(const std::string& typeName, std::string_view member) const {
  if (faults_.empty()) return;
  for (const auto& [key, error] : faults_) {
    // Keys use the member's registered spelling; calls may spell it in any case.
    if (key.size() == typeName.size() + 1 + member.size() && key.compare(0, typeName.size(), typeName) == 0 &&
        key[typeName.size()] == '.' &&
        automation::equalsIgnoreCase(std::string_view(key).substr(typeName.size() + 1), member))
      automation::raiseError(error);
  }
}

uint32_t HostObjectBase::advise(std::shared_ptr<automation::EventSink> sink) {
  if (!sink) automation::raiseError(automation::errc::kInvalidCall, {}, typeName());
  uint32_t cookie = nextCookie_++;
  sinks_.emplace_back(cookie, std::move(sink));
  return cookie;
}

void HostObjectBase::unadvise(uint32_t cookie) {
  auto it = std::find_if(sinks_.begin(), sinks_.end(), [&](const auto& s) { return s.first == cookie; });
  if (it == sinks_.end()) automation::raiseError(automation::errc::kInvalidCall, {}, typeName());
  sinks_.erase(it);
}

void HostObjectBase::raiseEvent(std::string_view event, Args args) {
  // A handler may unadvise (a new Show, termination) while the event is being delivered.
  auto receivers = sinks_;
  if (startObserver_) startObserver_(event);
  try {
    for (auto& [cookie, sink] : receivers) sink->onEvent(event, args);
  } catch (...) {
    if (observer_) observer_(event, args, std::current_exception());
    throw;
  }
  if (observer_) observer_(event, args, nullptr);
}

bool cancelRequested(const Variant& cancel) {
  try {
    return automation::toBoolean(cancel);
  } catch (const automation::AutomationError&) {
    return true;
  }
}

void HostObjectBase::raise(const host::events::Event& event, std::vector<Variant>& values) {
  std::vector<Arg> list;
  list.reserve(values.size());
  for (size_t i = 0; i < values.size(); ++i) {
    const bool byRef = i < event.params.size() && event.params[i].byRef;
    list.push_back(byRef ? Arg::byRef(values[i]) : Arg(values[i]));
  }
  raiseEvent(event.name, Args(list));
}

const Variant& HostObjectBase::arg(Args args, size_t i) {
  static const Variant missing = Variant::missing();
  return i < args.size() ? args[i].value() : missing;
}

const Variant& HostObjectBase::requiredArg(Args args, size_t i) {
  const Variant& v = arg(args, i);
  if (v.isMissing()) automation::raiseError(automation::errc::kArgumentNotOptional);
  return v;
}

}  // namespace mto::sim
