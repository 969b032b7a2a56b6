#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "automation/error.h"
#include "sim/components/collections.h"
#include "sim/runtime/host_object.h"
#include "sim/runtime/member_helpers.h"

// What the bill editor's files share: how they read the plug-in's arguments, the stored values of
// cells and the template's definitions. Internal to sim/editor; the editor's users never need it.

namespace mto::sim::editor_detail {

/// The source of the errors the editor raises.
inline constexpr std::string_view kSource = "BillEvent";
/// "Can't assign to read-only property".
inline constexpr int32_t kReadOnlyProperty = 383;

/// The Dictionary a Variant holds, or nullptr for anything else (or no Variant).
std::shared_ptr<Dictionary> asDictionary(const Variant* v);

/// A text entry of a Dictionary; "" when absent or not a text.
std::string textOf(const Dictionary& d, std::string_view entry);

/// A field definition passed back by the plug-in; raises 424 for no object, 13 for another object.
const Dictionary& definitionArg(Args args, size_t i);
/// A required argument as a Long; raises as the conversion does.
int32_t longArg(Args args, size_t i);
/// A required argument as a text; raises as the conversion does.
std::string textArg(Args args, size_t i);

/// Whether a stored value names something: not Empty, Null, "" or a number 0.
bool hasValue(const Variant& v);

/// The text a cell shows for a value: dates in the short-date form, nothing for Null or objects.
std::string displayText(const Variant& v);

/// Whether a definition is a look-up whose value names a record of a source table.
bool isLookUp(const Dictionary& definition);

/// A member handler of a read-only property named `name`: reads with `read`, raises 383 on a put.
template <typename Self, typename Read>
typename MemberTable<Self>::Handler readOnly(std::string name, Read read) {
  return [read, name](Self& self, CallKind kind, Args) -> Variant {
    if (isPut(kind))
      automation::raiseError(kReadOnlyProperty, "Can't assign to read-only property " + name,
                             std::string(kSource));
    return read(self);
  };
}

}  // namespace mto::sim::editor_detail
