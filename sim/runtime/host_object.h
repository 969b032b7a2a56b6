#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "automation/ascii.h"
#include "automation/error.h"
#include "automation/object.h"
#include "host/events.h"

namespace mto::sim {

using automation::Arg;
using automation::Args;
using automation::CallKind;
using automation::ObjectPtr;
using automation::Variant;

/// The number of a member of a simulated class ("Type.Member", in its registered spelling),
/// given once per process when the class's member table is built; a counter indexes by it.
size_t memberId(std::string_view typeAndMember);
/// The name a member number was given.
std::string memberName(size_t id);

/// Counts of the late-bound calls that one simulated host's objects received, by member. Tests and
/// traces read differences between two snapshots, so nothing is ever reset.
class HostCallCounter {
 public:
  void count(size_t memberId) {
    if (memberId >= counts_.size()) counts_.resize(memberId + 1);
    ++counts_[memberId];
  }
  uint64_t total() const;
  /// Calls per "Type.Member" so far, members without calls left out.
  std::map<std::string, uint64_t> snapshot() const;

 private:
  std::vector<uint64_t> counts_;
};

/// Calls per member between two snapshots of one counter, members without calls left out.
std::map<std::string, uint64_t> callsBetween(const std::map<std::string, uint64_t>& before,
                                             const std::map<std::string, uint64_t>& after);

/// One simulated host's scripted members: members made to fail, or to return a given value instead
/// of running, so that tests and scenarios can exercise the plug-in's failure paths and its handling
/// of odd answers. Members are named "Type.Member": the type exactly, the member in any case.
class HostFaults {
 public:
  /// What a scripted member does on the calls its script applies to.
  struct Script {
    /// Set: the call raises this error. Unset: the call returns `result` without running, so its
    /// by-reference arguments stay as the caller passed them.
    std::optional<automation::ErrorInfo> error;
    Variant result;
    /// 0: every applicable call; n: only the nth applicable call since the script was set.
    uint64_t onlyCall = 0;
    /// Which calls the script applies to by their arguments; empty: every call. The scenario layer
    /// supplies it so that argument patterns have one meaning everywhere.
    std::function<bool(Args)> argsMatch;
  };

  /// Makes a member fail with `error` on every call, replacing its earlier scripts.
  void fail(std::string typeAndMember, automation::ErrorInfo error);
  /// Adds a script to a member; when several apply to one call, the latest added wins.
  void script(std::string typeAndMember, Script script);
  /// Drops every script of a member; false when it had none.
  bool restore(std::string_view typeAndMember);
  bool empty() const { return scripts_.empty(); }
  /// Counts this call against every script of the member and returns the one that applies to it
  /// (owned by this table, valid until it changes), or null when the member runs as usual.
  const Script* apply(const std::string& typeName, std::string_view member, Args args);

 private:
  struct Entry {
    std::string typeAndMember;
    Script script;
    uint64_t seen = 0;  // applicable calls so far
  };
  std::vector<Entry> scripts_;  // in the order added
};

/// One argument of a journalled host call, as the callee left it. An object is kept by its type name
/// only, so that the journal never keeps an object of the plug-in alive.
struct JournalArg {
  Variant value;           // Empty for an object that is not Nothing
  std::string objectType;  // the object's type name; empty for any other value
  bool byRef = false;
};

/// One late-bound call a simulated host object received.
struct HostCallRecord {
  size_t memberId = 0;  // "Type.Member" through memberName
  CallKind kind = CallKind::Method;
  std::vector<JournalArg> args;
  std::optional<int32_t> errorNumber;  // set when the call failed
};

/// The calls of one host in order, with their arguments, recorded only once someone switches it on:
/// the call counter is all that benchmarks pay for. Appending is O(1) (amortised) per call.
class HostCallJournal {
 public:
  void switchOn() { on_ = true; }
  bool on() const { return on_; }
  const std::vector<HostCallRecord>& entries() const { return entries_; }
  void record(HostCallRecord entry) { entries_.push_back(std::move(entry)); }

 private:
  bool on_ = false;
  std::vector<HostCallRecord> entries_;
};

/// What one simulated host keeps about the calls its objects receive. The host that is alive on a
/// thread makes its state current there (one host per thread at a time); objects count and check
/// their calls against the current state, and calls made while no host is alive are neither
/// counted nor made to fail.
struct HostState {
  HostCallCounter calls;
  HostFaults faults;
  HostCallJournal journal;

  /// Whether calls need more than counting: a journal to write or scripted members to consult.
  bool intercepting() const { return journal.on() || !faults.empty(); }
  /// Performs a counted call for which `intercepting()` holds: applies the member's script, runs
  /// `own` (the member's handler) unless the script answers, and journals the call with the
  /// arguments as they came back. Errors reach the caller as they would without the journal.
  Variant perform(size_t memberId, const std::string& typeName, std::string_view member, CallKind kind,
                  Args args, const std::function<Variant()>& own);

  /// The state of the host alive on this thread, or null.
  static HostState* current();

  /// Makes a state current on this thread for its lifetime, then restores the one before.
  class Scope {
   public:
    explicit Scope(HostState& state);
    ~Scope();
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

   private:
    HostState* previous_;
  };
};

/// Whether a Cancel argument came back set; a value that is not a Boolean counts as set, as a host
/// that cannot read it would rather not go on.
bool cancelRequested(const Variant& cancel);

/// Events and the common argument checks of every simulated host object.
class HostObjectBase : public automation::Object {
 public:
  uint32_t advise(std::shared_ptr<automation::EventSink> sink) override;
  void unadvise(uint32_t cookie) override;
  bool hasSinks() const { return !sinks_.empty(); }

  /// Raises an event to every subscribed sink, in subscription order. A sink's error ends the
  /// event and reaches the raiser, as a failing event call reaches a host.
  void raiseEvent(std::string_view event, Args args);
  /// Raises a declared event with argument values held by the caller, each passed by value or by
  /// reference as the declaration says; by-reference ones come back with what the sinks wrote.
  /// Values beyond the declared parameters are passed by value.
  void raise(const host::events::Event& event, std::vector<Variant>& values);
  void raise(std::string_view event, Args args) { raiseEvent(event, args); }

  /// Called after every event this object raises, with the arguments as the sinks left them and the
  /// error that ended the event (null when none); traces use it. The error still reaches the raiser.
  using EventObserver = std::function<void(std::string_view event, Args args, std::exception_ptr error)>;
  void setEventObserver(EventObserver observer) { observer_ = std::move(observer); }
  /// Called before the sinks receive an event.
  void setEventStartObserver(std::function<void(std::string_view event)> observer) {
    startObserver_ = std::move(observer);
  }

  /// Argument i, or Missing when the caller passed fewer.
  static const Variant& arg(Args args, size_t i);
  /// Raises 449 when argument i is absent or Missing.
  static const Variant& requiredArg(Args args, size_t i);

 private:
  std::vector<std::pair<uint32_t, std::shared_ptr<automation::EventSink>>> sinks_;
  uint32_t nextCookie_ = 1;
  EventObserver observer_;
  std::function<void(std::string_view)> startObserver_;
};

/// The member table of one simulated class: names compare without regard to case, every call is
/// counted. Built once per class.
template <typename Self>
class MemberTable {
 public:
  using Handler = std::function<Variant(Self&, CallKind, Args)>;
  struct Entry {
    Handler handler;
    size_t id = 0;  // memberId of "Type.Member"
  };

  explicit MemberTable(std::string typeName) : typeName_(std::move(typeName)) {}

  /// Adds a member; "" names the default member (DISPID_VALUE).
  MemberTable& add(std::string_view name, Handler handler) {
    entries_[std::string(name)] = Entry{std::move(handler), memberId(typeName_ + "." + std::string(name))};
    return *this;
  }

  const Entry* find(std::string_view name) const {
    auto it = entries_.find(name);
    return it == entries_.end() ? nullptr : &it->second;
  }

  const std::string& typeName() const { return typeName_; }

 private:
  std::string typeName_;
  std::unordered_map<std::string, Entry, automation::ascii::HashIgnoreCase,
                     automation::ascii::EqualIgnoreCase>
      entries_;
};

/// Base of simulated host classes: `Self` supplies `static const MemberTable<Self>& members()`.
template <typename Self>
class HostObject : public HostObjectBase {
 public:
  std::string typeName() const override { return Self::members().typeName(); }

  Variant invoke(std::string_view member, CallKind kind, Args args) override {
    const auto* entry = Self::members().find(member);
    if (!entry) {
      automation::raiseError(automation::errc::kMemberNotFound,
                             std::string(automation::standardMessage(automation::errc::kMemberNotFound)) +
                                 " (" + std::string(member) + ")",
                             typeName());
    }
    if (HostState* host = HostState::current()) {
      host->calls.count(entry->id);
      if (host->intercepting())
        return host->perform(entry->id, Self::members().typeName(), member, kind, args,
                             [&] { return entry->handler(static_cast<Self&>(*this), kind, args); });
    }
    return entry->handler(static_cast<Self&>(*this), kind, args);
  }
};

}  // namespace mto::sim
