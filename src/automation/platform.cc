#include "automation/platform.h"

#include <algorithm>
#include <utility>

#include "automation/dates.h"
#include "automation/error.h"

namespace mto::automation {

namespace {
/// The platform a host set for this thread; a plain pointer, so nothing is left to destroy at the
/// thread's end (see ThreadState).
thread_local Platform* threadPlatform = nullptr;

std::shared_ptr<Platform>& current() {
  static std::shared_ptr<Platform> instance = std::make_shared<RegistryPlatform>();
  return instance;
}
}  // namespace

const Locale& defaultLocale() {
  static const Locale locale;
  return locale;
}

Platform& platform() {
  if (threadPlatform) return *threadPlatform;
  return *current();
}

std::shared_ptr<Platform> setPlatform(std::shared_ptr<Platform> next) {
  if (!next) next = std::make_shared<RegistryPlatform>();
  std::swap(current(), next);
  return next;
}

Platform* setThreadPlatform(Platform* next) noexcept {
  return std::exchange(threadPlatform, next);
}

ObjectPtr RegistryPlatform::createObject(std::string_view progId) {
  auto it = factories_.find(progId);
  if (it == factories_.end() || !it->second)
    raiseError(errc::kCannotCreateObject,
               std::string(standardMessage(errc::kCannotCreateObject)) + " (" + std::string(progId) + ")");
  ObjectPtr made = it->second();
  if (!made) raiseError(errc::kCannotCreateObject);
  return made;
}

void Platform::note(std::string_view) noexcept {}

void RegistryPlatform::note(std::string_view text) noexcept {
  try {
    notes_.emplace_back(text);
  } catch (...) {
    // Out of memory: the note is lost, as a note may be.
  }
}

int32_t RegistryPlatform::messageBox(std::string_view text, std::string_view title, int32_t style) {
  messageBoxes_.push_back({std::string(text), std::string(title), style});
  return 1;
}

void RegistryPlatform::registerFactory(std::string progId, Factory factory) {
  factories_.insert_or_assign(std::move(progId), std::move(factory));
}

void RegistryPlatform::unregisterFactory(std::string_view progId) {
  auto it = factories_.find(progId);
  if (it != factories_.end()) factories_.erase(it);
}

Date RegistryPlatform::now() {
  if (fixedNow_) return *fixedNow_;
  return systemNow();
}

RegistryPlatform::Factory RegistryPlatform::factory(std::string_view progId) const {
  auto it = factories_.find(progId);
  return it == factories_.end() ? Factory{} : it->second;
}

bool RegistryPlatform::isRegistered(std::string_view progId) const {
  return factories_.contains(progId);
}

}  // namespace mto::automation
