#include "dll/plugin_class.h"

#include <mutex>
#include <string>

#include "bridge/com_error.h"
#include "bridge/object_dispatch.h"
#include "core/cls_mto_change.h"
#include "dll/journal_recording.h"
#include "guids.h"

namespace mto::com {

namespace {

struct PluginTypes {
  ComPtr<ITypeInfo> dispatch;
  ComPtr<ITypeInfo> coclass;
};

/// The path of the module this code is linked into (the server DLL).
std::wstring thisModulePath() {
  HMODULE module = nullptr;
  static const int anchor = 0;
  if (!GetModuleHandleExW(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          reinterpret_cast<LPCWSTR>(&anchor), &module))
    check(HRESULT_FROM_WIN32(GetLastError()));
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD got = GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
    if (got == 0) check(HRESULT_FROM_WIN32(GetLastError()));
    if (got < path.size()) {
      path.resize(got);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

/// The dispinterface and the coclass from the type library embedded in this DLL (T8MTOChange.idl),
/// loaded without touching the registry.
PluginTypes loadTypes() {
  ComPtr<ITypeLib> library;
  check(LoadTypeLibEx(thisModulePath().c_str(), REGKIND_NONE, library.put()));
  PluginTypes types;
  check(library->GetTypeInfoOfGuid(kIidMtoChange, types.dispatch.put()));
  check(library->GetTypeInfoOfGuid(kClsidMtoChange, types.coclass.put()));
  return types;
}

/// Built on first use and kept for the life of the process: the type information belongs to
/// oleaut32, so it may outlive this DLL, and releasing it while the DLL unloads is not safe.
const PluginTypes& pluginTypes() {
  static std::once_flag once;
  static PluginTypes* types = nullptr;
  std::call_once(once, [] { types = new PluginTypes(loadTypes()); });
  return *types;
}

}  // namespace

ComPtr<IDispatch> createPlugin() {
  const PluginTypes& types = pluginTypes();
  return ObjectDispatch::create(recordedIfSwitchedOn(core::clsMTOChange::create()), types.dispatch,
                                types.coclass);
}

ComPtr<IClassFactory> PluginFactory::create() {
  return ComPtr<IClassFactory>::adopt(new PluginFactory());
}

HRESULT PluginFactory::CreateInstance(IUnknown* outer, REFIID iid, void** out) noexcept {
  return firewall([&]() -> HRESULT {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    ComPtr<IDispatch> plugin = createPlugin();
    return plugin->QueryInterface(iid, out);
  });
}

HRESULT PluginFactory::LockServer(BOOL lock) noexcept {
  lockServer(lock != FALSE);
  return S_OK;
}

}  // namespace mto::com
