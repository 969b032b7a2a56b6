#pragma once

#include <string_view>

#include "automation/object.h"

namespace mto::support {

// Answers of the bill editor that cannot change while the plug-in handles one event: the field
// definitions of its template, the template's map, its grid control and its menu bar. Within an
// event each is asked of the host once and then handed out again; outside an event (a member the
// host calls directly) every request goes to the host. An answer is kept only when the call
// succeeded, and only for the first bill asked in the event.

/// Marks the handling of one event on this thread, for its lifetime. Scopes nest (an event the host
/// raises during a call of the plug-in's); what was kept is dropped when the outermost one ends.
class EventScope {
 public:
  EventScope() noexcept;
  ~EventScope();
  EventScope(const EventScope&) = delete;
  EventScope& operator=(const EventScope&) = delete;
};

/// The bill's `GetFieldInfoByKey(key, "", 0)`: the definition of a field by its key (as spelt).
/// Raises what the host raises.
automation::Variant FieldInfoByKey(const automation::ObjectPtr& bill, std::string_view key);
/// The bill's `TableInfo("Map")`: the template's map of field keys. Raises.
automation::Variant TemplateMap(const automation::ObjectPtr& bill);
/// The bill's grid control, `BillCtl`. Raises.
automation::Variant BillControl(const automation::ObjectPtr& bill);
/// The bill's menu bar. Raises.
automation::Variant BillMenuBar(const automation::ObjectPtr& bill);

}  // namespace mto::support
