#include "journal/journal.h"

#include <fmt/format.h>

#include <utility>

namespace mto::journal {

JournalValue plainValue(automation::Variant value) {
  JournalValue out;
  out.value = std::move(value);
  return out;
}

JournalValue objectValue(ObjectId object, std::string type) {
  JournalValue out;
  out.isObject = true;
  out.object = object;
  out.objectType = std::move(type);
  return out;
}

JournalArg passedArg(JournalValue in, bool byRef) {
  JournalArg out;
  out.in = std::move(in);
  out.byRef = byRef;
  return out;
}

JournalEntry openedEntry(JournalEntry::Kind kind, ObjectId object, std::string name,
                         automation::CallKind callKind) {
  JournalEntry out;
  out.kind = kind;
  out.object = object;
  out.name = std::move(name);
  out.callKind = callKind;
  return out;
}

bool sameLocale(const automation::Locale& a, const automation::Locale& b) {
  return a.dateSeparator == b.dateSeparator && a.shortDatePattern == b.shortDatePattern &&
         a.timePattern == b.timePattern && a.thousandsSeparator == b.thousandsSeparator &&
         a.decimalSeparator == b.decimalSeparator && a.currencySymbol == b.currencySymbol &&
         a.monthNames == b.monthNames && a.abbreviatedMonthNames == b.abbreviatedMonthNames;
}

const std::string& Journal::typeOf(ObjectId object) const {
  static const std::string nothing = "Nothing";
  if (object == 0 || object > objectTypes.size()) return nothing;
  return objectTypes[object - 1];
}

std::string describe(const JournalValue& value) {
  if (!value.isObject) return automation::describe(value.value);
  if (value.object == 0) return value.objectType;
  return fmt::format("#{} {}", value.object, value.objectType);
}

std::string describe(const Journal& journal, const JournalEntry& entry) {
  std::string args;
  for (const auto& arg : entry.args) {
    if (!args.empty()) args += ", ";
    if (arg.byRef) args += "ByRef ";
    args += describe(arg.in);
  }
  const std::string target = fmt::format("#{} {}", entry.object, journal.typeOf(entry.object));
  switch (entry.kind) {
    case JournalEntry::Kind::Event:
      return fmt::format("event {}.{}({})", target, entry.name, args);
    case JournalEntry::Kind::Inbound:
      return fmt::format("plug-in member {}({})", entry.name, args);
    case JournalEntry::Kind::Create:
      return fmt::format("component \"{}\"", entry.name);
    case JournalEntry::Kind::Call:
      break;
  }
  static constexpr const char* kKinds[] = {"", " get", " let", " set"};
  return fmt::format("call {}.{}{}({})", target, entry.name, kKinds[static_cast<size_t>(entry.callKind)],
                     args);
}

}  // namespace mto::journal
