#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "automation/ascii.h"
#include "automation/variant.h"

namespace mto::automation {

/// How a member is invoked. A plain read (`obj.Name`) is a property get; hosts treat method and
/// property get alike for members without arguments, as automation servers do.
enum class CallKind : uint8_t { Method, PropertyGet, PropertyPut, PropertyPutRef };

/// One argument of a late-bound call: a value, a reference to the caller's Variant (written back
/// when the callee assigns it), or an optional argument left out.
class Arg {
 public:
  Arg() : own_(Variant::missing()) {}
  template <typename T>
  requires std::is_constructible_v<Variant, T&&> Arg(T&& value) : own_(std::forward<T>(value)) {}

  static Arg byRef(Variant& target) {
    Arg a;
    a.ref_ = &target;
    return a;
  }
  static Arg missing() { return Arg(); }

  bool isByRef() const { return ref_ != nullptr; }
  bool isMissing() const { return value().isMissing(); }
  const Variant& value() const { return ref_ ? *ref_ : own_; }
  /// The callee's way to assign a by-reference argument; a by-value argument takes the write locally.
  void assign(Variant v) { (ref_ ? *ref_ : own_) = std::move(v); }

 private:
  Variant own_;
  Variant* ref_ = nullptr;
};

using Args = std::span<Arg>;

/// Receives the events of one object: the event's name and its arguments, by-reference ones
/// (Cancel) written back to the raiser.
class EventSink {
 public:
  virtual ~EventSink() = default;
  virtual void onEvent(std::string_view event, Args args) = 0;
};

/// The late-bound interface every host object and every plug-in object offers.
class Object : public std::enable_shared_from_this<Object> {
 public:
  virtual ~Object() = default;

  /// The run-time type name (the class name in the object's type information).
  virtual std::string typeName() const = 0;

  /// Invokes a member by name. Member names compare without regard to case. A missing member
  /// raises error 438.
  virtual Variant invoke(std::string_view member, CallKind kind, Args args) = 0;

  /// Subscribes a sink to this object's events; returns a cookie for `unadvise`. Objects without
  /// events raise error 445.
  virtual uint32_t advise(std::shared_ptr<EventSink> sink);
  virtual void unadvise(uint32_t cookie);
};

/// Argument for a by-reference parameter: `call(o, "GetQty", byRef(qty))`.
inline Arg byRef(Variant& target) {
  return Arg::byRef(target);
}

namespace detail {
const ObjectPtr& requireObject(const ObjectPtr& target);
const ObjectPtr& requireObject(const Variant& target);
}  // namespace detail

/// Calls a method (or reads a property) on a Variant holding an object or on an object pointer.
/// Nothing raises error 91.
template <typename Target, typename... A>
Variant call(const Target& target, std::string_view member, A&&... args) {
  const ObjectPtr& obj = detail::requireObject(target);
  Arg list[] = {Arg(std::forward<A>(args))..., Arg()};
  return obj->invoke(member, CallKind::Method, Args(list, sizeof...(A)));
}

template <typename Target, typename... A>
Variant get(const Target& target, std::string_view member, A&&... args) {
  const ObjectPtr& obj = detail::requireObject(target);
  Arg list[] = {Arg(std::forward<A>(args))..., Arg()};
  return obj->invoke(member, CallKind::PropertyGet, Args(list, sizeof...(A)));
}

/// Property put: the value comes last, after any index arguments.
template <typename Target, typename... A>
void put(const Target& target, std::string_view member, A&&... argsThenValue) {
  static_assert(sizeof...(A) >= 1, "put needs a value");
  const ObjectPtr& obj = detail::requireObject(target);
  Arg list[] = {Arg(std::forward<A>(argsThenValue))...};
  obj->invoke(member, CallKind::PropertyPut, Args(list, sizeof...(A)));
}

template <typename Target, typename... A>
void putRef(const Target& target, std::string_view member, A&&... argsThenValue) {
  static_assert(sizeof...(A) >= 1, "putRef needs a value");
  const ObjectPtr& obj = detail::requireObject(target);
  Arg list[] = {Arg(std::forward<A>(argsThenValue))...};
  obj->invoke(member, CallKind::PropertyPutRef, Args(list, sizeof...(A)));
}

/// The run-time type name of an object value; "Nothing" for a null object, else the subtype name.
std::string typeNameOf(const Variant& v);

/// ASCII case-insensitive comparison, as automation member names and login keys compare.
using ascii::equalsIgnoreCase;

}  // namespace mto::automation
