#include "journal/recorder.h"

#include <functional>
#include <optional>
#include <utility>

namespace mto::journal {

using automation::Arg;
using automation::Args;
using automation::CallKind;
using automation::ObjectPtr;
using automation::Variant;

/// What wrappers and sinks reach the recorder by; cut when the recorder goes.
struct Recorder::Link {
  Recorder* recorder = nullptr;
};

namespace {

/// Sets the thread's platform for a scope.
class ThreadPlatformScope {
 public:
  explicit ThreadPlatformScope(automation::Platform& platform)
      : previous_(automation::setThreadPlatform(&platform)) {}
  ~ThreadPlatformScope() { automation::setThreadPlatform(previous_); }
  ThreadPlatformScope(const ThreadPlatformScope&) = delete;
  ThreadPlatformScope& operator=(const ThreadPlatformScope&) = delete;

 private:
  automation::Platform* previous_;
};

}  // namespace

/// A host object as the plug-in sees it.
class Recorder::Proxy final : public automation::Object {
 public:
  Proxy(std::shared_ptr<Link> link, ObjectPtr host, ObjectId number)
      : link_(std::move(link)), host_(std::move(host)), number_(number), type_(host_->typeName()) {}
  ~Proxy() override {
    // The plug-in let go of the object: so does the recorder.
    if (Recorder* recorder = link_->recorder) {
      auto it = recorder->proxies_.find(host_.get());
      if (it != recorder->proxies_.end() && it->second.expired()) recorder->proxies_.erase(it);
    }
  }
  Proxy(const Proxy&) = delete;
  Proxy& operator=(const Proxy&) = delete;

  const ObjectPtr& host() const { return host_; }
  ObjectId number() const { return number_; }
  std::string typeName() const override { return type_; }

  Variant invoke(std::string_view member, CallKind kind, Args args) override {
    Recorder* recorder = link_->recorder;
    // By-reference arguments go to the host as its own values, in slots that outlive the call, and
    // come back wrapped.
    std::vector<Variant> slots(args.size());
    std::vector<Arg> forwarded;
    forwarded.reserve(args.size());
    for (size_t i = 0; i < args.size(); ++i) {
      if (args[i].isByRef()) {
        slots[i] = toHost(args[i].value());
        forwarded.push_back(Arg::byRef(slots[i]));
      } else {
        forwarded.emplace_back(toHost(args[i].value()));
      }
    }
    if (!recorder) {
      Variant result = host_->invoke(member, kind, Args(forwarded));
      for (size_t i = 0; i < args.size(); ++i)
        if (args[i].isByRef()) args[i].assign(slots[i]);
      return result;
    }
    JournalEntry opened = openedEntry(JournalEntry::Kind::Call, number_, std::string(member), kind);
    for (const Arg& arg : args)
      opened.args.push_back(passedArg(recorder->toJournal(arg.value()), arg.isByRef()));
    const size_t number = recorder->open(std::move(opened), type_);
    Variant result;
    try {
      result = recorder->toPlugin(host_->invoke(member, kind, Args(forwarded)));
    } catch (...) {
      recorder->entry(number).error = automation::errorFromException(std::current_exception());
      writeBack(*recorder, number, args, slots);
      throw;
    }
    recorder->entry(number).result = recorder->toJournal(result);
    writeBack(*recorder, number, args, slots);
    return result;
  }

  uint32_t advise(std::shared_ptr<automation::EventSink> sink) override;
  void unadvise(uint32_t cookie) override { host_->unadvise(cookie); }

 private:
  /// Hands the by-reference values back to the plug-in, journals them and closes the entry.
  static void writeBack(Recorder& recorder, size_t number, Args args, std::vector<Variant>& slots) {
    for (size_t i = 0; i < args.size(); ++i) {
      if (!args[i].isByRef()) continue;
      args[i].assign(recorder.toPlugin(slots[i]));
      recorder.entry(number).args[i].out = recorder.toJournal(args[i].value());
    }
    recorder.close(number);
  }

  std::shared_ptr<Link> link_;
  ObjectPtr host_;
  ObjectId number_;
  std::string type_;
  uint32_t subscriptions_ = 0;
};

/// A subscriber of the plug-in as the host sees it: journals each event it is given.
class Recorder::Sink final : public automation::EventSink {
 public:
  Sink(std::shared_ptr<Link> link, std::shared_ptr<automation::EventSink> plugin, ObjectId raiser,
       std::string raiserType, uint32_t ordinal)
      : link_(std::move(link)),
        plugin_(std::move(plugin)),
        raiser_(raiser),
        raiserType_(std::move(raiserType)),
        ordinal_(ordinal) {}

  void onEvent(std::string_view event, Args args) override {
    Recorder* recorder = link_->recorder;
    if (!recorder) {
      plugin_->onEvent(event, args);
      return;
    }
    JournalEntry opened = openedEntry(JournalEntry::Kind::Event, raiser_, std::string(event));
    opened.sink = ordinal_;
    recorder->handToPlugin(std::move(opened), raiserType_, args, [&](Args forwarded) {
      plugin_->onEvent(event, forwarded);
      return Variant();
    });
  }

 private:
  std::shared_ptr<Link> link_;
  std::shared_ptr<automation::EventSink> plugin_;
  ObjectId raiser_;
  std::string raiserType_;
  uint32_t ordinal_;
};

uint32_t Recorder::Proxy::advise(std::shared_ptr<automation::EventSink> sink) {
  return host_->advise(std::make_shared<Sink>(link_, std::move(sink), number_, type_, subscriptions_++));
}

/// The host's platform, with the components the plug-in creates and the locale it reads journalled.
class Recorder::RecordingPlatform final : public automation::ForwardingPlatform {
 public:
  explicit RecordingPlatform(Recorder& recorder) : ForwardingPlatform(recorder.host_), recorder_(recorder) {}

  ObjectPtr createObject(std::string_view progId) override {
    const size_t number = recorder_.open(openedEntry(JournalEntry::Kind::Create, 0, std::string(progId)), "");
    ObjectPtr created;
    try {
      created = recorder_.host_.createObject(progId);
    } catch (...) {
      recorder_.entry(number).error = automation::errorFromException(std::current_exception());
      recorder_.close(number);
      throw;
    }
    ObjectPtr wrapped = recorder_.wrap(created);
    recorder_.entry(number).result = recorder_.toJournal(Variant(wrapped));
    recorder_.close(number);
    return wrapped;
  }
  automation::Locale locale() override {
    automation::Locale given = recorder_.host_.locale();
    if (!last_ || !sameLocale(*last_, given)) {
      // The first locale the plug-in reads, and each change after it, from the next entry on.
      last_ = given;
      if (recorder_.keep_ == Keep::Everything)
        recorder_.journal_.locales.push_back(LocaleChange{recorder_.journal_.entries.size(), given});
      if (recorder_.writer_) {
        recorder_.writer_->locale(given);
        recorder_.checkWriter();
      }
    }
    return given;
  }

 private:
  Recorder& recorder_;
  std::optional<automation::Locale> last_;  // the locale journalled last
};

Recorder::Recorder(automation::Platform& host, Writer* writer, Keep keep)
    : host_(host),
      writer_(writer),
      keep_(keep),
      platform_(std::make_unique<RecordingPlatform>(*this)),
      link_(std::make_shared<Link>(Link{this})) {}

Recorder::~Recorder() {
  link_->recorder = nullptr;
}

automation::Platform& Recorder::platform() {
  return *platform_;
}

ObjectPtr Recorder::wrap(const ObjectPtr& hostObject) {
  if (!hostObject) return nullptr;
  if (dynamic_cast<const Proxy*>(hostObject.get())) return hostObject;
  std::weak_ptr<Proxy>& slot = proxies_[hostObject.get()];
  if (auto alive = slot.lock()) return alive;
  auto proxy = std::make_shared<Proxy>(link_, hostObject, ++lastNumber_);
  slot = proxy;
  if (keep_ == Keep::Everything) journal_.objectTypes.push_back(proxy->typeName());
  return proxy;
}

Variant Recorder::callPlugin(automation::Object& plugin, std::string_view member, Args args) {
  return toHost(
      handToPlugin(openedEntry(JournalEntry::Kind::Inbound, 0, std::string(member)), "", args,
                   [&](Args forwarded) { return plugin.invoke(member, CallKind::Method, forwarded); }));
}

Variant Recorder::handToPlugin(JournalEntry opened, std::string_view objectType, Args args,
                               const std::function<Variant(Args)>& turn) {
  ThreadPlatformScope platform(*platform_);
  std::vector<Variant> values(args.size());
  std::vector<Arg> forwarded;
  forwarded.reserve(args.size());
  for (size_t i = 0; i < args.size(); ++i) {
    values[i] = toPlugin(args[i].value());
    opened.args.push_back(passedArg(toJournal(values[i]), args[i].isByRef()));
    forwarded.push_back(args[i].isByRef() ? Arg::byRef(values[i]) : Arg(values[i]));
  }
  const size_t number = open(std::move(opened), objectType);
  auto finish = [&] {
    for (size_t i = 0; i < args.size(); ++i) {
      if (!args[i].isByRef()) continue;
      entry(number).args[i].out = toJournal(values[i]);
      args[i].assign(toHost(values[i]));
    }
    close(number);
  };
  Variant result;
  try {
    result = turn(Args(forwarded));
  } catch (...) {
    entry(number).error = automation::errorFromException(std::current_exception());
    finish();
    throw;
  }
  entry(number).result = toJournal(result);
  finish();
  return result;
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

Variant Recorder::toHost(const Variant& pluginSide) {
  if (!pluginSide.isObject()) return pluginSide;
  if (auto* proxy = dynamic_cast<const Proxy*>(pluginSide.objectValue().get())) return Variant(proxy->host());
  return pluginSide;
}

Variant Recorder::toPlugin(const Variant& hostSide) {
  if (!hostSide.isObject() || !hostSide.objectValue()) return hostSide;
  return Variant(wrap(hostSide.objectValue()));
}

size_t Recorder::open(JournalEntry opened, std::string_view objectType) {
  if (writer_) {
    writer_->begin(opened, objectType);
    checkWriter();
  }
  const size_t number = begun_++;
  if (keep_ == Keep::Everything)
    journal_.entries.push_back(std::move(opened));
  else
    openEntries_.emplace_back(number, std::move(opened));
  return number;
}

void Recorder::close(size_t number) {
  JournalEntry& closing = entry(number);
  closing.end = begun_;
  if (writer_) {
    writer_->end(number, closing);
    checkWriter();
  }
  // Entries end innermost first: the one closing is the last open one.
  if (keep_ == Keep::OpenEntries && !openEntries_.empty()) openEntries_.pop_back();
}

JournalEntry& Recorder::entry(size_t number) {
  if (keep_ == Keep::Everything) return journal_.entries[number];
  for (auto it = openEntries_.rbegin(); it != openEntries_.rend(); ++it)
    if (it->first == number) return it->second;
  automation::raiseError(automation::errc::kInvalidCall, "The recorder has no open entry of that number",
                         "Recorder");
}

void Recorder::checkWriter() {
  if (!writer_ || writer_->good()) return;
  writer_ = nullptr;
  host_.note("The plug-in's journal could not be written any more: this instance is no longer recorded.");
}

}  // namespace mto::journal
