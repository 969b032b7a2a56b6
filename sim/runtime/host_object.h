#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
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

/// One simulated host's members made to fail on purpose ("Type.Member" -> the error they raise),
/// so that tests and scenarios can exercise the plug-in's failure paths. Checked on every call.
class HostFaults {
 public:
  void fail(std::string typeAndMember, automation::ErrorInfo error) {
    faults_[std::move(typeAndMember)] = std::move(error);
  }
  /// Raises the configured error of a member, if any.
  void check(const std::string& typeName, std::string_view member) const;

 private:
  std::map<std::string, automation::ErrorInfo, std::less<>> faults_;
};

/// What one simulated host keeps about the calls its objects receive. The host that is alive on a
/// thread makes its state current there (one host per thread at a time); objects count and check
/// their calls against the current state, and calls made while no host is alive are neither
/// counted nor made to fail.
struct HostState {
  HostCallCounter calls;
  HostFaults faults;

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
      host->faults.check(Self::members().typeName(), member);
    }
    return entry->handler(static_cast<Self&>(*this), kind, args);
  }
};

}  // namespace mto::sim
