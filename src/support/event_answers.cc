#include "support/event_answers.h"

#include <map>
#include <optional>
#include <string>

#include "automation/thread_state.h"
#include "host/contract.h"

namespace mto::support {

using automation::ObjectPtr;
using automation::Variant;

namespace {

struct EventAnswers {
  int depth = 0;
  const automation::Object* bill = nullptr;  // the bill the answers are of
  std::map<std::string, Variant, std::less<>> definitions;
  std::optional<Variant> map;
  std::optional<Variant> billControl;
  std::optional<Variant> menuBar;

  void forget() {
    bill = nullptr;
    definitions.clear();
    map.reset();
    billControl.reset();
    menuBar.reset();
  }
};

EventAnswers& answers() {
  return automation::threadState().module<EventAnswers>();
}

/// The answers kept for this bill in the current event, or null when none may be kept.
EventAnswers* keptFor(const ObjectPtr& bill) {
  EventAnswers& kept = answers();
  if (kept.depth == 0 || !bill) return nullptr;
  if (!kept.bill) kept.bill = bill.get();
  return kept.bill == bill.get() ? &kept : nullptr;
}

/// The kept answer in `slot`, or the host's, kept when it came.
template <typename Ask>
Variant once(std::optional<Variant>& slot, Ask&& ask) {
  if (!slot) slot = ask();
  return *slot;
}

}  // namespace

EventScope::EventScope() noexcept {
  ++answers().depth;
}

EventScope::~EventScope() {
  EventAnswers& kept = answers();
  if (--kept.depth == 0) kept.forget();
}

Variant FieldInfoByKey(const ObjectPtr& bill, std::string_view key) {
  auto ask = [&] { return automation::call(bill, "GetFieldInfoByKey", key, "", int32_t{0}); };
  EventAnswers* kept = keptFor(bill);
  if (!kept) return ask();
  if (auto it = kept->definitions.find(key); it != kept->definitions.end()) return it->second;
  Variant definition = ask();
  kept->definitions.emplace(std::string(key), definition);
  return definition;
}

Variant TemplateMap(const ObjectPtr& bill) {
  auto ask = [&] { return automation::call(bill, "TableInfo", "Map"); };
  EventAnswers* kept = keptFor(bill);
  return kept ? once(kept->map, ask) : ask();
}

Variant BillControl(const ObjectPtr& bill) {
  auto ask = [&] { return automation::get(bill, "BillCtl"); };
  EventAnswers* kept = keptFor(bill);
  return kept ? once(kept->billControl, ask) : ask();
}

Variant BillMenuBar(const ObjectPtr& bill) {
  auto ask = [&] { return automation::get(bill, host::member::kMenuBar); };
  EventAnswers* kept = keptFor(bill);
  return kept ? once(kept->menuBar, ask) : ask();
}

}  // namespace mto::support
