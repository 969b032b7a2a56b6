#include "sim/replay/replayer.h"

#include <fmt/format.h>

#include <algorithm>
#include <utility>

#include "automation/thread_state.h"

namespace mto::sim::replay {

using journal::describe;
using journal::objectValue;
using journal::openedEntry;
using journal::passedArg;
using journal::plainValue;

using automation::Arg;
using automation::Args;
using automation::CallKind;
using automation::ObjectPtr;
using automation::Variant;

namespace {
constexpr std::string_view kRecordingStops = "the journal ends here, the recording stops inside it";
}  // namespace

/// What stands in for one journalled host object.
class Replayer::Stand final : public automation::Object {
 public:
  Stand(Replayer& replayer, ObjectId number, std::string type)
      : replayer_(replayer), number_(number), type_(std::move(type)) {}

  ObjectId number() const { return number_; }
  std::string typeName() const override { return type_; }
  Variant invoke(std::string_view member, CallKind kind, Args args) override {
    return replayer_.answer(number_, member, kind, args);
  }
  uint32_t advise(std::shared_ptr<automation::EventSink> sink) override {
    sinks_.emplace_back(nextCookie_, std::move(sink));
    return nextCookie_++;
  }
  void unadvise(uint32_t cookie) override {
    for (auto& [c, sink] : sinks_)
      if (c == cookie) sink.reset();
  }
  /// The nth subscription, null when there is none or it was withdrawn.
  std::shared_ptr<automation::EventSink> sink(uint32_t ordinal) const {
    return ordinal < sinks_.size() ? sinks_[ordinal].second : nullptr;
  }

 private:
  Replayer& replayer_;
  ObjectId number_;
  std::string type_;
  std::vector<std::pair<uint32_t, std::shared_ptr<automation::EventSink>>> sinks_;  // in subscription order
  uint32_t nextCookie_ = 1;
};

/// The base platform, with components from the journal.
class Replayer::ReplayPlatform final : public automation::ForwardingPlatform {
 public:
  explicit ReplayPlatform(Replayer& replayer) : ForwardingPlatform(replayer.base_), replayer_(replayer) {}
  ObjectPtr createObject(std::string_view progId) override { return replayer_.create(progId); }
  /// The locale the journal says the host gave at this point, else the base platform's.
  automation::Locale locale() override {
    const auto& changes = replayer_.journal_.locales;
    auto after = std::upper_bound(changes.begin(), changes.end(), replayer_.cursor_,
                                  [](size_t at, const journal::LocaleChange& c) { return at < c.from; });
    if (after == changes.begin()) return base().locale();
    return std::prev(after)->locale;
  }

 private:
  Replayer& replayer_;
};

FreshThread::FreshThread(automation::Platform& platform)
    : previous_(automation::setThreadPlatform(&platform)) {
  automation::threadState().reset();
}

FreshThread::~FreshThread() {
  automation::threadState().reset();
  automation::setThreadPlatform(previous_);
}

Replayer::Replayer(const Journal& journal, automation::Platform& base)
    : journal_(journal), base_(base), platform_(std::make_unique<ReplayPlatform>(*this)) {}

Replayer::~Replayer() = default;

automation::Platform& Replayer::platform() {
  return *platform_;
}

bool Replayer::replay(automation::Object& plugin, size_t from, size_t to) {
  cursor_ = from;
  while (!divergence_ && cursor_ < to && cursor_ < journal_.entries.size()) {
    const JournalEntry& entry = journal_.entries[cursor_];
    topLevel_ = cursor_;
    if (entry.kind != JournalEntry::Kind::Event && entry.kind != JournalEntry::Kind::Inbound) {
      divergence_ = Divergence{cursor_, describe(journal_, entry), "an event or a call of a plug-in member",
                               describe(journal_, entry)};
      break;
    }
    replayEntry(&plugin, cursor_);
  }
  return !divergence_;
}

void Replayer::replayEntry(automation::Object* plugin, size_t index) {
  const JournalEntry& entry = journal_.entries[index];
  cursor_ = index + 1;
  std::vector<Variant> values(entry.args.size());
  std::vector<Arg> args;
  args.reserve(values.size());
  for (size_t i = 0; i < values.size(); ++i) {
    values[i] = materialize(entry.args[i].in);
    args.push_back(entry.args[i].byRef ? Arg::byRef(values[i]) : Arg(values[i]));
  }
  std::shared_ptr<automation::EventSink> sink;
  if (entry.kind == JournalEntry::Kind::Inbound && !plugin) {
    divergence_ = Divergence{index, describe(journal_, entry), "a host call that is still being answered",
                             describe(journal_, journal_.entries[topLevel_])};
    return;
  }
  if (entry.kind == JournalEntry::Kind::Event) {
    sink = stand(entry.object)->sink(entry.sink);
    if (!sink) {
      divergence_ = Divergence{index, describe(journal_, entry), "the plug-in has no such subscription",
                               describe(journal_, journal_.entries[topLevel_])};
      return;
    }
  }
  ends_.push_back(entry.end);
  std::optional<automation::ErrorInfo> error;
  try {
    if (sink)
      sink->onEvent(entry.name, Args(args));
    else
      (void)plugin->invoke(entry.name, CallKind::Method, Args(args));
  } catch (...) {
    error = automation::errorFromException(std::current_exception());
  }
  ends_.pop_back();
  if (divergence_) return;
  const std::string within = describe(journal_, journal_.entries[topLevel_]);
  if (!entry.finished) {
    // The recording stops inside this entry and the plug-in made no call the journal lacks: where
    // the journal ends is the divergence, in either mode.
    divergence_ =
        Divergence{journal_.entries.size(), fmt::format("the rest of {}: {}", entry.name, kRecordingStops),
                   fmt::format("the plug-in finished {}", entry.name), within};
    return;
  }
  if (check_ == Check::Everything) {
    const auto number = [](const std::optional<automation::ErrorInfo>& e) {
      return e ? fmt::format("error {}", e->number) : std::string("no error");
    };
    if (error.has_value() != entry.error.has_value() || (error && error->number != entry.error->number)) {
      divergence_ = Divergence{index, fmt::format("{} ending with {}", entry.name, number(entry.error)),
                               fmt::format("{} ending with {}", entry.name, number(error)), within};
      return;
    }
    if (cursor_ < entry.end) {
      divergence_ = Divergence{cursor_, describe(journal_, journal_.entries[cursor_]),
                               fmt::format("the plug-in finished {} without it", entry.name), within};
      return;
    }
    for (size_t i = 0; i < values.size(); ++i) {
      if (!entry.args[i].byRef || sameValue(entry.args[i].out, values[i])) continue;
      divergence_ = Divergence{
          index, fmt::format("{} leaving argument {} {}", entry.name, i + 1, describe(entry.args[i].out)),
          fmt::format("{} leaving argument {} {}", entry.name, i + 1, describe(toJournal(values[i]))),
          within};
      return;
    }
  }
  cursor_ = entry.end;
}

void Replayer::setCheck(Check check) {
  check_ = check;
  if (check != Check::AnswersOnly || !answers_.empty()) return;
  answers_.resize(journal_.entries.size());
  for (size_t i = 0; i < journal_.entries.size(); ++i) {
    const JournalEntry& entry = journal_.entries[i];
    if (entry.kind != JournalEntry::Kind::Call) continue;
    bool plain = entry.finished && !entry.error && entry.end == i + 1;
    for (const auto& arg : entry.args) plain = plain && !arg.byRef;
    answers_[i] = Answer{materialize(entry.result), plain};
  }
}

Variant Replayer::answer(ObjectId object, std::string_view member, CallKind kind, Args args) {
  if (divergence_) failDiverged();
  ++answered_;
  const size_t index = cursor_;
  std::string actual;  // what the plug-in asked, as a divergence names it
  if (check_ == Check::AnswersOnly) {
    if (cursor_ >= innermostEnd()) diverge(cursor_, "nothing", std::string(member));
    if (answers_[cursor_].plain) return answers_[cursor_++].result;
    actual = member;
  } else {
    JournalEntry call = openedEntry(JournalEntry::Kind::Call, object, std::string(member), kind);
    for (const Arg& arg : args) call.args.push_back(passedArg(toJournal(arg.value()), arg.isByRef()));
    actual = describe(journal_, call);
    const JournalEntry& recorded = next(JournalEntry::Kind::Call, actual);
    bool same = recorded.object == object && recorded.callKind == kind &&
                automation::equalsIgnoreCase(recorded.name, member) && recorded.args.size() == args.size();
    for (size_t i = 0; same && i < args.size(); ++i)
      same = recorded.args[i].byRef == args[i].isByRef() && sameValue(recorded.args[i].in, args[i].value());
    if (!same) diverge(index, describe(journal_, recorded), actual);
  }
  const JournalEntry& entry = journal_.entries[cursor_++];
  if (cursor_ < entry.end) replayNested(entry.end);
  if (!entry.finished) diverge(index, unanswered(entry), actual);
  for (size_t i = 0; i < args.size() && i < entry.args.size(); ++i)
    if (entry.args[i].byRef && args[i].isByRef()) args[i].assign(materialize(entry.args[i].out));
  if (entry.error) automation::raiseError(*entry.error);
  return materialize(entry.result);
}

void Replayer::replayNested(size_t end) {
  // The host raised these events while it served the call; the plug-in handles them before the
  // call returns to it.
  end = std::min(end, journal_.entries.size());
  while (cursor_ < end && !divergence_) {
    const JournalEntry& nested = journal_.entries[cursor_];
    if (nested.kind != JournalEntry::Kind::Event) diverge(cursor_, describe(journal_, nested), "nothing");
    replayEntry(nullptr, cursor_);
  }
  if (divergence_) failDiverged();
}

ObjectPtr Replayer::create(std::string_view progId) {
  if (divergence_) failDiverged();
  const size_t index = cursor_;
  const JournalEntry& entry = next(JournalEntry::Kind::Create, fmt::format("component \"{}\"", progId));
  if (check_ == Check::Everything && !automation::equalsIgnoreCase(entry.name, progId))
    diverge(index, describe(journal_, entry), fmt::format("component \"{}\"", progId));
  if (!entry.finished) diverge(index, unanswered(entry), fmt::format("component \"{}\"", progId));
  cursor_ = entry.end;
  if (entry.error) automation::raiseError(*entry.error);
  Variant created = materialize(entry.result);
  return created.isObject() ? created.objectValue() : nullptr;
}

std::string Replayer::unanswered(const JournalEntry& entry) const {
  return fmt::format("the answer to {}: {}", describe(journal_, entry), kRecordingStops);
}

size_t Replayer::innermostEnd() const {
  return std::min(ends_.empty() ? journal_.entries.size() : ends_.back(), journal_.entries.size());
}

const JournalEntry& Replayer::next(JournalEntry::Kind kind, const std::string& actual) {
  if (cursor_ >= innermostEnd()) diverge(cursor_, "nothing", actual);
  const JournalEntry& entry = journal_.entries[cursor_];
  if (entry.kind != kind) diverge(cursor_, describe(journal_, entry), actual);
  return entry;
}

void Replayer::diverge(size_t entry, std::string expected, std::string actual) {
  if (!divergence_)
    divergence_ = Divergence{
        entry, std::move(expected), std::move(actual),
        topLevel_ < journal_.entries.size() ? describe(journal_, journal_.entries[topLevel_]) : ""};
  failDiverged();
}

void Replayer::failDiverged() const {
  automation::raiseError(automation::errc::kInvalidCall, "The plug-in parted from the journal being replayed",
                         "Replay");
}

Variant Replayer::materialize(const JournalValue& value) {
  if (!value.isObject) return value.value;
  if (value.object == 0) return Variant(ObjectPtr());
  return Variant(ObjectPtr(stand(value.object)));
}

JournalValue Replayer::toJournal(const Variant& value) const {
  if (!value.isObject()) return plainValue(value);
  const ObjectPtr& object = value.objectValue();
  if (!object) return objectValue(0, "Nothing");
  if (auto* s = dynamic_cast<const Stand*>(object.get())) return objectValue(s->number(), s->typeName());
  return objectValue(0, object->typeName());
}

bool Replayer::sameValue(const JournalValue& journalled, const Variant& actual) const {
  if (!journalled.isObject) return !actual.isObject() && journalled.value == actual;
  JournalValue seen = toJournal(actual);
  return seen.isObject && seen.object == journalled.object && seen.objectType == journalled.objectType;
}

std::shared_ptr<Replayer::Stand> Replayer::stand(ObjectId object) {
  if (stands_.size() < journal_.objectTypes.size()) stands_.resize(journal_.objectTypes.size());
  if (object == 0 || object > stands_.size())
    automation::raiseError(automation::errc::kInvalidCall,
                           fmt::format("The journal has no object #{}", object), "Replay");
  auto& slot = stands_[object - 1];
  if (!slot) slot = std::make_shared<Stand>(*this, object, journal_.typeOf(object));
  return slot;
}

}  // namespace mto::sim::replay
