#pragma once

#include <memory>

#include "automation/platform.h"
#include "sim/runtime/environment.h"

namespace mto::sim {

class Database;

/// Registers the login-environment components: "PropsMgr.ShareProps" (`GetProperty`(pid, name)),
/// "FrmRes.FrmResLoader" (`SetFrmFont`(form, language)), "MvLogMsg.Log" (`IsEnabled`, `LogStart`,
/// `LogEnd`), the message service (`ShowMessage`(text), `ShowError`(error object, arguments)),
/// "T8RESLOADER.Loader" (`ResFileBaseName`, `LanguageID`, `LoadString`(key)) and
/// "EBCGLView.GLData" (`AccessCheck`(a, b, c)). They record into `env` and read `db`; both must
/// outlive the objects made.
void registerLoginComponents(automation::RegistryPlatform& platform, Environment& env, Database& db);

}  // namespace mto::sim
