// The four entry points of an in-process server. Each runs through the exception firewall.

#include <windows.h>
#include <objbase.h>
#include <olectl.h>

#include <string>

#include "bridge/com_error.h"
#include "bridge/module_count.h"
#include "bridge/windows_platform.h"
#include "dll/plugin_class.h"
#include "dll/registration.h"
#include "guids.h"

namespace {

HMODULE thisModule = nullptr;

std::wstring modulePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD got = GetModuleFileNameW(thisModule, path.data(), static_cast<DWORD>(path.size()));
    if (got == 0) mto::com::check(HRESULT_FROM_WIN32(GetLastError()));
    if (got < path.size()) {
      path.resize(got);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) thisModule = instance;
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* out) noexcept {
  return mto::com::firewall([&]() -> HRESULT {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (clsid != mto::com::kClsidMtoChange) return CLASS_E_CLASSNOTAVAILABLE;
    mto::com::installWindowsPlatform();
    auto factory = mto::com::PluginFactory::create();
    return factory->QueryInterface(iid, out);
  });
}

STDAPI DllCanUnloadNow() noexcept {
  return mto::com::liveObjects() == 0 && mto::com::serverLocks() == 0 ? S_OK : S_FALSE;
}

STDAPI DllRegisterServer() noexcept {
  return mto::com::firewall([] { return mto::com::registerServer(modulePath()); });
}

STDAPI DllUnregisterServer() noexcept {
  return mto::com::firewall([] { return mto::com::unregisterServer(); });
}
