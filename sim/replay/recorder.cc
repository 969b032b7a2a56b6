#include "sim/replay/recorder.h"

#include <optional>
#include <utility>

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

/// A host object as the plug-in sees it.
class Recorder::Proxy final : public automation::Object {
 public:
  Proxy(Recorder& recorder, ObjectPtr host, ObjectId number)
      : recorder_(recorder), host_(std::move(host)), number_(number), type_(host_->typeName()) {}

  const ObjectPtr& host() const { return host_; }
  ObjectId number() const { return number_; }
  std::string typeName() const override { return type_; }

  Variant invoke(std::string_view member, CallKind kind, Args args) override {
    JournalEntry opened = openedEntry(JournalEntry::Kind::Call, number_, std::string(member), kind);
    // By-reference arguments go to the host as its own values, in slots that outlive the call, and
    // come back wrapped.
    std::vector<Variant> slots(args.size());
    std::vector<Arg> forwarded;
    forwarded.reserve(args.size());
    for (size_t i = 0; i < args.size(); ++i) {
      opened.args.push_back(passedArg(recorder_.toJournal(args[i].value()), args[i].isByRef()));
      if (args[i].isByRef()) {
        slots[i] = recorder_.toHost(args[i].value());
        forwarded.push_back(Arg::byRef(slots[i]));
      } else {
        forwarded.emplace_back(recorder_.toHost(args[i].value()));
      }
    }
    const size_t index = recorder_.open(std::move(opened));
    Variant result;
    try {
      result = recorder_.toPlugin(host_->invoke(member, kind, Args(forwarded)));
    } catch (...) {
      recorder_.journal_.entries[index].error = automation::errorFromException(std::current_exception());
      writeBack(index, args, slots);
      recorder_.close(index);
      throw;
    }
    recorder_.journal_.entries[index].result = recorder_.toJournal(result);
    writeBack(index, args, slots);
    recorder_.close(index);
    return result;
  }

  uint32_t advise(std::shared_ptr<automation::EventSink> sink) override;
  void unadvise(uint32_t cookie) override { host_->unadvise(cookie); }

 private:
  void writeBack(size_t index, Args args, std::vector<Variant>& slots) {
    for (size_t i = 0; i < args.size(); ++i) {
      if (!args[i].isByRef()) continue;
      args[i].assign(recorder_.toPlugin(slots[i]));
      recorder_.journal_.entries[index].args[i].out = recorder_.toJournal(args[i].value());
    }
  }

  Recorder& recorder_;
  ObjectPtr host_;
  ObjectId number_;
  std::string type_;
  uint32_t subscriptions_ = 0;
};

/// A subscriber of the plug-in as the host sees it: journals each event it is given.
class Recorder::Sink final : public automation::EventSink {
 public:
  Sink(Recorder& recorder, std::shared_ptr<automation::EventSink> plugin, ObjectId raiser, uint32_t ordinal)
      : recorder_(recorder), plugin_(std::move(plugin)), raiser_(raiser), ordinal_(ordinal) {}

  void onEvent(std::string_view event, Args args) override {
    JournalEntry opened = openedEntry(JournalEntry::Kind::Event, raiser_, std::string(event));
    opened.sink = ordinal_;
    std::vector<Variant> values(args.size());
    std::vector<Arg> forwarded;
    forwarded.reserve(args.size());
    for (size_t i = 0; i < args.size(); ++i) {
      values[i] = recorder_.toPlugin(args[i].value());
      opened.args.push_back(passedArg(recorder_.toJournal(values[i]), args[i].isByRef()));
      forwarded.push_back(args[i].isByRef() ? Arg::byRef(values[i]) : Arg(values[i]));
    }
    const size_t index = recorder_.open(std::move(opened));
    auto finish = [&] {
      for (size_t i = 0; i < args.size(); ++i) {
        if (!args[i].isByRef()) continue;
        recorder_.journal_.entries[index].args[i].out = recorder_.toJournal(values[i]);
        args[i].assign(recorder_.toHost(values[i]));
      }
      recorder_.close(index);
    };
    try {
      plugin_->onEvent(event, Args(forwarded));
    } catch (...) {
      recorder_.journal_.entries[index].error = automation::errorFromException(std::current_exception());
      finish();
      throw;
    }
    finish();
  }

 private:
  Recorder& recorder_;
  std::shared_ptr<automation::EventSink> plugin_;
  ObjectId raiser_;
  uint32_t ordinal_;
};

uint32_t Recorder::Proxy::advise(std::shared_ptr<automation::EventSink> sink) {
  return host_->advise(std::make_shared<Sink>(recorder_, std::move(sink), number_, subscriptions_++));
}

/// The host's platform, with the components the plug-in creates journalled and wrapped.
class Recorder::RecordingPlatform final : public automation::Platform {
  std::optional<automation::Locale> last_;  // the locale journalled last

 public:
  explicit RecordingPlatform(Recorder& recorder) : recorder_(recorder) {}

  ObjectPtr createObject(std::string_view progId) override {
    const size_t index = recorder_.open(openedEntry(JournalEntry::Kind::Create, 0, std::string(progId)));
    ObjectPtr created;
    try {
      created = recorder_.host_.createObject(progId);
    } catch (...) {
      recorder_.journal_.entries[index].error = automation::errorFromException(std::current_exception());
      recorder_.close(index);
      throw;
    }
    ObjectPtr wrapped = recorder_.wrap(created);
    recorder_.journal_.entries[index].result = recorder_.toJournal(Variant(wrapped));
    recorder_.close(index);
    return wrapped;
  }
  uint32_t processId() override { return recorder_.host_.processId(); }
  automation::Locale locale() override {
    automation::Locale given = recorder_.host_.locale();
    if (!last_ || !journal::sameLocale(*last_, given)) {
      // The first locale the plug-in reads, and each change after it, from the next entry on.
      last_ = given;
      recorder_.journal_.locales.push_back(journal::LocaleChange{recorder_.journal_.entries.size(), given});
      if (recorder_.writer_) recorder_.writer_->locale(given);
    }
    return given;
  }
  int32_t messageBox(std::string_view text, std::string_view title, int32_t style) override {
    return recorder_.host_.messageBox(text, title, style);
  }
  automation::Date now() override { return recorder_.host_.now(); }

 private:
  Recorder& recorder_;
};

Recorder::Recorder(automation::Platform& host, journal::Writer* writer)
    : host_(host), writer_(writer), platform_(std::make_unique<RecordingPlatform>(*this)) {}

Recorder::~Recorder() = default;

automation::Platform& Recorder::platform() {
  return *platform_;
}

ObjectPtr Recorder::wrap(const ObjectPtr& hostObject) {
  if (!hostObject) return nullptr;
  if (dynamic_cast<const Proxy*>(hostObject.get())) return hostObject;
  if (auto it = numbers_.find(hostObject.get()); it != numbers_.end()) return proxies_[it->second - 1];
  const auto number = static_cast<ObjectId>(proxies_.size() + 1);
  auto proxy = std::make_shared<Proxy>(*this, hostObject, number);
  proxies_.push_back(proxy);
  numbers_.emplace(hostObject.get(), number);
  journal_.objectTypes.push_back(proxy->typeName());
  return proxy;
}

Variant Recorder::callPlugin(automation::Object& plugin, std::string_view member, Args args) {
  JournalEntry opened = openedEntry(JournalEntry::Kind::Inbound, 0, std::string(member));
  std::vector<Variant> values(args.size());
  std::vector<Arg> forwarded;
  forwarded.reserve(args.size());
  for (size_t i = 0; i < args.size(); ++i) {
    values[i] = toPlugin(args[i].value());
    opened.args.push_back(passedArg(toJournal(values[i]), args[i].isByRef()));
    forwarded.push_back(args[i].isByRef() ? Arg::byRef(values[i]) : Arg(values[i]));
  }
  const size_t index = open(std::move(opened));
  auto finish = [&] {
    for (size_t i = 0; i < args.size(); ++i) {
      if (!args[i].isByRef()) continue;
      journal_.entries[index].args[i].out = toJournal(values[i]);
      args[i].assign(toHost(values[i]));
    }
    close(index);
  };
  Variant result;
  try {
    result = plugin.invoke(member, CallKind::Method, Args(forwarded));
  } catch (...) {
    journal_.entries[index].error = automation::errorFromException(std::current_exception());
    finish();
    throw;
  }
  journal_.entries[index].result = toJournal(result);
  finish();
  return toHost(result);
}

Variant Recorder::callPlugin(automation::Object& plugin, std::string_view member, std::vector<Variant> args) {
  std::vector<Arg> passed(args.begin(), args.end());
  return callPlugin(plugin, member, Args(passed));
}

JournalValue Recorder::toJournal(const Variant& pluginSide) const {
  if (!pluginSide.isObject()) return plainValue(pluginSide);
  const ObjectPtr& object = pluginSide.objectValue();
  if (!object) return objectValue(0, "Nothing");
  if (auto* proxy = dynamic_cast<const Proxy*>(object.get()))
    return objectValue(proxy->number(), proxy->typeName());
  return objectValue(0, object->typeName());
}

Variant Recorder::toHost(const Variant& pluginSide) const {
  if (!pluginSide.isObject()) return pluginSide;
  if (auto* proxy = dynamic_cast<const Proxy*>(pluginSide.objectValue().get())) return Variant(proxy->host());
  return pluginSide;
}

Variant Recorder::toPlugin(const Variant& hostSide) {
  if (!hostSide.isObject() || !hostSide.objectValue()) return hostSide;
  return Variant(wrap(hostSide.objectValue()));
}

size_t Recorder::open(JournalEntry entry) {
  if (writer_) writer_->begin(entry, journal_.typeOf(entry.object));
  journal_.entries.push_back(std::move(entry));
  return journal_.entries.size() - 1;
}

void Recorder::close(size_t index) {
  journal_.entries[index].end = journal_.entries.size();
  if (writer_) writer_->end(index, journal_.entries[index]);
}

}  // namespace mto::sim::replay
