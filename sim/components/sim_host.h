#pragma once

#include <map>
#include <memory>
#include <string>

#include "automation/ascii.h"
#include "automation/platform.h"
#include "sim/db/database.h"
#include "sim/runtime/environment.h"
#include "sim/runtime/host_object.h"

namespace mto::sim {

/// The login property string a simulated session starts with.
inline constexpr std::string_view kDefaultPropsString =
    "UserID=16394;UserName=administrator;DBLANGUAGE=chs;LANGUAGE=en;AcctID=1;AcctName=Demo Ltd;";

/// Installs how simulated hosts create the plug-in ("T8MTOChange.clsMTOChange"): the program that
/// links the plug-in sets it once; every SimHost registers it, as a real host finds the registered
/// DLL.
void setPluginFactory(automation::RegistryPlatform::Factory factory);

struct SimHostOptions {
  /// The database file; empty for a private in-memory database.
  std::string databaseFile;
  std::string propsString = std::string(kDefaultPropsString);
};

/// The simulated host runtime of one thread: the ERP database, the host's components registered by
/// ProgID on a platform of its own, the record of what the plug-in showed and logged, and its own
/// count of the calls its objects receive and the members made to fail. While it lives, its
/// platform is this thread's platform and its state is this thread's current host state. Creating and
/// destroying it resets this thread's module state, so that no cached component outlives the host that made
/// it; one host per thread at a time.
class SimHost {
 public:
  explicit SimHost(SimHostOptions options = {});
  ~SimHost();
  SimHost(const SimHost&) = delete;
  SimHost& operator=(const SimHost&) = delete;

  Database& db() { return *db_; }
  Environment& env() { return env_; }
  automation::RegistryPlatform& platform() { return *platform_; }
  /// The calls this host's objects received and the members made to fail.
  HostState& state() { return state_; }

  /// Replaces the login property string of the current process.
  void setPropsString(std::string props);

  /// Makes a component unavailable, as on a machine where it is not installed. The host keeps the
  /// factory, so that `installComponent` can bring the same component back.
  void removeComponent(std::string_view progId);
  /// Makes a component this host removed available again; false when the host never had it.
  bool installComponent(std::string_view progId);

 private:
  HostState state_;
  HostState::Scope current_{state_};
  std::unique_ptr<Database> db_;
  Environment env_;
  std::shared_ptr<automation::RegistryPlatform> platform_;
  automation::Platform* previous_ = nullptr;  // the thread's platform before this host's
  /// The factories of the components removed, by ProgID, kept for `installComponent`.
  std::map<std::string, automation::RegistryPlatform::Factory, automation::ascii::LessIgnoreCase> removed_;
};

}  // namespace mto::sim
