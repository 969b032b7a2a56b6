#include "dll/plugin_class.h"

#include <mutex>

#include "bridge/com_error.h"
#include "bridge/object_dispatch.h"
#include "bridge/type_lib_builder.h"
#include "core/cls_mto_change.h"
#include "guids.h"

namespace mto::com {

namespace {

struct PluginTypes {
  ComPtr<ITypeInfo> dispatch;
  ComPtr<ITypeInfo> coclass;
};

PluginTypes buildTypes() {
  ParamSpec bar{L"oABar", VT_DISPATCH};
  ParamSpec tool{L"oTool", VT_DISPATCH};
  InterfaceSpec shape{kIidMtoChange,
                     L"_clsMTOChange",
                     {
                         {L"Show", 1, INVOKE_FUNC, VT_EMPTY, {{L"oBillInterface", VT_DISPATCH}}},
                         {L"InsertSepTool", 2, INVOKE_FUNC, VT_EMPTY, {bar, tool}},
                         {L"RemoveSepTool", 3, INVOKE_FUNC, VT_EMPTY, {bar, tool}},
                         {L"GetFiledValue",
                          4,
                          INVOKE_FUNC,
                          VT_BSTR,
                          {{L"m_BillInterface", VT_DISPATCH, true}, {L"lRow", VT_I4}, {L"strFieldName", VT_BSTR}}},
                     }};
  TypeLibBuilder library(kLibidMtoChange, L"T8MTOChange");
  PluginTypes types;
  types.dispatch = library.addDispInterface(shape);
  types.coclass = library.addCoclass(kClsidMtoChange, kClassName, types.dispatch.get(), nullptr);
  return types;
}

/// Built on first use and kept for the life of the process: the type information belongs to
/// oleaut32, so it may outlive this DLL, and releasing it while the DLL unloads is not safe.
const PluginTypes& pluginTypes() {
  static std::once_flag once;
  static PluginTypes* types = nullptr;
  std::call_once(once, [] { types = new PluginTypes(buildTypes()); });
  return *types;
}

}  // namespace

ComPtr<IDispatch> createPlugin() {
  const PluginTypes& types = pluginTypes();
  return ObjectDispatch::create(core::clsMTOChange::create(), types.dispatch, types.coclass);
}

ComPtr<IClassFactory> PluginFactory::create() { return ComPtr<IClassFactory>::adopt(new PluginFactory()); }

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
