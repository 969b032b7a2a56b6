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

/// Counts of the late-bound calls that simulated host objects received, by "Type.Member". The
/// counters live for the process; `reset` zeroes them.
class HostCallCounter {
 public:
  static HostCallCounter& instance();
  /// A stable counter for a member; simulated classes take theirs once, when their tables are built.
  uint64_t* counterFor(const std::string& typeAndMember);
  void reset();
  uint64_t total() const;
  /// Calls per member since the last reset, members without calls left out.
  std::map<std::string, uint64_t> snapshot() const;

 private:
  std::map<std::string, uint64_t> counters_;
};

/// Host members made to fail on purpose ("Type.Member" -> the error they raise), so that tests and
/// scenarios can exercise the plug-in's failure paths. Checked on every simulated call.
class HostFaults {
 public:
  static HostFaults& instance();
  void fail(std::string typeAndMember, automation::ErrorInfo error) {
    faults_[std::move(typeAndMember)] = std::move(error);
  }
  void clear() { faults_.clear(); }
  /// Raises the configured error of a member, if any.
  void check(const std::string& typeName, std::string_view member) const;

 private:
  std::map<std::string, automation::ErrorInfo, std::less<>> faults_;
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
    uint64_t* counter = nullptr;
  };

  explicit MemberTable(std::string typeName) : typeName_(std::move(typeName)) {}

  /// Adds a member; "" names the default member (DISPID_VALUE).
  MemberTable& add(std::string_view name, Handler handler) {
    entries_[std::string(name)] = Entry{
        std::move(handler), HostCallCounter::instance().counterFor(typeName_ + "." + std::string(name))};
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
    ++*entry->counter;
    HostFaults::instance().check(Self::members().typeName(), member);
    return entry->handler(static_cast<Self&>(*this), kind, args);
  }
};

}  // namespace mto::sim
