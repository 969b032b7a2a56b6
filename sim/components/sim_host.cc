#include "sim/components/sim_host.h"

#include "automation/ascii.h"
#include "automation/thread_state.h"
#include "host/contract.h"
#include "sim/components/action_components.h"
#include "sim/components/collections.h"
#include "sim/components/connection.h"
#include "sim/components/login_components.h"
#include "sim/components/sys_info.h"
#include "sim/components/toolbar.h"
#include "sim/runtime/host_object.h"

namespace mto::sim {

namespace {
automation::RegistryPlatform::Factory& pluginFactory() {
  static automation::RegistryPlatform::Factory factory;
  return factory;
}
/// The host's platform, which notes in the environment every component it creates, so that traces can
/// say what the plug-in created; the plug-in's own creation is the host's doing and is left out.
class RecordingPlatform : public automation::RegistryPlatform {
 public:
  explicit RecordingPlatform(Environment& env) : env_(env) {}

  automation::ObjectPtr createObject(std::string_view progId) override {
    automation::ObjectPtr made = RegistryPlatform::createObject(progId);
    if (!automation::equalsIgnoreCase(progId, host::progid::kPlugin)) env_.created.emplace_back(progId);
    return made;
  }

 private:
  Environment& env_;  // the host's; outlives its platform's use by the host
};

}  // namespace

void setPluginFactory(automation::RegistryPlatform::Factory factory) {
  pluginFactory() = std::move(factory);
}

SimHost::SimHost(SimHostOptions options)
    : db_(options.databaseFile.empty() ? Database::openInMemory() : Database::openFile(options.databaseFile)),
      platform_(std::make_shared<RecordingPlatform>(env_)) {
  automation::threadState().reset();
  registerCollections(*platform_);
  registerLoginComponents(*platform_, env_, *db_);
  registerDataComponents(*platform_, *db_);
  registerSysInfo(*platform_, *db_);
  registerToolbarLibrary(*platform_);
  registerActionComponents(*platform_, env_, *db_);
  if (pluginFactory()) platform_->registerFactory(std::string(host::progid::kPlugin), pluginFactory());
  setPropsString(std::move(options.propsString));
  previous_ = automation::setThreadPlatform(platform_.get());
}

SimHost::~SimHost() {
  automation::threadState().reset();
  automation::setThreadPlatform(previous_);
}

void SimHost::removeComponent(std::string_view progId) {
  if (auto factory = platform_->factory(progId)) removed_[std::string(progId)] = std::move(factory);
  platform_->unregisterFactory(progId);
}

bool SimHost::installComponent(std::string_view progId) {
  if (platform_->isRegistered(progId)) return true;
  auto found = removed_.find(progId);
  if (found == removed_.end()) return false;
  platform_->registerFactory(found->first, found->second);
  return true;
}

void SimHost::setPropsString(std::string props) {
  env_.shareProps[platform_->processId()]["PropsString"] = std::move(props);
}

}  // namespace mto::sim
