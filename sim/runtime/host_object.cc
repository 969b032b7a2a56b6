#include "sim/runtime/host_object.h"

#include <algorithm>
#include <mutex>
#include <unordered_map>

#include "automation/convert.h"

namespace mto::sim {

namespace {

/// Member names by number, for the whole process: tables of simulated classes are built once, on
/// whichever thread first needs them.
struct MemberNames {
  std::mutex mutex;
  std::vector<std::string> names;
  std::unordered_map<std::string, size_t> ids;
};
MemberNames& memberNames() {
  static auto* names = new MemberNames;  // never destroyed: tables of static lifetime refer to it
  return *names;
}

thread_local HostState* currentHost = nullptr;

}  // namespace

size_t memberId(std::string_view typeAndMember) {
  auto& table = memberNames();
  std::lock_guard lock(table.mutex);
  auto [it, added] = table.ids.try_emplace(std::string(typeAndMember), table.names.size());
  if (added) table.names.push_back(it->first);
  return it->second;
}

std::string memberName(size_t id) {
  auto& table = memberNames();
  std::lock_guard lock(table.mutex);
  return id < table.names.size() ? table.names[id] : std::string();
}

uint64_t HostCallCounter::total() const {
  uint64_t sum = 0;
  for (uint64_t count : counts_) sum += count;
  return sum;
}

std::map<std::string, uint64_t> HostCallCounter::snapshot() const {
  std::map<std::string, uint64_t> out;
  for (size_t id = 0; id < counts_.size(); ++id)
    if (counts_[id]) out.emplace(memberName(id), counts_[id]);
  return out;
}

std::map<std::string, uint64_t> callsBetween(const std::map<std::string, uint64_t>& before,
                                             const std::map<std::string, uint64_t>& after) {
  std::map<std::string, uint64_t> out;
  for (const auto& [name, count] : after) {
    auto earlier = before.find(name);
    uint64_t made = count - (earlier == before.end() ? 0 : earlier->second);
    if (made) out.emplace(name, made);
  }
  return out;
}

HostState* HostState::current() {
  return currentHost;
}

HostState::Scope::Scope(HostState& state) : previous_(currentHost) {
  currentHost = &state;
}

HostState::Scope::~Scope() {
  currentHost = previous_;
}

namespace {

/// Whether "Type.Member" names this call: keys use the member's registered spelling, calls may spell
/// it in any case.
bool names(std::string_view key, const std::string& typeName, std::string_view member) {
  return key.size() == typeName.size() + 1 + member.size() &&
         key.compare(0, typeName.size(), typeName) == 0 && key[typeName.size()] == '.' &&
         automation::equalsIgnoreCase(key.substr(typeName.size() + 1), member);
}

}  // namespace

void HostFaults::fail(std::string typeAndMember, automation::ErrorInfo error) {
  restore(typeAndMember);
  Script s;
  s.error = std::move(error);
  script(std::move(typeAndMember), std::move(s));
}

void HostFaults::script(std::string typeAndMember, Script script) {
  scripts_.push_back(Entry{std::move(typeAndMember), std::move(script), 0});
}

bool HostFaults::restore(std::string_view typeAndMember) {
  return std::erase_if(scripts_, [&](const Entry& e) { return e.typeAndMember == typeAndMember; }) > 0;
}

const HostFaults::Script* HostFaults::apply(const std::string& typeName, std::string_view member, Args args) {
  const Script* applies = nullptr;
  for (auto& e : scripts_) {
    if (!names(e.typeAndMember, typeName, member)) continue;
    if (e.script.argsMatch && !e.script.argsMatch(args)) continue;
    ++e.seen;
    if (e.script.onlyCall && e.seen != e.script.onlyCall) continue;
    applies = &e.script;
  }
  return applies;
}

Variant HostState::perform(size_t memberId, const std::string& typeName, std::string_view member,
                           CallKind kind, Args args, const std::function<Variant()>& own) {
  const HostFaults::Script* script = faults.apply(typeName, member, args);
  auto journalled = [&](std::optional<int32_t> errorNumber) {
    if (!journal.on()) return;
    HostCallRecord entry{memberId, kind, {}, errorNumber};
    entry.args.reserve(args.size());
    for (const auto& a : args) {
      JournalArg arg{a.value(), {}, a.isByRef()};
      if (a.value().type() == automation::VarType::Object && a.value().objectValue()) {
        arg.objectType = a.value().objectValue()->typeName();
        arg.value = Variant();
      }
      entry.args.push_back(std::move(arg));
    }
    journal.record(std::move(entry));
  };
  Variant result;
  try {
    if (script && script->error) automation::raiseError(*script->error);
    result = script ? script->result : own();
  } catch (...) {
    journalled(automation::errorFromException(std::current_exception()).number);
    throw;
  }
  journalled(std::nullopt);
  return result;
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
